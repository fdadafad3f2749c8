// The configuration tool's run: common controls, the dialog, and the end.
#include "configtool/ui_dialog.h"
#include "platform/startup.h"

int ProgramMain() {
    InitialiseCommonControls();
    ShowConfigDialog(kNoWindow);
    return 0;
}
