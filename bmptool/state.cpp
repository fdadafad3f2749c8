#include "bmptool/state.h"

#include "bmptool/image.h"
#include "common/programfolder.h"

ScreenSlots ScreenList;
std::string CurrentMode = "BMP";
std::string CurrentSource;
std::string SelectedFile;
std::string BitmapFolder;
std::string ListFolder;

void ResetBitmapToolState() {
    DisplayImage.fill(0);
    ScreenList.fill(std::string());
    CurrentMode = "BMP";
    CurrentSource.clear();
    SelectedFile.clear();
    BitmapFolder = ProgramFolder();
    ListFolder = ProgramFolder();
}
