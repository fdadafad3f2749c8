// Stand-ins for the dialog's seams (controls.h, messagebox.h): controls are
// remembered by id, messages are kept as "title: text". Library
// kpl_stub_dialog.
#pragma once

#include <map>
#include <string>
#include <vector>

struct StubControl {
    std::string text;
    bool checked = false;
    bool enabled = true;
};
extern std::map<int, StubControl> StubControls;
extern std::vector<std::string> StubMessages;
