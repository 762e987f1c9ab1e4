#pragma once
// The compression names each output format takes (FileOut's compression argument). The image
// library ignores a name it does not know and writes with its default, so a misspelt name
// would pass unnoticed; it is refused instead.

#include <string>

namespace pxhost {

// Empty when `compression` (a name, optionally with ":level" of digits) suits the format the
// image library calls `format`, or when the format's names are not listed here; otherwise the
// names it takes, for a message ("none, lzw, zip, ...").
std::string compressionChoices(const std::string& format, const std::string& compression);

}  // namespace pxhost
