#include "pages/project.h"

std::string ExampleProjectText() {
    return R"(# A KPL-120 page project: the display's flash pages (0 to 16), each a stack
# of layers drawn in order on a white 120 x 32 page (x to the right, y down).
# Build every page's BMP, the list for the bitmap tool, a C header, the hex
# text and a contact sheet:   kpl build screens.toml -o out/
# One page in the terminal:   kpl show screens.toml --page 5
# Paths are relative to this file. The format: docs/page-project.md

# Fonts: a built-in one (kpl fonts lists them: small, medium, large) or a
# file (TrueType, OpenType, PCF, BDF) with a size in pixels for outline fonts.
[[font]]
name = "title"
builtin = "large"

# [[font]]
# name = "sans"
# file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
# size = 11

# A status bar drawn on several pages: a group of layers used by name.
[[group]]
name = "statusbar"

[[group.layer]]
kind = "rectangle"
x = 0
y = 0
width = 120
height = 9
filled = true

[[group.layer]]
kind = "text"
text = "KPL-120"
font = "small"
x = 2
y = 1
ink = "white"

# A battery icon drawn pixel by pixel: '#' drawn, '.' left as it is.
[[group.layer]]
kind = "pixels"
x = 104
y = 2
rows = [
    "############.",
    "#..........##",
    "#..........##",
    "############.",
]
ink = "white"

# The splash page the display can show at start-up.
[[page]]
number = 2
name = "splash"

[[page.layer]]
kind = "rectangle"
x = 0
y = 0
width = 120
height = 32

[[page.layer]]
kind = "text"
text = "Hello"
font = "title"
x = 0
y = 0
width = 120
height = 32
anchor = "centre"

# A picture fitted into a box, as kpl convert takes it:
# [[page.layer]]
# kind = "picture"
# file = "logo.png"
# x = 0
# y = 0
# width = 32
# height = 32
# dither = "atkinson"

[[page]]
number = 5
name = "battery_low"

[[page.layer]]
kind = "group"
group = "statusbar"
x = 0
y = 0

[[page.layer]]
kind = "text"
text = "Battery low"
font = "medium"
x = 60
y = 21
anchor = "centre"

[[page.layer]]
kind = "line"
x = 10
y = 30
x2 = 109
y2 = 30
)";
}
