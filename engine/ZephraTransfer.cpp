#include "engine/ZephraTransfer.h"

namespace zephra {

namespace {

// Single-precision constants of the two encodings.
constexpr float kLogScale = 0.4901961f;          // log: 1/2.04, code values per decade
constexpr float kVideoBreak = 0.081f;            // video: end of the linear toe, encoded
constexpr float kVideoToeSlope = 4.5f;           // video: slope of the toe
constexpr float kVideoOffset = 0.099f;           // video: offset of the power segment
constexpr float kVideoScale = 1.099f;            // video: scale of the power segment
constexpr float kVideoDecode = 2.2222223f;       // video: 1/0.45
constexpr float kVideoEncode = 0.45f;            // video: power of the encoding segment
constexpr float kVideoLinearBreak = 0.018f;      // video: end of the linear toe, linear light
constexpr float kWorkPower = 0.6f;               // video: linear light -> working value
constexpr float kWorkPowerInverse = 1.6666666f;  // video: 1/0.6

}  // namespace

float toWork(float v, int colourspace) {
    switch (colourspace) {
        case kLog:
            return powf32(10.0f, (v - 1.0f) / kLogScale);
        case kVideo: {
            const float linearLight = v <= kVideoBreak
                                          ? v / kVideoToeSlope
                                          : powf32((v + kVideoOffset) / kVideoScale, kVideoDecode);
            return linearLight == 0.0f ? 0.0f : powf32(linearLight, kWorkPower);
        }
        default:
            return v;
    }
}

float fromWork(float x, int colourspace) {
    switch (colourspace) {
        case kLog:
            if (x == 0.0f) return 0.0f;
            return static_cast<float>(std::log10(x)) * kLogScale + 1.0f;
        case kVideo: {
            const float linearLight = x == 0.0f ? 0.0f : powf32(x, kWorkPowerInverse);
            if (linearLight < kVideoLinearBreak) return kVideoToeSlope * linearLight;
            return kVideoScale * powf32(linearLight, kVideoEncode) - kVideoOffset;
        }
        default:
            return x;
    }
}

}  // namespace zephra
