// The command line's picture loader on any file, its first byte choosing
// the fitting, dithering, threshold and inversion.
#include "picture/picture.h"
#include "picture/stbcheck.h"
#include "tests/fuzz/fuzz.h"

#include "stb_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // Pictures of up to 64 megapixels are read whole, seconds each under
    // the sanitizers; small ones take the same paths.
    std::string bytes = InputText(data + 1, size - 1);
    int w = 0, h = 0, channels = 0;
    if (!HasUnsafeHuffmanTables(bytes) &&
        stbi_info_from_memory(data + 1, static_cast<int>(size - 1), &w, &h, &channels) &&
        std::int64_t{w} * h > (1 << 18) && std::int64_t{w} * h <= 64000000)
        return 0;
    ConversionOptions options;
    options.fitting = static_cast<Fitting>(data[0] % 3);
    options.dithering = static_cast<Dithering>(data[0] / 3 % 4);
    options.threshold = data[0];
    options.invert = data[0] & 0x80;
    WriteTestFile(FuzzFolder() + "in", bytes);
    DisplayImageBytes image{};
    PictureOutcome outcome = LoadPicture(FuzzFolder() + "in", options, image);
    Require(outcome.ok || !outcome.why.empty(), "a reason");
    return 0;
}
