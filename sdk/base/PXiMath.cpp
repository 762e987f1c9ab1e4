#include "sdk/base/PXiMath.h"

#include <cmath>

float PXiRound(float value, int digits) {
    if (std::isnan(value)) return 0.0f;
    if (std::isinf(value)) return value;
    // Floats of this size or more have no fractional part; rounding them to decimal places
    // could only lose digits of the integer part.
    if (std::fabs(value) >= 8388608.0f && digits >= 0) return value;
    if (digits > 38) digits = 38;
    if (digits < -38) digits = -38;
    const double scale = std::pow(10.0, digits);
    const double rounded = std::round(static_cast<double>(value) * scale) / scale;
    return static_cast<float>(rounded);
}

unsigned char PXiF2B(float value) {
    if (!(value > 0.0f)) return 0;  // also NaN
    if (value >= 255.0f) return 255;
    return static_cast<unsigned char>(value + 0.5f);
}

unsigned short PXiF2S(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 65535.0f) return 65535;
    return static_cast<unsigned short>(value + 0.5f);
}
