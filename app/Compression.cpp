#include "app/Compression.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/HostError.h"

namespace pxhost {
namespace {

constexpr int kZipFastest = 1;
constexpr int kZipSmallest = 9;
constexpr int kJpegLowestQuality = 1;
constexpr int kJpegHighestQuality = 100;

const FormatCompressions* findFormat(const std::string& format) {
    for (const FormatCompressions& f : compressionTable())
        if (format == f.format) return &f;
    return nullptr;
}

// A level in [min, max] written in decimal digits only; -1 otherwise.
int parseLevel(const std::string& text, int min, int max) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int level = std::atoi(text.c_str());
    return level >= min && level <= max ? level : -1;
}

}  // namespace

const std::vector<FormatCompressions>& compressionTable() {
    static const std::vector<FormatCompressions> table = {
        {"png", {{"none"}, {"zip", kZipFastest, kZipSmallest}}, "zip:1"},
        {"tiff", {{"none"}, {"lzw"}, {"zip", kZipFastest, kZipSmallest}, {"packbits"}}, "zip:1"},
        {"openexr",
         {{"none"},
          {"rle"},
          {"zips", kZipFastest, kZipSmallest},
          {"zip", kZipFastest, kZipSmallest},
          {"piz"},
          {"pxr24"},
          {"b44"},
          {"b44a"},
          {"dwaa"},
          {"dwab"}},
         "zip:1"},
        {"jpeg", {{"jpeg", kJpegLowestQuality, kJpegHighestQuality}}, ""},
        {"targa", {{"none"}, {"rle"}}, ""},
    };
    return table;
}

std::string describeCompressions(const std::string& format) {
    const FormatCompressions* f = findFormat(format);
    if (!f) return "none of its own";
    std::string text;
    for (const CompressionMethod& m : f->methods) {
        if (!text.empty()) text += ", ";
        text += m.name;
        if (m.hasLevel())
            text += ", " + std::string(m.name) + ":" + std::to_string(m.minLevel) + ".." +
                    std::to_string(m.maxLevel);
    }
    return text;
}

bool compresses(const std::string& format, const CompressionChoice& choice) {
    if (!choice.method.empty()) return choice.method != "none";
    const FormatCompressions* f = findFormat(format);
    return f && std::none_of(f->methods.begin(), f->methods.end(), [](const CompressionMethod& m) {
               return std::strcmp(m.name, "none") == 0;
           });
}

CompressionChoice chooseCompression(const std::string& format, const std::string& argument,
                                    const std::string& file) {
    const FormatCompressions* f = findFormat(format);
    const std::string text = argument.empty() && f ? f->fastDefault : argument;
    if (text.empty()) return {};
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    if (f) {
        for (const CompressionMethod& m : f->methods) {
            if (name != m.name) continue;
            if (colon == std::string::npos) return {name, -1};
            if (!m.hasLevel()) break;
            const int level = parseLevel(text.substr(colon + 1), m.minLevel, m.maxLevel);
            if (level >= 0) return {name, level};
            break;
        }
    }
    throw UsageError(file + ": unknown compression \"" + argument + "\" for " + format +
                     " files (accepted: " + describeCompressions(format) + ")");
}

}  // namespace pxhost
