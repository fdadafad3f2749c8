// The numeric value of any text: blanks before it and text after it change
// nothing, and the integer is the nearest one or saturates on its side.
#include "common/numeric.h"
#include "tests/fuzz/fuzz.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = InputText(data, size);
    double value = NumericValue(text);
    Require(NumericValue(" \t\r\n" + text + "x") == value, "the same number");
    std::int64_t integer = IntegerValue(text);
    if (std::fabs(value) < 0x1p62)
        Require(std::fabs(static_cast<double>(integer) - value) <= 0.5, "the nearest integer");
    else
        Require((integer > 0) == (value > 0), "saturates on its side");
    return 0;
}
