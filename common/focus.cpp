#include "common/focus.h"

WindowHandle SavedFocus = kNoWindow;

void FollowActivation(std::uintptr_t active) {
    if (active == 0) {
        SavedFocus = FocusedWindow();
    } else if (SavedFocus != kNoWindow) {
        FocusWindow(SavedFocus);
        SavedFocus = kNoWindow;
    }
}
