#pragma once
// Frame lists given with -t: "1-100", "1-100x2", "1,5,10-20", "7".

#include <string>
#include <vector>

namespace pxhost {

// The largest frame number accepted; keeps every padded name and every count in range.
constexpr long kMaxFrame = 999999999;
// The most frames one run renders; a list beyond it is surely a typing error.
constexpr long kMaxFrameCount = 1000000;

// Parses a frame list: comma-separated items, each a frame "N", a range "A-B" (A <= B) or a
// stepped range "A-BxS" (S >= 1, frames A, A+S, ... up to B). Frames are whole numbers from 0
// to kMaxFrame. The frames come out in the order given; a frame named twice is rendered once,
// at its first place. Throws UsageError naming the option and the offending item.
std::vector<long> parseFrameRange(const std::string& text);

}  // namespace pxhost
