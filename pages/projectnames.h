// The words of the project file for the model's choices, in the order of
// their enums: the file's reader and writer and the designer's JSON use
// these and no others.
#pragma once

#include <string>

constexpr const char* kLayerKindNames[] = {"picture",   "text",   "line",
                                           "rectangle", "pixels", "group"};
constexpr const char* kAnchorNames[] = {"top-left",    "top",    "top-right",
                                        "left",        "centre", "right",
                                        "bottom-left", "bottom", "bottom-right"};
constexpr const char* kInkNames[] = {"black", "white", "invert"};
constexpr const char* kFittingNames[] = {"fit", "fill", "stretch"};
constexpr const char* kDitheringNames[] = {"none", "floyd-steinberg", "atkinson", "bayer"};

// "picture, text, line, rectangle, pixels or group".
inline const char* LayerKindList() {
    return "picture, text, line, rectangle, pixels or group";
}

// Letters, digits and underscores, not starting with a digit: a page's
// name becomes a C constant and part of file names.
inline bool IsCIdentifier(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}
