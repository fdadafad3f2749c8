// The picture loader on any file, its first byte choosing the fitting,
// dithering, threshold, inversion and frame.
#include "picture/picture.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    ConversionOptions options;
    options.fitting = static_cast<Fitting>(data[0] % 3);
    options.dithering = static_cast<Dithering>(data[0] / 3 % 4);
    options.threshold = data[0];
    options.invert = data[0] & 0x80;
    options.frame = data[0] % 3;
    WriteTestFile(FuzzFolder() + "in", InputText(data + 1, size - 1));
    DisplayImageBytes image{};
    PictureOutcome outcome = LoadPicture(FuzzFolder() + "in", options, image);
    Require(outcome.ok || !outcome.why.empty(), "a reason");
    return 0;
}
