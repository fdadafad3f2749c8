#include "display/hextext.h"

#include "common/pathparts.h"

namespace {

constexpr std::size_t kValuesPerLine = 16;

} // namespace

std::string BuildHexText(const DisplayImageBytes& image, const std::string& path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "; " + BaseNameOf(path) + "\r";
    for (std::size_t line = 0; line < kDisplayImageSize / kValuesPerLine; ++line) {
        text += "  DT\t";
        for (std::size_t i = 0; i < kValuesPerLine; ++i) {
            std::uint8_t value = image[line * kValuesPerLine + i];
            if (i > 0)
                text += ", ";
            text += "0x";
            text += digits[value >> 4];
            text += digits[value & 0x0F];
        }
        text += '\r';
    }
    return text;
}
