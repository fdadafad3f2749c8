// The one reading of a whole number that a person or a request gives: kpl's
// options, the designer's requests, the emulator's. The dialog programs read
// their numbers as they always have (common/numeric.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The whole text as an optional '+' or '-' and decimal digits, when its
// value lies in [lowest, highest]; nothing otherwise. Blanks are the
// caller's to take off. Any number of digits is read without overflow
// (leading zeros too), and the locale plays no part.
std::optional<std::int64_t> WholeNumber(std::string_view text, std::int64_t lowest,
                                        std::int64_t highest);
