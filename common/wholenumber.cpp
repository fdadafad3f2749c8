#include "common/wholenumber.h"

#include <limits>

std::optional<std::int64_t> WholeNumber(std::string_view text, std::int64_t lowest,
                                        std::int64_t highest) {
    bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (negative || text[0] == '+'))
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    // The magnitude of the lowest int64, the largest there is; beyond it the
    // count stops one past, and the rest need only be digits.
    constexpr std::uint64_t kMost = std::uint64_t(1) << 63;
    std::uint64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude > kMost / 10 ? kMost + 1 : magnitude * 10 + unsigned(c - '0');
    }
    std::int64_t value = 0;
    if (negative && magnitude == kMost)
        value = std::numeric_limits<std::int64_t>::min();
    else if (magnitude < kMost)
        value = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
    else
        return std::nullopt;
    if (value < lowest || value > highest)
        return std::nullopt;
    return value;
}
