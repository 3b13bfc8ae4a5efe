// The leading-number parse and the numeric test: never infinite, NaN or negative zero, and
// on texts of number characters the same as a plain reading of the longest number prefix.
#include "app/numbers.h"
#include "fuzzinput.h"

#include <cmath>
#include <string>

namespace {
// The longest prefix of the form [+-]digits[.digits][e[+-]digits], read with strtod.
double referenceLeadingNumber(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
        ++i;
    const size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        const size_t expStart = j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
            ++j;
        if (j > expStart)
            end = j;
    }
    const double value = std::strtod(s.substr(start, end - start).c_str(), nullptr);
    if (value == 0.0)
        return 0.0;
    if (!std::isfinite(value))
        return s[start] == '-' ? -1.0e308 : 1.0e308;
    return value;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = textOf(data, size);
    const double value = leadingNumber(text);
    FUZZ_CHECK(std::isfinite(value));
    FUZZ_CHECK(!(value == 0.0 && std::signbit(value)));
    const bool numeric = isNumeric(text);
    // A number stays a number with blanks around it.
    FUZZ_CHECK(isNumeric(QLatin1Char(' ') + text + QLatin1Char(' ')) == numeric);
    bool plain = true;
    for (size_t i = 0; i < size; ++i)
        plain = plain && std::string_view("0123456789+-.eE \t").find(char(data[i])) !=
                             std::string_view::npos;
    if (plain)
        FUZZ_CHECK(value ==
                   referenceLeadingNumber(std::string(reinterpret_cast<const char*>(data), size)));
    return 0;
}
