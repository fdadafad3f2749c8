// The configuration tool's settings file "kplconfig.dat" holding anything,
// read into the dialog's controls.
#include "configtool/config.h"
#include "tests/fuzz/seams.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakeProgramPath = FuzzFolder() + "kplconfigtool.exe";
    WriteTestFile(FuzzFolder() + "kplconfig.dat", InputText(data, size));
    FakeControls.clear();
    LoadConfigSettings();
    Require((EncodeOptions() & 0x40) == 0, "bit 6 has no box");
    return 0;
}
