// The bitmap tool's settings file "kplbmptool.dat" holding anything.
#include "bmptool/files.h"
#include "tests/stubs/dialog.h"
#include "tests/stubs/system.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StubProgramPath = FuzzFolder() + "kplbmptool.exe";
    WriteTestFile(FuzzFolder() + "kplbmptool.dat", InputText(data, size));
    Require(!ReadSavedPort().empty(), "some port text");
    return 0;
}
