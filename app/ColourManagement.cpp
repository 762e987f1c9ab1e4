#include "app/ColourManagement.h"

#include <OpenImageIO/color.h>
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <vector>

#include "app/HostError.h"

namespace pxhost {
namespace {

constexpr int kRGBA = 4;
// File order of the channels, by sample index of the host layout.
constexpr int kFileOrder[kRGBA] = {kSampleR, kSampleG, kSampleB, kSampleA};

// One configuration for the whole run: reading it parses a file, and every picture uses it.
OIIO::ColorConfig& config() {
    static OIIO::ColorConfig instance;
    return instance;
}

std::string knownNames() {
    std::string names;
    for (int i = 0; i < config().getNumColorSpaces(); ++i) {
        if (!names.empty()) names += ", ";
        names += std::string("\"") + config().getColorSpaceNameByIndex(i) + "\"";
    }
    return names;
}

}  // namespace

std::string workingColourSpace() {
    const char* role = config().getColorSpaceNameByRole("scene_linear");
    return role && *role ? role : "linear";
}

void checkColourSpace(const std::string& file, const std::string& colourSpace) {
    if (config().createColorProcessor(colourSpace, workingColourSpace()) &&
        config().createColorProcessor(workingColourSpace(), colourSpace))
        return;
    config().geterror();  // our message names the file and the space
    throw UsageError(file + ": unknown colour space \"" + colourSpace +
                     "\" (the colour configuration knows " + knownNames() +
                     "; set $OCIO to use another configuration)");
}

void convertColourSpace(Raster& picture, const std::string& from, const std::string& to,
                        const std::string& file) {
    if (from == to) return;
    const OIIO::ImageSpec spec(picture.width, picture.height, kRGBA, OIIO::TypeDesc::FLOAT);
    std::vector<float> rgba(picture.sampleCount());
    float* px = picture.data<float>();
    for (size_t i = 0; i < rgba.size(); i += kRGBA)
        for (int c = 0; c < kRGBA; ++c) rgba[i + c] = px[i + kFileOrder[c]];
    OIIO::ImageBuf buffer(spec, rgba.data());
    // The picture's alpha is left as it is and its colour is converted as stored.
    const bool unpremultiply = false;
    if (!OIIO::ImageBufAlgo::colorconvert(buffer, buffer, from, to, unpremultiply, "", "",
                                          &config()))
        throw RenderError(file + ": cannot convert from colour space \"" + from + "\" to \"" + to +
                          "\": " + buffer.geterror());
    for (size_t i = 0; i < rgba.size(); i += kRGBA)
        for (int c = 0; c < kRGBA - 1; ++c) px[i + kFileOrder[c]] = rgba[i + c];
}

}  // namespace pxhost
