// The leading-number parse and the numeric test on any text: never infinite, NaN or negative
// zero, and blanks around a number leave it a number.
#include "app/numbers.h"
#include "fuzzinput.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = textOf(data, size);
    const double value = leadingNumber(text);
    FUZZ_CHECK(std::isfinite(value) && !(value == 0.0 && std::signbit(value)));
    FUZZ_CHECK(isNumeric(QLatin1Char(' ') + text + QLatin1Char(' ')) == isNumeric(text));
    return 0;
}
