// The colour-correction tables: bgLut (set 1, folded into the background's input table),
// fgCorrectLut (set 0, applied to the keyed foreground) and the saturation matrices.

#include <limits>

#include "engine/ZephraTables.h"
#include "engine/ZephraTransfer.h"

namespace zephra {

namespace {

// The exponent 1 / gamma. A gamma of 0 or below has no meaningful power, so it acts as the
// limit of an ever smaller positive gamma: an infinite exponent, which sends every working
// value below 1.0 to 0, keeps 1.0 and saturates values above it. The correction then
// degenerates into a hard threshold at white instead of producing undefined values, and
// nudging the gamma up from 0 moves smoothly away from it.
float inverseGamma(float gamma) {
    if (gamma > 0.0f) return 1.0f / gamma;
    if (gamma <= 0.0f) return std::numeric_limits<float>::infinity();
    return gamma;  // not a number: the entries come out as 0
}

// x raised to the exponent, rounded to a float; 0 to a positive power is 0.
float correctPower(float x, float exponent) {
    if (exponent == 1.0f) return x;  // exact, and the common case
    return powf32(x, exponent);
}

// trunc(16383 * clamp01(z) + 0.5); z not a number gives 0.
std::int16_t correctedEntry(float z) {
    const float clamped = z < 0.0f ? 0.0f : (z > 1.0f ? 1.0f : z);
    return static_cast<std::int16_t>(
        truncSat(static_cast<float>(kInternalMax) * clamped + 0.5f, 0, kInternalMax));
}

// Bound on the Q12 matrix entries: with it, a row of three products with values up to
// 16383, plus the rounding 2048, stays within 32-bit ints in the renderer. Reached only
// when the neutral weights differ by more than about ten to one.
constexpr int kSatEntryLimit = (std::numeric_limits<int>::max() - 2048) / (3 * kInternalMax);

}  // namespace

void buildBgLut(VRFZephraTable& e, const Derived& d) {
    // One transfer per sample value, shared by the three channels.
    float exponent[3];
    for (int c = 0; c < 3; ++c) exponent[c] = inverseGamma(e.gamma[1][c]);
    const float max = static_cast<float>(e.bgMax);
    for (int i = 0; i <= e.bgMax; ++i) {
        const float x = toWork(static_cast<float>(i) / max, e.colourspace);
        for (int c = 0; c < 3; ++c) {
            const float y = correctPower(x, exponent[c]);
            e.bgLut[c][i] =
                correctedEntry((y * e.exposure[1][c] + e.offset[1][c]) * d.neutralWeight[c]);
        }
    }
}

void buildFgCorrectLut(VRFZephraTable& e, const Derived& d, int c) {
    const float exponent = inverseGamma(e.gamma[0][c]);
    const float exposure = e.exposure[0][c];
    const float offset = e.offset[0][c];
    const float weight = d.neutralWeight[c];
    const float denominator = static_cast<float>(kInternalMax) * weight;
    std::int16_t* table = e.fgCorrectLut[c];
    for (int i = 0; i <= kInternalMax; ++i) {
        const float x = static_cast<float>(i) / denominator;
        const float y = correctPower(x, exponent);
        table[i] = correctedEntry((y * exposure + offset) * weight);
    }
}

void buildSatMatrix(VRFZephraTable& e, const Derived& d) {
    static constexpr float kLuma[3] = {0.299f, 0.587f, 0.114f};
    for (int k = 0; k < 2; ++k) {
        const float s = e.saturation[k];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const float identity = i == j ? 1.0f : 0.0f;
                const float m = (d.neutralWeight[i] / d.neutralWeight[j]) *
                                ((1.0f - s) * kLuma[j] + s * identity);
                e.satMatrix[k][i][j] =
                    truncSat(4096.0f * m + 0.5f, -kSatEntryLimit, kSatEntryLimit);
            }
        }
    }
}

}  // namespace zephra
