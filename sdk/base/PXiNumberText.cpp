#include "sdk/base/PXiNumberText.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool PXiParseDecimal(const char* text, double& value) {
    if (!text) return false;
    const char* begin = text;
    while (isBlank(*begin)) ++begin;
    const char* end = begin + std::strlen(begin);
    while (end > begin && isBlank(end[-1])) --end;
    // Check the form ourselves: from_chars would also take "inf", "nan" and hex digits.
    const char* p = begin;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
    const char* numberStart = p;
    int digits = 0;
    while (p < end && isDigit(*p)) ++p, ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && isDigit(*p)) ++p, ++digits;
    }
    if (digits == 0) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) ++p;
        int expDigits = 0;
        while (p < end && isDigit(*p)) ++p, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (p != end) return false;
    double v = 0.0;
    const std::from_chars_result r = std::from_chars(numberStart, end, v);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the nearest limit, the largest finite value
        // or zero. The exponent's sign tells which way it fell out.
        bool tiny = false;
        for (const char* q = numberStart; q < end; ++q) {
            if (*q == 'e' || *q == 'E') {
                tiny = q[1] == '-';
                break;
            }
        }
        v = tiny ? 0.0 : std::numeric_limits<double>::max();
    } else if (r.ec != std::errc() || r.ptr != end) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

std::string PXiFloatText(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

int PXiRoundToInt(double value) {
    if (std::isnan(value)) return 0;
    double r = std::round(value);
    if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(r);
}

float PXiToFloat(double value) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (std::isinf(value)) return static_cast<float>(value);
    if (value > kLargest) return std::numeric_limits<float>::max();
    if (value < -kLargest) return -std::numeric_limits<float>::max();
    return static_cast<float>(value);
}
