// The bitmap tool's one window, MainDialog: its frame, its fifteen
// controls, its bold font, and the building and running of it.
#pragma once

#include "platform/dialog.h"

#include <array>

extern const DialogFrame MainDialogFrame;

// In creation order, which is also the z order.
constexpr int kMainDialogControlCount = 15;
extern const std::array<DialogControl, kMainDialogControlCount> MainDialogControls;

// The running dialog, the control whose focus it gets back when it is
// active again, and the bold font of the two status captions and the Send
// button.
extern WindowHandle MainDialog;
extern WindowHandle SavedFocus;
extern FontHandle DialogFont;

// 8-point bold "MS Sans Serif" for a screen of this many pixels per inch.
FontDescription DialogFontDescription(int pixelsPerInch);

// Builds MainDialog, runs it with MainDialogEvent until it is closed, and
// deletes DialogFont. owner is kNoWindow (the desktop).
void ShowMainDialog(WindowHandle owner);
