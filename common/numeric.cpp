#include "common/numeric.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLeadingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

double NumericValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsLeadingSpace(text[i]))
        ++i;

    // Copy the recognised number into a plain form strtod reads the same
    // way everywhere ('D' exponents become 'e').
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        number += text[i++];

    bool anyDigit = false;
    while (i < text.size() && IsDigit(text[i])) {
        number += text[i++];
        anyDigit = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && IsDigit(text[i])) {
            number += text[i++];
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0.0;

    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exponent += text[j++];
        bool exponentDigit = false;
        while (j < text.size() && IsDigit(text[j])) {
            exponent += text[j++];
            exponentDigit = true;
        }
        // A bare "E" with no digits after it is not part of the number.
        if (exponentDigit)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

std::uint8_t LowEightBits(double value) {
    if (!std::isfinite(value))
        return 0;
    // fmod is exact, and so is adding 256 to a negative remainder.
    double remainder = std::fmod(std::nearbyint(value), 256.0);
    if (remainder < 0)
        remainder += 256.0;
    return static_cast<std::uint8_t>(remainder);
}

std::int64_t RoundToInteger(double value) {
    if (std::isnan(value))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it saturates.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (value < -limit)
        return std::numeric_limits<std::int64_t>::min();
    // nearbyint honours the default rounding mode: to nearest, ties to even.
    return static_cast<std::int64_t>(std::nearbyint(value));
}
