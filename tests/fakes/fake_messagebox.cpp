#include "platform/messagebox.h"
#include "tests/fakes/fakes.h"

void ShowMessage(const std::string& text, const std::string& title) {
    FakeEvents.push_back("message " + title + ": " + text);
}
