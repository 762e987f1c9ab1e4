#include "app/ScreenAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/HostError.h"

namespace pxhost {
namespace {

using Rgb = std::array<float, 3>;

// A pixel counts as screen when its strongest channel leads the next by this share of itself,
constexpr float kScreenLead = 0.25f;
// is at least this bright,
constexpr float kMinimumScreen = 0.02f;
// and the ratios of its other channels to the strongest lie this close to the screen's own.
constexpr float kRatioTolerance = 0.08f;
// The screen colour is the mean of the darkest share of the screen's pixels.
constexpr double kDarkestShare = 0.02;
// The darkest screen the range reaches down to: this share of the screen is darker still
// (single pixels of edges and grain).
constexpr double kOutlierShare = 0.002;
// The range covers the grain: this many standard deviations of a screen channel about its
// expected value, and the unevenness below the darkest share's mean: the darkest pixels'
// distance, both as the keyer measures a range (a box of half-width 0.577 x range).
constexpr double kGrainDeviations = 3.0;
constexpr double kRangeBox = 0.577;
// A screen must fill at least this share of the region to be measured.
constexpr double kMinimumScreenShare = 0.01;
constexpr double kMaximumRange = 0.5;

float sample(const Raster& r, size_t pixel, int s) {
    const size_t i = pixel * 4 + static_cast<size_t>(s);
    if (r.depth == 1) return r.data<uint8_t>()[i] / 255.0f;
    if (r.depth == 2) return r.data<uint16_t>()[i] / 65535.0f;
    return r.data<float>()[i];
}

Rgb colourAt(const Raster& r, size_t pixel) {
    return {sample(r, pixel, kSampleR), sample(r, pixel, kSampleG), sample(r, pixel, kSampleB)};
}

// The other two channels of `high`, in order.
std::array<int, 2> others(int high) { return {high == 0 ? 1 : 0, high == 2 ? 1 : 2}; }

float median(std::vector<float> v) {
    if (v.empty()) return 0;
    auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

}  // namespace

Region parseRegion(const std::string& text) {
    Region r;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d,%d,%d,%d%c", &r.x, &r.y, &r.width, &r.height, &end) != 4 ||
        r.x < 0 || r.y < 0 || r.width <= 0 || r.height <= 0)
        throw UsageError("--region: expected X,Y,W,H in pixels (W and H above 0), got \"" + text +
                         "\"");
    return r;
}

ScreenEstimate estimateScreen(const Raster& plate, const Region& asked) {
    Region region = asked;
    if (region.width == 0 || region.height == 0) region = {0, 0, plate.width, plate.height};
    if (region.x + region.width > plate.width || region.y + region.height > plate.height)
        throw UsageError("--region lies outside the " + std::to_string(plate.width) + "x" +
                         std::to_string(plate.height) + " plate");
    std::vector<size_t> pixels;
    for (int y = region.y; y < region.y + region.height; ++y)
        for (int x = region.x; x < region.x + region.width; ++x)
            pixels.push_back(static_cast<size_t>(y) * plate.width + x);

    // The screen's channel: the one that leads most often by a clear margin.
    long leads[3] = {0, 0, 0};
    const auto leadOf = [](const Rgb& c, int& high) {
        high = static_cast<int>(std::max_element(c.begin(), c.end()) - c.begin());
        const auto o = others(high);
        return c[high] - std::max(c[o[0]], c[o[1]]);
    };
    for (size_t p : pixels) {
        const Rgb c = colourAt(plate, p);
        int high = 0;
        if (leadOf(c, high) > kScreenLead * c[high] && c[high] >= kMinimumScreen) ++leads[high];
    }
    ScreenEstimate e;
    e.screenChannel = static_cast<int>(std::max_element(leads, leads + 3) - leads);
    const int high = e.screenChannel;
    const auto o = others(high);

    // The screen's hue: the median ratios of the other channels to the strongest.
    std::vector<float> ratio0, ratio1;
    for (size_t p : pixels) {
        const Rgb c = colourAt(plate, p);
        int h = 0;
        if (leadOf(c, h) > kScreenLead * c[h] && h == high && c[high] >= kMinimumScreen) {
            ratio0.push_back(c[o[0]] / c[high]);
            ratio1.push_back(c[o[1]] / c[high]);
        }
    }
    const float hue0 = median(ratio0), hue1 = median(ratio1);

    // The screen's pixels: those of the screen's hue, ordered by brightness.
    std::vector<Rgb> screen;
    for (size_t p : pixels) {
        const Rgb c = colourAt(plate, p);
        if (c[high] < kMinimumScreen) continue;
        if (std::fabs(c[o[0]] / c[high] - hue0) <= kRatioTolerance &&
            std::fabs(c[o[1]] / c[high] - hue1) <= kRatioTolerance)
            screen.push_back(c);
    }
    e.screenShare = pixels.empty() ? 0.0 : double(screen.size()) / pixels.size();
    if (screen.empty() || e.screenShare < kMinimumScreenShare)
        throw UsageError("no screen found in the plate" +
                         std::string(asked.width ? " region" : "") +
                         ": pick a region of screen with --region X,Y,W,H");
    std::sort(screen.begin(), screen.end(),
              [high](const Rgb& a, const Rgb& b) { return a[high] < b[high]; });

    // The screen colour: the mean of the darkest pixels.
    const size_t darkest = std::max<size_t>(1, static_cast<size_t>(screen.size() * kDarkestShare));
    double sum[3] = {0, 0, 0};
    for (size_t i = 0; i < darkest; ++i)
        for (int c = 0; c < 3; ++c) sum[c] += screen[i][c];
    for (int c = 0; c < 3; ++c) e.screen[c] = static_cast<float>(sum[c] / darkest);

    // The grain: deviation of the other channels from the screen's hue at each brightness.
    double square = 0;
    for (const Rgb& c : screen) {
        const double d0 = c[o[0]] - hue0 * c[high], d1 = c[o[1]] - hue1 * c[high];
        square += (d0 * d0 + d1 * d1) / 2;
    }
    const double grain = std::sqrt(square / screen.size());
    // The unevenness below the screen colour: the darkest screen's distance from it.
    const double below =
        e.screen[high] - screen[static_cast<size_t>(screen.size() * kOutlierShare)][high];
    const double range = (kGrainDeviations * grain + below) / kRangeBox;
    e.screenRange = static_cast<float>(std::min(kMaximumRange, range));
    return e;
}

}  // namespace pxhost
