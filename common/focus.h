// Both dialogs give the keyboard focus back to the control that had it
// when the user comes back from another window.
#pragma once

#include "platform/dialog.h"

// The control that had the focus when the dialog lost activation.
extern WindowHandle SavedFocus;

// WM_NCACTIVATE: wParam 0 when the dialog loses activation, non-zero when
// it gains it.
void FollowActivation(std::uintptr_t active);
