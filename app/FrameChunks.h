#pragma once
// Splitting a frame list into the chunks of an array job, and writing a list back as a -t
// frame range.

#include <string>
#include <vector>

namespace pxhost {

// Consecutive pieces of the list, in its order, of chunkSize frames (the last may be shorter).
std::vector<std::vector<long>> chunkFrames(const std::vector<long>& frames, long chunkSize);

// A -t text that names exactly these frames in this order: runs of three or more frames with
// an even step become "A-B" or "A-BxS", the rest single numbers, joined by commas.
std::string frameListText(const std::vector<long>& frames);

}  // namespace pxhost
