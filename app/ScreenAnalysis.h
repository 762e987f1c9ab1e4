#pragma once
// Estimates a plate's screen colour and screen range, the way the user guide asks them to be
// picked: the screen colour where the screen is darkest (every brighter part of an uneven
// screen then keys fully too), and a range that covers the grain and unevenness left below it.

#include "app/Raster.h"

namespace pxhost {

// The part of the plate to look at; a width or height of 0 means the whole plate.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ScreenEstimate {
    float screen[3] = {0, 0, 0};  // red, green, blue, 0..1
    float screenRange = 0;
    int screenChannel = 2;   // 0 red, 1 green, 2 blue: the screen's strongest channel
    double screenShare = 0;  // share of the region's pixels taken for screen
};

// Throws UsageError when the region lies outside the plate or the region shows no screen.
ScreenEstimate estimateScreen(const Raster& plate, const Region& region);

// Parses "X,Y,W,H" (whole numbers, W and H above 0); throws UsageError naming --region.
Region parseRegion(const std::string& text);

}  // namespace pxhost
