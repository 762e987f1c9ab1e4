#include "app/FrameChunks.h"

#include <algorithm>

namespace pxhost {
namespace {

constexpr size_t kShortestRun = 3;  // "1-2" is no shorter than "1,2"

}  // namespace

std::vector<std::vector<long>> chunkFrames(const std::vector<long>& frames, long chunkSize) {
    std::vector<std::vector<long>> chunks;
    const size_t size = static_cast<size_t>(std::max(1L, chunkSize));
    for (size_t at = 0; at < frames.size(); at += size)
        chunks.emplace_back(frames.begin() + at,
                            frames.begin() + std::min(frames.size(), at + size));
    return chunks;
}

std::string frameListText(const std::vector<long>& frames) {
    std::string text;
    for (size_t i = 0; i < frames.size();) {
        if (!text.empty()) text += ",";
        size_t end = i + 1;  // one past the run that starts at i
        if (i + 1 < frames.size() && frames[i + 1] > frames[i]) {
            const long step = frames[i + 1] - frames[i];
            while (end < frames.size() && frames[end] - frames[end - 1] == step) ++end;
            if (end - i >= kShortestRun) {
                text += std::to_string(frames[i]) + "-" + std::to_string(frames[end - 1]);
                if (step != 1) text += "x" + std::to_string(step);
                i = end;
                continue;
            }
        }
        text += std::to_string(frames[i]);
        i += 1;
    }
    return text;
}

}  // namespace pxhost
