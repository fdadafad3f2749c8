// The configuration tool's one window, ConfigDialog: its frame, its
// fourteen controls, its three fonts, and its event handler.
#pragma once

#include "platform/dialog.h"

#include <array>

extern const DialogFrame ConfigDialogFrame;

// In identifier order, which is also the tab and z order.
constexpr int kConfigDialogControlCount = 14;
extern const std::array<DialogControl, kConfigDialogControlCount> ConfigDialogControls;

// The running dialog, and the control whose focus it gets back when it is
// active again.
extern WindowHandle ConfigDialog;
extern WindowHandle SavedFocus;

// The dialog's three fonts besides its own: the group boxes' captions, the
// Send button's text and the port number.
FontDescription GroupFontDescription(int pixelsPerInch);
FontDescription SendFontDescription(int pixelsPerInch);
FontDescription PortFontDescription(int pixelsPerInch);

// Builds ConfigDialog, restores the saved settings into it, runs it with
// ConfigDialogEvent until it is closed, then deletes the fonts.
void ShowConfigDialog(WindowHandle owner);

// Returns 0 for every message: the dialog's default processing follows.
std::intptr_t ConfigDialogEvent(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);
