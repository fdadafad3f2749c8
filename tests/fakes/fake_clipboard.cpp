#include "platform/clipboard.h"
#include "tests/fakes/fakes.h"

bool PutClipboardText(const std::string& text) {
    if (FakeClipboardFails) {
        FakeEvents.push_back("clipboard failed");
        return false;
    }
    FakeClipboard = text;
    FakeEvents.push_back("clipboard");
    return true;
}
