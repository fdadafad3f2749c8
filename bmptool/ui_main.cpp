// The bitmap tool's run: state, common controls, the dialog, and the end.
#include "bmptool/state.h"
#include "bmptool/ui_dialog.h"
#include "platform/startup.h"

int ProgramMain() {
    ResetBitmapToolState();
    InitialiseCommonControls();
    ShowMainDialog(kNoWindow);
    return 0;
}
