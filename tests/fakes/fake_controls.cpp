#include "platform/controls.h"
#include "tests/fakes/fakes.h"

std::string GetControlText(int id) {
    return FakeControls[id].text;
}

void SetControlText(int id, const std::string& text) {
    FakeControls[id].text = text;
}

bool IsControlChecked(int id) {
    return FakeControls[id].checked;
}

void SetControlChecked(int id, bool checked) {
    FakeControls[id].checked = checked;
}

void EnableControl(int id, bool enabled) {
    FakeControls[id].enabled = enabled;
}
