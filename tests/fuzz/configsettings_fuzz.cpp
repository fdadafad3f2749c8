// The configuration tool's settings file "kplconfig.dat" holding anything,
// read into the dialog's controls.
#include "configtool/config.h"
#include "tests/stubs/dialog.h"
#include "tests/stubs/system.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StubProgramPath = FuzzFolder() + "kplconfigtool.exe";
    WriteTestFile(FuzzFolder() + "kplconfig.dat", InputText(data, size));
    StubControls.clear();
    LoadConfigSettings();
    Require((EncodeOptions() & 0x40) == 0, "bit 6 has no box");
    return 0;
}
