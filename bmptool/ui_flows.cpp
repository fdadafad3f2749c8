#include "bmptool/ui_flows.h"

#include "bmptool/download.h"
#include "bmptool/files.h"
#include "bmptool/image.h"
#include "bmptool/state.h"
#include "bmptool/ui_dialog.h"
#include "bmptool/ui_ids.h"
#include "common/pathparts.h"
#include "display/transaction.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/pause.h"
#include "platform/preview.h"

namespace {

// Page field, its arrows and label, and the confirmation box: usable only
// while saving to flash is asked for.
constexpr int kPageControls[] = {IDC_PAGE, IDC_PAGE_LABEL, IDC_CONFIRM, IDC_PAGE_SPIN};

void EnablePageControls(bool enabled) {
    for (int id : kPageControls)
        EnableControl(id, enabled);
}

int FilledSlots() {
    int count = 0;
    for (int slot = 0; slot < kFlashPages; ++slot)
        if (!ScreenList[slot].empty())
            ++count;
    return count;
}

void SendBatch(const std::string& portText) {
    int sent = 0;
    for (int slot = 0; slot < kFlashPages; ++slot) {
        const std::string entry = ScreenList[slot];
        if (entry.empty())
            continue;
        SetControlText(IDC_PREVIEW_FRAME, BaseNameOf(entry));
        // The message loop does not run during a batch; show the entry's
        // name before its bytes go out.
        RepaintControl(IDC_PREVIEW_FRAME);
        DrawPreview(entry);
        std::string result = DownloadBitmap(entry, portText, true, std::to_string(slot), false);
        if (result == kDownloadBadPort)
            break;
        if (result == kDownloadOk)
            ++sent;
        Pause(kBatchPauseMs);
    }
    ShowMessage(FileCountText(sent) + "downloaded.", "Done");
    SetControlText(IDC_PREVIEW_FRAME, ReadyToSendCaption(CurrentSource));
    ClearPreview();
}

} // namespace

std::string FileCountText(int count) {
    return " " + std::to_string(count) + (count == 1 ? " file " : " files ");
}

std::string ReadyToSendCaption(const std::string& listPath) {
    return "\"" + BaseNameOf(listPath) + "\" ready to send.";
}

std::string IncompatibleFileText(const std::string& path) {
    return "\"" + FileNameOf(path) +
           "\" is not a compatible file.\rMust be 120x32 monochrome .BMP.";
}

void OpenList() {
    SelectedFile =
        AskOpenFileName({"Open .LST File", ListFolder, "List", "*.LST", "LST", MainDialog});
    if (SelectedFile.empty())
        return;
    LoadListFile(SelectedFile);
    SetControlText(IDC_DOWNLOAD_FRAME, "Download/save" + FileCountText(FilledSlots()));
    SetControlText(IDC_PREVIEW_FRAME, ReadyToSendCaption(SelectedFile));
    ClearPreview();
    if (CurrentMode == "BMP") {
        for (int id : {IDC_SAVE_FLASH, IDC_PAGE, IDC_CONFIRM, IDC_FLASH_FRAME, IDC_PAGE_LABEL,
                       IDC_PAGE_SPIN})
            EnableControl(id, false);
    }
    CurrentMode = "LST";
    CurrentSource = SelectedFile;
    ListFolder = FolderOf(SelectedFile);
}

void OpenBitmap() {
    SelectedFile =
        AskOpenFileName({"Open .BMP File", BitmapFolder, "Bitmap", "*.BMP", "BMP", MainDialog});
    if (SelectedFile.empty())
        return;
    if (!IsCompatibleBitmapFile(SelectedFile)) {
        ShowMessage(IncompatibleFileText(SelectedFile), "Incompatible File");
        BitmapFolder = FolderOf(SelectedFile);
        return;
    }
    SetControlText(IDC_DOWNLOAD_FRAME, "Download BMP");
    SetControlText(IDC_PREVIEW_FRAME, "Preview Bitmap " + FileNameOf(SelectedFile));
    CurrentSource = SelectedFile;
    DrawPreview(SelectedFile);
    BitmapFolder = FolderOf(SelectedFile);
    if (CurrentMode == "LST") {
        ScreenList.fill(std::string());
        EnableControl(IDC_SAVE_FLASH, true);
        EnableControl(IDC_FLASH_FRAME, true);
        EnablePageControls(IsControlChecked(IDC_SAVE_FLASH));
    }
    CurrentMode = "BMP";
}

void FollowSaveCheckBox() {
    EnablePageControls(IsControlChecked(IDC_SAVE_FLASH));
}

void SendToDisplay() {
    const std::string portText = GetControlText(IDC_PORT);
    const bool saveToFlash = IsControlChecked(IDC_SAVE_FLASH);
    const std::string pageText = GetControlText(IDC_PAGE);
    const bool showConfirmation = IsControlChecked(IDC_CONFIRM);
    if (CurrentMode == "BMP")
        DownloadBitmap(CurrentSource, portText, saveToFlash, pageText, showConfirmation);
    else if (CurrentMode == "LST")
        SendBatch(portText);
}

std::intptr_t MainDialogEvent(WindowHandle, unsigned message, std::uintptr_t wParam,
                              std::intptr_t) {
    if (message == kMessageNcActivate)
        FollowActivation(wParam, SavedFocus);
    else if (message == kMessageCommand) {
        int id = CommandControlId(wParam);
        int notification = CommandNotification(wParam);
        if (id == IDC_LOAD_LIST && IsClick(notification))
            OpenList();
        else if (id == IDC_LOAD_BMP && IsClick(notification))
            OpenBitmap();
        else if (id == IDC_SAVE_FLASH)
            FollowSaveCheckBox();
        else if (id == IDC_SEND && IsClick(notification))
            SendToDisplay();
    }
    return 0;
}
