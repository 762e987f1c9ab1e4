#pragma once
// The tuner's page (HTML, CSS, JavaScript), compiled into the program from app/tuner/page.

#include <cstddef>
#include <vector>

namespace pxhost::tuner {

struct PageAsset {
    const char* path;  // as requested: "/", "/tuner.css", ...
    const char* type;  // its content type
    const unsigned char* data;
    size_t size;
};

const std::vector<PageAsset>& pageAssets();

}  // namespace pxhost::tuner
