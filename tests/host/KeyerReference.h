#pragma once

// A direct engine render of the same samples the node keys, for comparing the node's output
// with: the test's own copies of the inputs at the node's depth, the screen colour painted
// outside the foreground's domain of definition, and one engine render of the whole image.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api/zephra.h"
#include "sdk/image/PXiImage.h"
#include "sdk/image/PXiMemoryImage.h"

struct KeyerSettings {
    std::string output = "composite";
    float screen[3] = {0.0f, 0.0f, 0.9f};
    float screenRange = 0.0f;
    float fgBias[3] = {0.5f, 0.5f, 0.5f};
    float balance[3] = {0.5f, 0.5f, 0.5f};
    float gain[3] = {0.0f, 0.0f, 0.0f};
    float midTonesAt = 0.5f;
    float replace[3] = {0.5f, 0.5f, 0.5f};
    float exposure[3] = {1.0f, 1.0f, 1.0f};
    float gamma[3] = {1.0f, 1.0f, 1.0f};
    float saturation = 1.0f;
    std::string colourspace = "linear";
    int useHold = 1;
    std::string holdChannel = "A";
    int useGarbage = 1;
    std::string garbageChannel = "A";

    // The script call giving every one of these (values written with at most four decimals,
    // so the node's rounding keeps them).
    std::string call(const std::string& images) const {
        auto f = [](float v) { return std::to_string(v); };
        std::string s = "k = Zephra_1v4(" + images + ", \"" + output + "\"";
        for (float v : screen) s += ", " + f(v);
        s += ", " + f(screenRange);
        for (float v : fgBias) s += ", " + f(v);
        for (float v : balance) s += ", " + f(v);
        for (float v : gain) s += ", " + f(v);
        s += ", " + f(midTonesAt);
        for (float v : replace) s += ", " + f(v);
        for (float v : exposure) s += ", " + f(v);
        for (float v : gamma) s += ", " + f(v);
        s += ", " + f(saturation) + ", \"" + colourspace + "\", " + std::to_string(useHold) +
             ", \"" + holdChannel + "\", " + std::to_string(useGarbage) + ", \"" + garbageChannel +
             "\", 0, 0);";
        return s;
    }
};

// Samples of one image at the keying depth, 4 per pixel, rows packed.
struct RefImage {
    int width = 0, height = 0, depth = 1;
    std::vector<std::uint16_t> s;  // kept wide; narrowed when handed to the engine
    std::uint16_t& at(int x, int y, int c) { return s[(std::size_t(y) * width + x) * 4 + c]; }
};

// The image's samples at `depth`: 8-bit samples widen by 257, floats scale and round to the
// nearest sample; pixels outside its domain of definition are zero (its background pixel).
inline RefImage refImage(const PXiMemoryImage& img, int depth, const PXiIRect& dod) {
    RefImage r;
    r.width = img.getWidth();
    r.height = img.getHeight();
    r.depth = depth;
    r.s.assign(std::size_t(r.width) * r.height * 4, 0);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            if (x < dod.x1 || x >= dod.x2 || y < dod.y1 || y >= dod.y2) continue;
            for (int c = 0; c < 4; ++c) {
                std::size_t i = (std::size_t(y) * r.width + x) * 4 + c;
                unsigned v;
                if (img.getImageDepth() == 1) {
                    v = static_cast<const std::uint8_t*>(img.getPixels())[i];
                    if (depth == 2) v *= 257;
                } else if (img.getImageDepth() == 2) {
                    v = static_cast<const std::uint16_t*>(img.getPixels())[i];
                } else {
                    float f = static_cast<const float*>(img.getPixels())[i];
                    v = unsigned(f * 65535.0f + 0.5f);
                }
                r.at(x, y, c) = std::uint16_t(v);
            }
        }
    return r;
}

// The screen colour as a sample, computed independently of the node: v * max + 0.5 in double
// precision, truncated.
inline std::uint16_t refScreenSample(float v, int depth) {
    double max = depth == 1 ? 255.0 : 65535.0;
    double x = double(v) * max + 0.5;
    return x <= 0 ? 0 : x >= max ? std::uint16_t(max) : std::uint16_t(x);
}

inline void refPaintScreen(RefImage& fg, const PXiIRect& dod, const float screen[3]) {
    for (int y = 0; y < fg.height; ++y)
        for (int x = 0; x < fg.width; ++x)
            if (x < dod.x1 || x >= dod.x2 || y < dod.y1 || y >= dod.y2) {
                fg.at(x, y, 1) = refScreenSample(screen[2], fg.depth);
                fg.at(x, y, 2) = refScreenSample(screen[1], fg.depth);
                fg.at(x, y, 3) = refScreenSample(screen[0], fg.depth);
            }
}

inline int refLetterSample(char c) {
    return c == 'R' || c == 'r' ? 3 : c == 'G' || c == 'g' ? 2 : c == 'B' || c == 'b' ? 1 : 0;
}

// Keys `fg` in place with a fresh engine set from `k`. `view` and `background` are what the
// node should have chosen; null images are absent.
inline void refKey(RefImage& fg, const RefImage* bg, const RefImage* hold, char holdLetter,
                   const RefImage* garbage, char garbageLetter, const KeyerSettings& k, int view,
                   const float background[3]) {
    ZephraHandle e = zephra_new();
    zephra_useRef(e, 0);
    const int max = fg.depth == 1 ? 255 : 65535;
    zephra_setFgMax(e, max);
    zephra_setBgMax(e, max);
    zephra_setHMatteMax(e, max);
    zephra_setGMatteMax(e, max);
    zephra_setDstMax(e, max);
    zephra_useHold(e, hold != nullptr);
    zephra_useGarbage(e, garbage != nullptr);
    zephra_setScreen(e, k.screen[0], k.screen[1], k.screen[2]);
    // A fresh engine works in log; the node names every colour space it knows.
    if (k.colourspace == "linear") zephra_setColourspace(e, 0);
    if (k.colourspace == "log") zephra_setColourspace(e, 1);
    if (k.colourspace == "video") zephra_setColourspace(e, 2);
    zephra_setView(e, view);
    zephra_setBackground(e, background[0], background[1], background[2]);
    zephra_setScreenRange(e, k.screenRange);
    zephra_setNeutral(e, k.fgBias[0], k.fgBias[1], k.fgBias[2]);
    for (int i = 0; i < 3; ++i) zephra_setBalance(e, i, k.balance[i]);
    for (int i = 0; i < 3; ++i) zephra_setGain(e, i, k.gain[i]);
    zephra_setMp(e, k.midTonesAt, k.midTonesAt, k.midTonesAt);
    zephra_setReplace(e, k.replace[0], k.replace[1], k.replace[2]);
    zephra_setExposure(e, k.exposure[0], k.exposure[1], k.exposure[2], 0);
    zephra_setGamma(e, k.gamma[0], k.gamma[1], k.gamma[2], 0);
    zephra_setSaturation(e, k.saturation, 0);
    const int luts = zephra_makeLuts(e);

    // The engine takes the tile's own sample width: narrow copies for 8-bit.
    std::vector<std::uint8_t> n[4];
    const RefImage* imgs[4] = {&fg, bg, hold, garbage};
    void* base[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!imgs[i]) continue;
        if (fg.depth == 1) {
            n[i].assign(imgs[i]->s.begin(), imgs[i]->s.end());
            base[i] = n[i].data();
        } else {
            base[i] = const_cast<std::uint16_t*>(imgs[i]->s.data());
        }
    }
    auto at = [&](int i, int c) { return static_cast<char*>(base[i]) + c * fg.depth; };
    const int row = 4 * fg.width;
    Ztile t = {};
    t.fg = {at(0, 3), at(0, 2), at(0, 1), at(0, 0), 4, row};
    t.dst = t.fg;
    if (bg) t.bg = {at(1, 3), at(1, 2), at(1, 1), at(1, 0), 4, row};
    if (hold) t.hold = {nullptr, nullptr, nullptr, at(2, refLetterSample(holdLetter)), 4, row};
    if (garbage)
        t.garbage = {nullptr, nullptr, nullptr, at(3, refLetterSample(garbageLetter)), 4, row};
    if (luts == 0) zephra_render(e, fg.depth, fg.width, fg.height, &t);
    if (fg.depth == 1) std::copy(n[0].begin(), n[0].end(), fg.s.begin());
    zephra_delete(e);
}

// The samples of a rendered buffer, rows packed, widened to 16 bits.
inline std::vector<std::uint16_t> samplesOf(const PXiIBuf& buf) {
    std::vector<std::uint16_t> out;
    for (int y = buf.getFirstRow(); y < buf.getFirstRow() + buf.getNumRows(); ++y)
        for (int x = buf.getFirstColumn(); x < buf.getFirstColumn() + buf.getWidth(); ++x)
            for (int c = 0; c < 4; ++c) {
                const char* p = static_cast<const char*>(buf.pixelAddress(x, y));
                out.push_back(
                    buf.getDepth() == 1
                        ? static_cast<const std::uint8_t*>(static_cast<const void*>(p))[c]
                        : static_cast<const std::uint16_t*>(static_cast<const void*>(p))[c]);
            }
    return out;
}
