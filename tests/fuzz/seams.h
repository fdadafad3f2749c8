// What the settings readers reach beyond their files, stood in for: the
// program's path and the dialog's controls are remembered, no port opens,
// messages go nowhere.
#pragma once

#include <map>
#include <string>

struct FakeControl {
    std::string text;
    bool checked = false;
};
extern std::map<int, FakeControl> FakeControls;
extern std::string FakeProgramPath;
