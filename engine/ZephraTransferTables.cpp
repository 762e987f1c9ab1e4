// The tables that only convert between sample values, the working space and internal
// units: fgLut, refLut, outLut and the colours in internal units.

#include "engine/ZephraTables.h"
#include "engine/ZephraTransfer.h"

namespace zephra {

namespace {

// trunc(16383 * weight * toWork(i / max) + 0.5), within the internal range.
std::int16_t inputEntry(float scale, int i, float max, int colourspace) {
    const float v = scale * toWork(static_cast<float>(i) / max, colourspace) + 0.5f;
    return static_cast<std::int16_t>(truncSat(v, 0, kInternalMax));
}

}  // namespace

void buildFgLut(VRFZephraTable& e, const Derived& d) {
    // One transfer per sample value, shared by the three channels.
    float scale[3];
    for (int c = 0; c < 3; ++c) scale[c] = static_cast<float>(kInternalMax) * d.neutralWeight[c];
    const float max = static_cast<float>(e.fgMax);
    for (int i = 0; i <= e.fgMax; ++i) {
        const float x = toWork(static_cast<float>(i) / max, e.colourspace);
        for (int c = 0; c < 3; ++c) {
            e.fgLut[c][i] =
                static_cast<std::int16_t>(truncSat(scale[c] * x + 0.5f, 0, kInternalMax));
        }
    }
}

std::int16_t refLutEntry(const VRFZephraTable& e, const Derived& d, int c, int i) {
    const float scale = static_cast<float>(kInternalMax) * d.neutralWeight[c];
    return inputEntry(scale, i, static_cast<float>(e.refMax), e.colourspace);
}

void buildOutLut(VRFZephraTable& e, const Derived& d, int c) {
    const float denominator = static_cast<float>(kInternalMax) * d.neutralWeight[c];
    const float dstMax = static_cast<float>(e.dstMax);
    std::uint16_t* table = e.outLut[c];
    for (int i = 0; i <= kInternalMax; ++i) {
        const float y = fromWork(static_cast<float>(i) / denominator, e.colourspace);
        // The product is a float, the rounding sum is taken in double precision.
        const double v = static_cast<double>(dstMax * y) + 0.5;
        table[i] = static_cast<std::uint16_t>(truncSat(v, 0, e.dstMax));
    }
}

void buildColourInts(VRFZephraTable& e, const Derived& d, int c) {
    const float one = static_cast<float>(kInternalMax);
    e.replaceInt[c] = truncSat(one * d.replaceWork[c] + 0.5f, 0, kInternalMax);
    e.screenInt[c] = truncSat(one * d.screenWork[c] + 0.5f, 0, kInternalMax);
    const float background =
        one * d.neutralWeight[c] * toWork(e.background[c], e.colourspace) + 0.5f;
    e.backgroundInt[c] = static_cast<std::int16_t>(truncSat(background, 0, kInternalMax));
}

}  // namespace zephra
