#pragma once
// Colour conversion of pictures as they are read and written, through the OpenColorIO
// configuration that the image library uses: the one $OCIO names, else the library's built-in
// one (which knows "linear", "sRGB" and "Rec709"). Scripts work in the configuration's
// scene-linear space; a file's colour space names what its samples are in.

#include <string>

#include "app/Raster.h"

namespace pxhost {

// The space pictures are converted into on reading and out of on writing: the configuration's
// "scene_linear" role, else its "linear" space.
std::string workingColourSpace();

// Throws UsageError naming the file when the configuration cannot convert between the colour
// space and the working space (an unknown name), listing the names it knows.
void checkColourSpace(const std::string& file, const std::string& colourSpace);

// Converts a float picture's R, G and B in place (alpha is left alone, colour is taken as not
// premultiplied). Throws RenderError naming the file on failure.
void convertColourSpace(Raster& picture, const std::string& from, const std::string& to,
                        const std::string& file);

}  // namespace pxhost
