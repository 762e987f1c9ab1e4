#pragma once

// The working space: the two transfer functions between a colour space (linear, log,
// video) and the linear-light working values in which all keying arithmetic happens, and
// the rounding helpers shared by every table builder.

#include <cmath>
#include <cstdint>

namespace zephra {

enum ColourSpace : int { kLinear = 0, kLog = 1, kVideo = 2 };

// A power rounded to a 32-bit float. The power itself is evaluated in double precision so
// that the float result is the correctly rounded one on every platform.
inline float powf32(float base, float exponent) {
    return static_cast<float>(std::pow(static_cast<double>(base), static_cast<double>(exponent)));
}

// Colour-space value -> working value. Any id other than log and video acts as linear.
float toWork(float v, int colourspace);
// Working value -> colour-space value; the inverse of toWork.
float fromWork(float x, int colourspace);

// trunc(x), saturated to [lo, hi]; a value that is not a number gives nanValue (itself
// limited to [lo, hi]). Every
// float -> int conversion of the table builders goes through these, so no parameter value
// (infinite, huge or NaN) can reach an out-of-range conversion.
inline int truncSat(float x, int lo, int hi, int nanValue = 0) {
    if (x != x) return nanValue < lo ? lo : (nanValue > hi ? hi : nanValue);
    if (x <= static_cast<float>(lo)) return lo;
    if (x >= static_cast<float>(hi)) return hi;
    return static_cast<int>(x);
}
inline int truncSat(double x, int lo, int hi, int nanValue = 0) {
    if (x != x) return nanValue < lo ? lo : (nanValue > hi ? hi : nanValue);
    if (x <= lo) return lo;
    if (x >= hi) return hi;
    return static_cast<int>(x);
}

inline constexpr int kInternalMax = 16383;  // internal units: 16383 stands for 1.0
inline constexpr int kQ12One = 4096;        // Q12: 4096 stands for 1.0

}  // namespace zephra
