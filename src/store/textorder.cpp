#include "store/textorder.h"

#include <QCollator>
#include <QStringDecoder>
#include <QVarLengthArray>
#include <charconv>
#include <sqlite3.h>
#include <string_view>

namespace {

// The UTF-8 text as UTF-16 in the buffer, without a copy on the heap for the short texts that
// fields mostly hold: a sort compares each value many times.
using Utf16 = QVarLengthArray<QChar, 256>;

QStringView widened(const char* text, int size, Utf16& buffer) {
    buffer.resize(size); // UTF-16 never needs more units than UTF-8 has bytes
    QChar* out = buffer.data();
    int i = 0;
    for (; i < size && static_cast<unsigned char>(text[i]) < 0x80; ++i)
        *out++ = QLatin1Char(text[i]);
    if (i < size) {
        QStringDecoder decode(QStringDecoder::Utf8);
        out = decode.appendToBuffer(out, QByteArrayView(text + i, size - i));
    }
    return QStringView(buffer.data(), out - buffer.data());
}

int compareInLocale(void* collator, int leftSize, const void* left, int rightSize,
                    const void* right) {
    Utf16 leftBuffer, rightBuffer;
    const QStringView a = widened(static_cast<const char*>(left), leftSize, leftBuffer);
    const QStringView b = widened(static_cast<const char*>(right), rightSize, rightBuffer);
    const int order = static_cast<QCollator*>(collator)->compare(a, b);
    // Texts the locale takes as equal keep an order of their own, so that the order is total.
    return order != 0 ? order : a.compare(b);
}

void destroyCollator(void* collator) {
    delete static_cast<QCollator*>(collator);
}

// The UTF-8 text of the function's one argument; empty for Null.
std::string_view textArgument(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? std::string_view(text, size_t(sqlite3_value_bytes(value))) : std::string_view();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

void plainNumber(sqlite3_context* context, int, sqlite3_value** arguments) {
    const std::string_view text = textArgument(arguments[0]);
    if (text.empty() || text.size() > 40)
        return sqlite3_result_null(context);
    size_t i = text[0] == '-' ? 1 : 0;
    const size_t wholeStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i == wholeStart)
        return sqlite3_result_null(context);
    if (i < text.size() && text[i] == '.') {
        const size_t fractionStart = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == fractionStart)
            return sqlite3_result_null(context);
    }
    double value = 0;
    if (i != text.size() ||
        std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc())
        return sqlite3_result_null(context);
    sqlite3_result_double(context, value);
}

void plainDate(sqlite3_context* context, int, sqlite3_value** arguments) {
    const std::string_view text = textArgument(arguments[0]);
    // "YYYY-MM-DD", and "THH:MM:SS" after it: where each character is a digit or which.
    static constexpr std::string_view Form = "0000-00-00T00:00:00";
    bool plain = text.size() == 10 || text.size() == Form.size();
    for (size_t i = 0; plain && i < text.size(); ++i)
        plain = Form[i] == '0' ? isDigit(text[i]) : text[i] == Form[i];
    if (!plain)
        return sqlite3_result_null(context);
    sqlite3_result_value(context, arguments[0]);
}

} // namespace

void installValueReaders(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function(db, PlainNumberFunction.toUtf8().constData(), 1, flags, nullptr,
                            plainNumber, nullptr, nullptr);
    sqlite3_create_function(db, PlainDateFunction.toUtf8().constData(), 1, flags, nullptr,
                            plainDate, nullptr, nullptr);
}

void installLocaleCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, LocaleCollation.toUtf8().constData(), SQLITE_UTF8,
                                new QCollator(QLocale()), compareInLocale, destroyCollator);
}
