// The numeric value of a text, as the settings and list files and the
// dialogs' number fields use it.
#pragma once

#include <cstdint>
#include <string_view>

// Leading blanks, tabs and line breaks are skipped; then an optional sign,
// digits, an optional fraction and an optional exponent (E or D, either
// case). A text that does not start with a number gives 0.
double NumericValue(std::string_view text);

// Nearest integer, ties to the even one; saturates at the ends of the range
// and gives 0 for NaN, so that absurd input cannot overflow a caller.
std::int64_t RoundToInteger(double value);

// The low eight bits of the value rounded to the nearest integer (ties to
// the even one), negative values in two's complement. Exact at every
// magnitude, nothing saturates: each double of magnitude 2^60 or more is a
// multiple of 256 and gives 0, and so do infinities and NaN.
std::uint8_t LowEightBits(double value);

// The two together: what an integer-valued field holds.
inline std::int64_t IntegerValue(std::string_view text) {
    return RoundToInteger(NumericValue(text));
}
