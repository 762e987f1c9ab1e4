#include "app/FrameRange.h"

#include <cctype>
#include <unordered_set>

#include "app/HostError.h"

namespace pxhost {
namespace {

[[noreturn]] void fail(const std::string& item, const std::string& why) {
    throw UsageError("-t: bad frame range \"" + item + "\": " + why);
}

// Reads a whole number at pos; leaves pos after its last digit.
long readNumber(const std::string& item, size_t& pos, const char* what) {
    if (pos >= item.size() || !std::isdigit(static_cast<unsigned char>(item[pos]))) {
        if (pos < item.size() && item[pos] == '-') fail(item, "frame numbers are 0 or more");
        fail(item, std::string("expected ") + what);
    }
    long value = 0;
    while (pos < item.size() && std::isdigit(static_cast<unsigned char>(item[pos]))) {
        value = value * 10 + (item[pos] - '0');
        if (value > kMaxFrame) fail(item, "number too large (at most 999999999)");
        ++pos;
    }
    return value;
}

void parseItem(const std::string& item, std::vector<long>& frames, std::unordered_set<long>& seen) {
    if (item.empty()) fail(item, "empty item (two commas, or a comma at an end)");
    size_t pos = 0;
    const long first = readNumber(item, pos, "a frame number");
    long last = first;
    long step = 1;
    if (pos < item.size() && item[pos] == '-') {
        ++pos;
        last = readNumber(item, pos, "the last frame after '-'");
        if (last < first) fail(item, "the last frame comes before the first");
        if (pos < item.size() && item[pos] == 'x') {
            ++pos;
            step = readNumber(item, pos, "a step after 'x'");
            if (step < 1) fail(item, "the step must be 1 or more");
        }
    }
    if (pos != item.size()) fail(item, "unexpected '" + item.substr(pos) + "'");
    if ((last - first) / step + 1 + static_cast<long>(frames.size()) > kMaxFrameCount)
        fail(item, "more than 1000000 frames");
    for (long f = first; f <= last; f += step)
        if (seen.insert(f).second) frames.push_back(f);
}

}  // namespace

std::vector<long> parseFrameRange(const std::string& text) {
    std::vector<long> frames;
    std::unordered_set<long> seen;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        // Blanks around items are allowed ("1, 5, 10-20").
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front())))
            item.erase(item.begin());
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.back())))
            item.pop_back();
        parseItem(item, frames, seen);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return frames;
}

}  // namespace pxhost
