#pragma once
// Whole-picture sample transforms shared by the read and write paths: a float copy of any
// picture, scaling of the colour channels, and alpha premultiplication.

#include "app/Raster.h"

namespace pxhost {

// The picture with every sample as a float of 0..1 (8-bit divided by 255, 16-bit by 65535;
// float as it is), in the A, B, G, R layout, the channel mask kept.
Raster floatCopy(const RasterView& picture);

// Multiplies R, G and B of a float picture by factor; alpha is left alone.
void scaleColour(Raster& picture, float factor);

// Multiplies R, G and B of a float picture by its alpha. A picture without alpha is left alone.
void premultiplyByAlpha(Raster& picture);

}  // namespace pxhost
