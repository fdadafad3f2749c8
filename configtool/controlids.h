// Control identifiers of the configuration dialog, in creation order
// (which is also the tab and z-order).
#pragma once

constexpr int IDC_OPTIONS_FRAME = 1001;
constexpr int IDC_SEND_FRAME = 1002;
constexpr int IDC_BACKLIGHT = 1003;
constexpr int IDC_SPLASH = 1004;
constexpr int IDC_WRITE_PROTECT = 1005;
constexpr int IDC_FONT_OVERWRITE = 1006;
constexpr int IDC_FONT_WIDE = 1007;
constexpr int IDC_FONT_TALL = 1008;
constexpr int IDC_Y_ORIGIN_BOTTOM = 1009;
constexpr int IDC_SEND = 1010;
constexpr int IDC_CONFIRM = 1011;
constexpr int IDC_PORT_LABEL = 1012;
constexpr int IDC_PORT = 1013;
constexpr int IDC_PORT_SPIN = 1014;
