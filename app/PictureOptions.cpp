#include "app/PictureOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>

#include "app/ColourManagement.h"
#include "app/HostError.h"
#include "app/MovieInput.h"
#include "app/PixelTransforms.h"

namespace pxhost {
namespace {

// WriteOptions::depth of a picture kept at its own depth (see ImageFile.h).
constexpr int kKeepDepth = 0;
constexpr int kFloatDepth = 4;

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

float parseHeadroom(const std::string& file, const std::string& text) {
    double value = 0;
    if (!parseNumber(text, value) || value <= 0)
        throw UsageError(file + ": headroom \"" + text +
                         "\" is not a number above 0 (1 keeps values as they are)");
    return static_cast<float>(value);
}

}  // namespace

ReadOptions parseReadOptions(const std::string& file, const std::string& colourSpace,
                             const std::string& headroom, const std::string& frameOffset) {
    ReadOptions options;
    if (!colourSpace.empty()) checkColourSpace(file, colourSpace);
    options.colourSpace = colourSpace;
    options.headroom = headroom.empty() ? 1 : parseHeadroom(file, headroom);
    double offset = 0;
    if (!frameOffset.empty() && (!parseNumber(frameOffset, offset) ||
                                 offset != std::floor(offset) || std::fabs(offset) > 1e9))
        throw UsageError(file + ": frame offset \"" + frameOffset + "\" is not a whole number");
    options.frameOffset = static_cast<long>(offset);
    return options;
}

Raster readPicture(const std::string& fileName, long frame, const ReadOptions& options,
                   Raster recycled) {
    Raster picture;
    if (isMovieFile(fileName)) {
        picture = readMovieFrame(fileName, frame);
    } else {
        readImageInto(fileName, 0, recycled);
        picture = std::move(recycled);
    }
    if (options.colourSpace.empty() && options.headroom == 1) return picture;
    if (picture.depth != kFloatDepth) picture = floatCopy(picture.view());
    if (!options.colourSpace.empty())
        convertColourSpace(picture, options.colourSpace, workingColourSpace(), fileName);
    if (options.headroom != 1) scaleColour(picture, 1 / options.headroom);
    return picture;
}

void parseWriteExtras(const std::string& file, const std::string& colourSpace,
                      const std::string& premultiply, const std::string& headroom,
                      const std::vector<float>& plateHeadrooms, WriteOptions& options) {
    if (!colourSpace.empty()) checkColourSpace(file, colourSpace);
    options.colourSpace = colourSpace;
    if (premultiply == "1")
        options.premultiply = true;
    else if (premultiply.empty() || premultiply == "0")
        options.premultiply = false;
    else
        throw UsageError(file + ": premultiply \"" + premultiply + "\" is not 0 or 1");
    if (!headroom.empty() && headroom != "0") {
        options.headroom = parseHeadroom(file, headroom);
        return;
    }
    std::set<float> given;
    for (float h : plateHeadrooms)
        if (h != 1) given.insert(h);
    if (given.size() > 1)
        throw UsageError(file +
                         ": the pictures read have different headrooms; give FileOut the "
                         "headroom to write with");
    options.headroom = given.empty() ? 1 : *given.begin();
}

bool needsPreparing(const WriteOptions& options) {
    return !options.colourSpace.empty() || options.headroom != 1 || options.premultiply;
}

Raster prepareForWriting(const std::string& file, const RasterView& view, WriteOptions& options) {
    Raster picture = floatCopy(view);
    if (options.headroom != 1) scaleColour(picture, options.headroom);
    if (!options.colourSpace.empty())
        convertColourSpace(picture, workingColourSpace(), options.colourSpace, file);
    if (options.premultiply) premultiplyByAlpha(picture);
    // Integer pictures go back to their depth unless they carry a headroom: decoded values
    // above 1.0 need a float file.
    if (options.depth == kKeepDepth && options.headroom == 1) options.depth = view.depth;
    options.colourSpace.clear();
    options.headroom = 1;
    options.premultiply = false;
    return picture;
}

}  // namespace pxhost
