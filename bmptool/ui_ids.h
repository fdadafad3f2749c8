// Control identifiers of the bitmap tool's main dialog.
#pragma once

constexpr int IDC_PREVIEW_FRAME = 1001;
constexpr int IDC_FLASH_FRAME = 1002;
constexpr int IDC_PREVIEW = 1004;
constexpr int IDC_LOAD_LIST = 1005;
constexpr int IDC_LOAD_BMP = 1006;
constexpr int IDC_SAVE_FLASH = 1007;
constexpr int IDC_PAGE = 1008;
constexpr int IDC_PAGE_SPIN = 1009;
constexpr int IDC_PORT = 1012;
constexpr int IDC_PORT_SPIN = 1013;
constexpr int IDC_PORT_LABEL = 1014;
constexpr int IDC_SEND = 1015;
constexpr int IDC_DOWNLOAD_FRAME = 1017;
constexpr int IDC_PAGE_LABEL = 1018;
constexpr int IDC_CONFIRM = 1019;
