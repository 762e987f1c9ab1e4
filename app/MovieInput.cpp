#include "app/MovieInput.h"

#include <OpenImageIO/imageio.h>
#include <algorithm>
#include <cctype>
#include <sstream>

#include "app/HostError.h"
#include "app/ImageFile.h"

namespace pxhost {
namespace {

// The image library's reader of movies, as named in its list of formats and extensions.
constexpr const char* kMovieFormat = "ffmpeg";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The extensions of the movie reader: the list reads "format:ext,ext;format:ext,...".
bool isMovieExtension(const std::string& extension) {
    std::istringstream formats(OIIO::get_string_attribute("extension_list"));
    std::string entry;
    while (std::getline(formats, entry, ';')) {
        const size_t colon = entry.find(':');
        if (colon == std::string::npos || entry.compare(0, colon, kMovieFormat) != 0) continue;
        std::istringstream extensions(entry.substr(colon + 1));
        std::string known;
        while (std::getline(extensions, known, ','))
            if (known == extension) return true;
    }
    return false;
}

}  // namespace

bool isMovieFile(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return isMovieExtension(lowerCase(path.substr(dot + 1)));
}

Raster readMovieFrame(const std::string& path, long frame) {
    long frames = 0;
    {
        std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::open(path);
        if (!in) {
            // The common reader makes the message that names the problem.
            return readImage(path);
        }
        frames = in->spec().get_int_attribute("oiio:subimages", 1);
    }
    if (frame < 1 || frame > frames)
        throw RenderError(path + ": the movie has no frame " + std::to_string(frame) + " (it has " +
                          std::to_string(frames) + ", counted from 1)");
    return readImage(path, static_cast<int>(frame - 1));
}

}  // namespace pxhost
