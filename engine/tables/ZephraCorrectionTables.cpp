// The colour-correction tables: bgLut (set 1, folded into the background's input table),
// fgCorrectLut (set 0, applied to the keyed foreground) and the saturation matrices.

#include <limits>

#include "engine/tables/ZephraInputTables.h"
#include "engine/tables/ZephraTables.h"
#include "engine/tables/ZephraTransfer.h"

namespace zephra {

namespace {

// The exponent 1 / gamma. A gamma of 0 or below has no meaningful power, so it acts as the
// limit of an ever smaller positive gamma: an infinite exponent, which sends every working
// value below 1.0 to 0, keeps 1.0 and saturates values above it. The correction then
// degenerates into a hard threshold at white instead of producing undefined values, and
// nudging the gamma up from 0 moves smoothly away from it.
double inverseGamma(float gamma) {
    if (gamma > 0.0f) return 1.0 / gamma;
    if (gamma <= 0.0f) return std::numeric_limits<double>::infinity();
    return gamma;  // not a number: the entries come out as 0
}

// x raised to the exponent, rounded to a float; 0 to a positive power is 0. An exponent of
// exactly 1 (gamma 1, the common case) applies no power at all, so the value passes
// unrounded and the default correction is an exact identity at every depth.
double correctPower(double x, double exponent) {
    if (exponent == 1.0) return x;
    return powf32(x, exponent);
}

// trunc(16383 * clamp01(z) + 0.5); z not a number gives 0. The int bounds never bind for a
// number: clamp01 already keeps the argument within 0.5 .. 16383.5.
std::int16_t correctedEntry(double z) {
    return static_cast<std::int16_t>(
        truncSat(kInternalMax * clampTo(z, 0.0, 1.0) + 0.5, 0, kInternalMax));
}

// trunc(x) as a Q12 matrix entry, unlimited: the renderer forms its row sums wide enough
// for any int entry. Admitted parameters keep |x| below 4.9 * 10^6: off the diagonal a
// neutral-weight ratio of at most 1000 (neutral components are at least 0.001) times a
// blend factor of at most 1.174 in magnitude, on it a ratio of 1 times at most 2.402, all
// times 4096. The int bounds therefore never bind for a number; they only make the
// conversion defined for every double, and an entry that is not a number (from a NaN
// saturation or neutral, which the setters store) becomes 0.
int matrixEntry(double x) {
    return truncSat(x, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

}  // namespace

void buildBgLut(VRFZephraTable& e, const Derived& d) {
    // One transfer per sample value, shared by the three channels.
    double exponent[3];
    for (int c = 0; c < 3; ++c) exponent[c] = inverseGamma(e.gamma[1][c]);
    const double max = e.bgMax;
    for (int i = 0; i <= e.bgMax; ++i) {
        const double x = toWork(i / max, e.colourspace);
        for (int c = 0; c < 3; ++c) {
            const double y = correctPower(x, exponent[c]);
            e.bgLut[c][i] = correctedEntry((y * e.exposure[1][c] + e.offset[1][c]) *
                                           static_cast<double>(d.neutralWeight[c]));
        }
    }
    for (int c = 0; c < 3; ++c) repeatLastEntry(e.bgLut[c], e.bgMax);
}

void buildFgCorrectLut(VRFZephraTable& e, const Derived& d, int c) {
    const double exponent = inverseGamma(e.gamma[0][c]);
    const double exposure = e.exposure[0][c];
    const double offset = e.offset[0][c];
    const double weight = d.neutralWeight[c];
    const double denominator = kInternalMax * weight;
    std::int16_t* table = e.fgCorrectLut[c];
    for (int i = 0; i <= kInternalMax; ++i) {
        const double y = correctPower(i / denominator, exponent);
        table[i] = correctedEntry((y * exposure + offset) * weight);
    }
}

void buildSatMatrix(VRFZephraTable& e, const Derived& d) {
    static constexpr double kLuma[3] = {0.299, 0.587, 0.114};
    for (int k = 0; k < 2; ++k) {
        const double s = e.saturation[k];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const double identity = i == j ? 1.0 : 0.0;
                const double weights = static_cast<double>(d.neutralWeight[i]) / d.neutralWeight[j];
                const float m = static_cast<float>(weights * ((1.0 - s) * kLuma[j] + s * identity));
                e.satMatrix[k][i][j] = matrixEntry(4096.0 * m + 0.5);
            }
        }
    }
}

}  // namespace zephra
