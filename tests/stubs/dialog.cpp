#include "tests/stubs/dialog.h"

#include "platform/controls.h"
#include "platform/messagebox.h"

std::map<int, StubControl> StubControls;
std::vector<std::string> StubMessages;

std::string GetControlText(int id) {
    return StubControls[id].text;
}
void SetControlText(int id, const std::string& text) {
    StubControls[id].text = text;
}
bool IsControlChecked(int id) {
    return StubControls[id].checked;
}
void SetControlChecked(int id, bool checked) {
    StubControls[id].checked = checked;
}
void EnableControl(int id, bool enabled) {
    StubControls[id].enabled = enabled;
}
void ShowMessage(const std::string& text, const std::string& title) {
    StubMessages.push_back(title + ": " + text);
}
