#pragma once

// The working space: the two transfer functions between a colour space (linear, log,
// video) and the linear-light working values in which all keying arithmetic happens, and
// the rounding helpers shared by every table builder.
//
// Precision model of every table builder: a value that is stored (a parameter, a derived
// per-channel quantity, a projection coefficient, a balance-curve control value, an entry
// of the scratch curve array, a saturation-matrix entry before scaling) is a 32-bit float;
// every other intermediate of an expression is a double; the result of every power is
// rounded to a float before use. Single-precision constants of the encodings are float
// values, widened where they meet a double. Float expressions therefore never decide a
// result, and every build (SSE or otherwise) computes the same tables.

#include <cmath>
#include <cstdint>

namespace zephra {

enum ColourSpace : int { kLinear = 0, kLog = 1, kVideo = 2 };

// A power, rounded to a 32-bit float. It is evaluated in double precision, so the float
// result is the correctly rounded one on every platform (up to a double-rounding tie).
inline float powf32(double base, double exponent) {
    return static_cast<float>(std::pow(base, exponent));
}

// Colour-space value -> working value. Any id other than log and video acts as linear.
double toWork(double v, int colourspace);
// Working value -> colour-space value; the inverse of toWork.
double fromWork(double x, int colourspace);

// trunc(x), saturated to [lo, hi]; a value that is not a number gives nanValue (itself
// limited to [lo, hi]). Every floating-point -> int conversion of the table builders goes
// through it, so no parameter value (infinite, huge or NaN) can reach an out-of-range
// conversion.
inline int truncSat(double x, int lo, int hi, int nanValue = 0) {
    if (x != x) return nanValue < lo ? lo : (nanValue > hi ? hi : nanValue);
    if (x <= lo) return lo;
    if (x >= hi) return hi;
    return static_cast<int>(x);
}

// min(hi, max(lo, x)) in double; a value that is not a number stays one.
inline double clampTo(double x, double lo, double hi) { return x < lo ? lo : (x > hi ? hi : x); }

inline constexpr int kInternalMax = 16383;  // internal units: 16383 stands for 1.0
inline constexpr int kQ12One = 4096;        // Q12: 4096 stands for 1.0

}  // namespace zephra
