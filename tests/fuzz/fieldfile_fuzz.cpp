// The field reader on any bytes: every read moves on, so a file always
// ends, and a text without quotes written as a quoted field reads back.
#include "common/fieldfile.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = InputText(data, size);
    FieldReader reader = FieldReaderOver(text);
    for (bool number = true; reader.position < reader.data.size(); number = !number) {
        std::size_t before = reader.position;
        number ? ReadNumberField(reader) : ReadTextField(reader);
        Require(reader.position > before && reader.position <= reader.data.size(), "moves on");
    }
    if (text.find_first_of("\"\x1A") == std::string::npos) {
        FieldReader line = FieldReaderOver(FieldLine({QuotedField(text), "-1.5E3"}));
        Require(ReadTextField(line) == text, "quoted text read back");
        Require(ReadNumberField(line) == "-1.5E3", "the field after it");
    }
    return 0;
}
