#pragma once
// The built-in demo shot, generated procedurally: a blue-screen foreground and a background
// plate, both 1920x1080 16-bit RGB.
//
// The foreground holds what makes keying hard: a subject with hard and soft (motion-blurred)
// edges, a semi-transparent scarf, hundreds of fine hair strands, blue spill on the subject
// near its edges, a badge in nearly the screen's blue, a lighting stand in the frame, and an
// uneven screen with a cast shadow and some grain.

#include "app/Raster.h"

namespace pxhost {

constexpr int kDemoWidth = 1920;
constexpr int kDemoHeight = 1080;

// The keyer's settings for the demo shot. The screen colour is the screen's colour in its
// shadow, so that every brighter part of the uneven screen keys fully too; the small screen
// range cleans up the grain.
constexpr float kDemoKeyScreen[3] = {0.05f, 0.11f, 0.40f};
constexpr float kDemoKeyScreenRange = 0.05f;
// The colour the screen is lit with where it is lit evenly.
constexpr float kDemoScreen[3] = {0.10f, 0.22f, 0.75f};

Raster makeDemoForeground(int width = kDemoWidth, int height = kDemoHeight);
// The shot's true coverage, 16-bit grey (the value in all four channels): how much of each
// pixel the subject, its hair and scarf, the badge and the lighting stand cover, 0 to 1.
Raster makeDemoCoverage(int width = kDemoWidth, int height = kDemoHeight);
Raster makeDemoBackground(int width = kDemoWidth, int height = kDemoHeight);
// Mattes for the foreground, 8-bit grey (the value in all four channels): the hold-out matte
// covers the blue badge on the subject's shirt, which is close enough to the screen colour to
// be keyed away without it; the garbage matte covers the lighting stand at the right edge.
Raster makeDemoHoldOut(int width = kDemoWidth, int height = kDemoHeight);
Raster makeDemoGarbage(int width = kDemoWidth, int height = kDemoHeight);

}  // namespace pxhost
