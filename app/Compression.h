#pragma once
// The compressions each writable image format accepts, as written in FileOut's compression
// argument: a method name, and for methods that have one, a level after a colon ("zip:1").
// An empty argument picks the program's default for the format, chosen for speed: most files
// a keyer writes are intermediate frames that are read once more and thrown away.

#include <string>
#include <vector>

namespace pxhost {

// One compression method of a format.
struct CompressionMethod {
    const char* name;
    int minLevel = 0;  // levels accepted after "name:"; 0 and 0 when the method has none
    int maxLevel = 0;
    bool hasLevel() const { return maxLevel > 0; }
};

// The methods a format accepts and the one it gets when the script names none.
struct FormatCompressions {
    const char* format;  // the image library's name for the format ("png", "tiff", "openexr")
    std::vector<CompressionMethod> methods;
    const char* fastDefault;  // in the same spelling as a script's argument
};

// Every format that has a choice of compression. Formats not listed have none: they accept
// only the empty argument.
const std::vector<FormatCompressions>& compressionTable();

// A compression as the writer applies it.
struct CompressionChoice {
    std::string method;  // empty: the format has no choice
    int level = -1;      // -1: the method's own default, or it has no level
};

// Whether the format's writer compresses the picture with the compression chosen, which costs
// far more than copying its samples: a method other than "none", or the writer's own default
// where the format has no way to store a picture uncompressed (JPEG).
bool compresses(const std::string& format, const CompressionChoice& choice);

// Parses the compression argument for a format (the image library's name), applying the
// format's default to an empty argument. Throws UsageError naming `file` and listing what the
// format accepts when the argument is not one of those.
CompressionChoice chooseCompression(const std::string& format, const std::string& argument,
                                    const std::string& file);

// What a format accepts, for messages and the user guide: "none, zip, zip:1..9".
std::string describeCompressions(const std::string& format);

}  // namespace pxhost
