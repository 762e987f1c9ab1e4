#pragma once

// Describes Zephra_1v4 and Zephra_1v3 to the host program (PXiCommandInfo) from the keyer's
// argument table: names, defaults, ranges, groups, help, accepted texts, and the node input
// names as further names for the images.
void describeZephraCommands();
