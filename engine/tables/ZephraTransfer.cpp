#include "engine/tables/ZephraTransfer.h"

namespace zephra {

namespace {

// Constants of the two encodings. The three given in single precision are float values,
// widened where they meet a double; the others are doubles.
constexpr float kLogScale = 0.4901961f;          // log: 1/2.04, code values per decade
constexpr float kVideoDecode = 2.2222223f;       // video: 1/0.45
constexpr float kWorkPowerInverse = 1.6666666f;  // video: 1/0.6
// The end of the video toe is the float 0.081, so that a parameter of 0.081 takes the
// toe. No quotient i / max of a sample maximum up to 65535 lies between it and the double
// 0.081, so the tables come out as with the double.
constexpr float kVideoBreak = 0.081f;
constexpr double kVideoToeSlope = 4.5;       // video: slope of the toe
constexpr double kVideoOffset = 0.099;       // video: offset of the power segment
constexpr double kVideoScale = 1.099;        // video: scale of the power segment
constexpr double kVideoEncode = 0.45;        // video: power of the encoding segment
constexpr double kVideoLinearBreak = 0.018;  // video: end of the linear toe, linear light
constexpr double kWorkPower = 0.6;           // video: linear light -> working value

}  // namespace

double toWork(double v, int colourspace) {
    switch (colourspace) {
        case kLog:
            return powf32(10.0, (v - 1.0) / kLogScale);
        case kVideo: {
            const double linearLight = v <= kVideoBreak
                                           ? v / kVideoToeSlope
                                           : powf32((v + kVideoOffset) / kVideoScale, kVideoDecode);
            return linearLight == 0.0 ? 0.0 : powf32(linearLight, kWorkPower);
        }
        default:
            return v;
    }
}

double fromWork(double x, int colourspace) {
    switch (colourspace) {
        case kLog:
            // A logarithm is no power: it stays in double precision.
            if (x == 0.0) return 0.0;
            return std::log10(x) * kLogScale + 1.0;
        case kVideo: {
            const double linearLight = x == 0.0 ? 0.0 : powf32(x, kWorkPowerInverse);
            if (linearLight < kVideoLinearBreak) return kVideoToeSlope * linearLight;
            return kVideoScale * powf32(linearLight, kVideoEncode) - kVideoOffset;
        }
        default:
            return x;
    }
}

}  // namespace zephra
