// The readers of Number, Currency and Date values against references: an ASCII number is taken
// exactly when strtod reads all of it as a finite number of at most 15 digits (no exponent,
// no NaN), and then as the same value; a date is canonical only when QDate has that day; what
// any locale shows reads back as the same canonical text.
#include "fuzzinput.h"
#include "store/fieldvalue.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// The reference for plain ASCII input: strtod over the whole text, without exponent, hex or words.
bool referenceNumber(const std::string& text, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789.+-") != std::string::npos)
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

// Digits that count, as a double keeps them: leading zeros and zeros ending the decimals do not.
int significantDigits(const std::string& text, int& decimals) {
    const size_t point = text.find('.');
    std::string whole = text.substr(0, point), fraction;
    if (point != std::string::npos)
        fraction = text.substr(point + 1);
    std::erase_if(whole, [](char c) { return c == '+' || c == '-'; });
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    decimals = int(fraction.size());
    const std::string all = whole + fraction;
    const size_t first = all.find_first_not_of('0');
    return first == std::string::npos ? 0 : int(all.size() - first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = textOf(data, size);
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::French, QLocale::France),
                                      QLocale(QLocale::Arabic, QLocale::Egypt)};
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?$"));
    static const QRegularExpression money(QStringLiteral("^-?(0|[1-9][0-9]*)\\.[0-9]{2}$"));
    const std::string ascii = text.trimmed().toStdString();
    for (FieldKind kind : {FieldKind::Number, FieldKind::Currency, FieldKind::Date}) {
        const ParsedValue c = parseFieldValue(kind, text, QLocale::c());
        if (kind != FieldKind::Date) {
            double expected = 0;
            const bool plain = referenceNumber(ascii, expected) && ascii.size() < 60;
            if (c.ok() && !c.canonical.isEmpty()) {
                FUZZ_CHECK(
                    (kind == FieldKind::Number ? number : money).match(c.canonical).hasMatch());
                FUZZ_CHECK(c.canonical != QLatin1String("-0") &&
                           c.canonical != QLatin1String("-0.00"));
                if (plain)
                    FUZZ_CHECK(std::strtod(c.canonical.toLatin1().constData(), nullptr) ==
                               expected);
            } else if (plain && kind == FieldKind::Number) {
                int decimals = 0;
                FUZZ_CHECK(significantDigits(ascii, decimals) > 15 || decimals > 20);
            }
        } else if (c.ok() && !c.canonical.isEmpty()) {
            const QDate day = QDate::fromString(c.canonical.left(10), Qt::ISODate);
            FUZZ_CHECK(day.isValid() && day.year() >= 1 && day.year() <= 9999);
            FUZZ_CHECK(c.canonical.size() == 10 || c.canonical.size() == 19);
        }
        for (const QLocale& locale : locales) {
            const ParsedValue typed = parseFieldValue(kind, text, locale);
            if (!typed.ok() || typed.canonical.isEmpty())
                continue;
            const QString shown = displayFieldValue(kind, typed.canonical, locale);
            FUZZ_CHECK(parseFieldValue(kind, shown, locale).canonical == typed.canonical);
        }
    }
    return 0;
}
