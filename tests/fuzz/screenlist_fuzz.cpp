// The list reader on any file; the paths it read, written as the bitmap
// tool writes them, read back the same unless one holds a quote.
#include "display/screenlist.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path = FuzzFolder() + "in.lst";
    WriteTestFile(path, InputText(data, size));
    ScreenPaths paths = ReadScreenList(path);
    bool quote = false;
    for (const std::string& entry : paths)
        quote = quote || entry.find('"') != std::string::npos;
    WriteTestFile(path, ScreenListText(paths));
    Require(quote || ReadScreenList(path) == paths, "a written list reads back");
    return 0;
}
