#include "platform/startup.h"

#include <windows.h>

#include <commctrl.h>

void InitialiseCommonControls() {
    HMODULE library = LoadLibraryA("COMCTL32.DLL");
    if (library == nullptr)
        return;
    using InitialiseEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    // Through void(*)() so that the cast of a looked-up address is allowed.
    auto initialiseEx = reinterpret_cast<InitialiseEx>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "InitCommonControlsEx")));
    if (initialiseEx != nullptr) {
        INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES |
                                                                          ICC_DATE_CLASSES |
                                                                          ICC_INTERNET_CLASSES};
        initialiseEx(&classes);
    } else {
        InitCommonControls();
    }
    // Only drops the count taken above: the program imports comctl32 (for
    // InitCommonControls), so the library that registered the up-down
    // control class stays loaded as long as the dialogs live.
    FreeLibrary(library);
}
