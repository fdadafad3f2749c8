#include "display/options.h"

std::uint8_t ConfigValueOf(const DisplayOptions& options) {
    std::uint8_t value = 0;
    for (int option = 0; option < kOptionCount; ++option)
        if (options[option])
            value |= kOptionMask[option];
    return value;
}

DisplayOptions OptionsOf(std::uint8_t configValue) {
    DisplayOptions options{};
    for (int option = 0; option < kOptionCount; ++option)
        options[option] = (configValue & kOptionMask[option]) != 0;
    return options;
}
