#include "app/Compression.h"

#include <algorithm>
#include <map>
#include <vector>

namespace pxhost {
namespace {

const std::map<std::string, std::vector<std::string>>& namesByFormat() {
    static const std::map<std::string, std::vector<std::string>> names = {
        {"tiff", {"none", "lzw", "zip", "packbits", "ccittrle", "jpeg"}},
        {"openexr", {"none", "rle", "zip", "zips", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"}},
        {"png", {"zip"}},
        {"jpeg", {"jpeg"}},
        {"dpx", {"none", "rle"}},
        {"sgi", {"none", "rle"}},
        {"targa", {"none", "rle"}},
    };
    return names;
}

bool isDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string compressionChoices(const std::string& format, const std::string& compression) {
    const auto known = namesByFormat().find(format);
    if (compression.empty() || known == namesByFormat().end()) return std::string();
    const size_t colon = compression.find(':');
    const std::string name = compression.substr(0, colon);
    const bool levelOk = colon == std::string::npos || isDigits(compression.substr(colon + 1));
    const auto& names = known->second;
    if (levelOk && std::find(names.begin(), names.end(), name) != names.end()) return std::string();
    std::string choices;
    for (const std::string& n : names) choices += (choices.empty() ? "" : ", ") + n;
    return choices;
}

}  // namespace pxhost
