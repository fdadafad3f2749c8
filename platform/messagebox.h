// Message boxes: no owner window, MB_TASKMODAL, an OK button, no icon.
// Returns when the user has dismissed the box.
#pragma once

#include <string>

void ShowMessage(const std::string& text, const std::string& title);
