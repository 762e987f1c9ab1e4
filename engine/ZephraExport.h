#pragma once

// Marks the names that the plug-in library exports; everything else stays inside it.
#define ZEPHRA_EXPORT __attribute__((visibility("default")))
