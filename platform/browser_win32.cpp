#include "platform/browser.h"

#include <windows.h>

#include <shellapi.h>

bool OpenInBrowser(const std::string& address, std::string& why) {
    // ShellExecute's result above 32 means it started something.
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32)
        return true;
    why = "no program opens web addresses (error " + std::to_string(result) + ")";
    return false;
}
