#include "display/commands.h"

namespace {

constexpr char kEsc = 0x1B;
constexpr std::uint8_t kArgumentOffset = 0x40;

} // namespace

std::string ImageCommand() {
    return {kEsc, 'D', 'G'};
}

std::string ImageData(const DisplayImageBytes& image) {
    return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

std::string SaveCommand(std::int64_t page) {
    return {kEsc, 'X', static_cast<char>(page + kArgumentOffset)};
}

std::string BuildConfigCommand(std::uint8_t configValue, bool confirm) {
    std::string command = {kEsc, 'W', static_cast<char>(kArgumentOffset | configValue)};
    if (confirm)
        command += kConfirmRequest;
    return command;
}
