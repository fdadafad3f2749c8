// The BMP reader on any file, as the tools read it; a picture it reads
// comes back the same through the file it writes.
#include "display/image.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes = InputText(data, size);
    WriteTestFile(FuzzFolder() + "in.bmp", bytes);
    DisplayImageBytes image{};
    bool loaded = LoadBitmapImage(FuzzFolder() + "in.bmp", image);
    Require(loaded == (size == kBitmapFileLength), "only a 574-byte file loads");
    Require(!loaded || image == ConvertBitmapBytes(bytes), "the file's pixels");
    Require(ConvertBitmapBytes(BitmapFileBytes(image)) == image, "written and read back");
    return 0;
}
