// What the main dialog does when the user acts: open a list or a bitmap,
// follow the save check box, and send one bitmap or a whole list.
#pragma once

#include "platform/dialog.h"

#include <string>

// The dialog's event handler. Returns 0 for every message, so the
// dialog's default processing always follows.
std::intptr_t MainDialogEvent(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam);

// The flows, one per button.
void OpenList();
void OpenBitmap();
void FollowSaveCheckBox();
void SendToDisplay();

// " 1 file " or " N files ": the count in the download caption and in the
// batch's closing message.
std::string FileCountText(int count);

// The preview caption of a list: "\"name\" ready to send.".
std::string ReadyToSendCaption(const std::string& listPath);

// The "Incompatible File" text for a bitmap path.
std::string IncompatibleFileText(const std::string& path);
