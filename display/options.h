// The display's seven start-up options and ConfigValue, the byte that
// carries them: one bit each, bit 6 never set.
#pragma once

#include <array>
#include <cstdint>

enum DisplayOption {
    kBacklight,
    kSplashScreen,
    kWriteProtect,
    kFontOverwrite,
    kFontWide,
    kFontTall,
    kYOriginBottom,
    kOptionCount
};

using DisplayOptions = std::array<bool, kOptionCount>;

// The bit of each option; not in the order above.
constexpr std::array<std::uint8_t, kOptionCount> kOptionMask = {0x01, 0x02, 0x04, 0x80,
                                                                0x08, 0x10, 0x20};

std::uint8_t ConfigValueOf(const DisplayOptions& options);

// The options whose bits are set; bit 6 belongs to none.
DisplayOptions OptionsOf(std::uint8_t configValue);
