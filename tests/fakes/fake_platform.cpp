// The do-nothing and recording sides of the small seams.
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/pause.h"
#include "tests/fakes/fakes.h"

void ShowMessage(const std::string& text, const std::string& title) {
    FakeEvents.push_back("message " + title + ": " + text);
}

void Pause(unsigned milliseconds) { FakeEvents.push_back("pause " + std::to_string(milliseconds)); }

bool PutClipboardText(const std::string& text) {
    if (FakeClipboardFails) {
        FakeEvents.push_back("clipboard failed");
        return false;
    }
    FakeClipboard = text;
    FakeEvents.push_back("clipboard");
    return true;
}

std::string GetControlText(int id) { return FakeControls[id].text; }

void SetControlText(int id, const std::string& text) { FakeControls[id].text = text; }

bool IsControlChecked(int id) { return FakeControls[id].checked; }

void SetControlChecked(int id, bool checked) { FakeControls[id].checked = checked; }

void EnableControl(int id, bool enabled) { FakeControls[id].enabled = enabled; }
