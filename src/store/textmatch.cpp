#include "store/textmatch.h"

#include <QList>
#include <algorithm>
#include <cstring>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A pattern prepared once per statement: folded, and split into literal runs between '%'.
struct FoldedPattern {
    std::vector<char32_t> chars; // folded; Wildcard/Any mark the wildcards
    bool simpleContains = false; // the whole pattern is %literal%
    QString literal;             // folded literal of a simple pattern
    QByteArray asciiLiteral;     // the same, when it is plain ASCII
};

constexpr char32_t AnyRun = 0xFFFFFFFF; // '%'
constexpr char32_t AnyOne = 0xFFFFFFFE; // '_'

std::vector<char32_t> foldedChars(const QString& text) {
    const QList<uint> ucs = text.toCaseFolded().toUcs4();
    return std::vector<char32_t>(ucs.begin(), ucs.end());
}

FoldedPattern preparePattern(const QString& pattern, QChar escape) {
    FoldedPattern p;
    const QList<uint> raw = pattern.toUcs4();
    bool escaped = false;
    for (uint c : raw) {
        if (escaped) {
            for (char32_t f :
                 foldedChars(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1)))
                p.chars.push_back(f);
            escaped = false;
        } else if (!escape.isNull() && c == escape.unicode()) {
            escaped = true;
        } else if (c == '%') {
            p.chars.push_back(AnyRun);
        } else if (c == '_') {
            p.chars.push_back(AnyOne);
        } else {
            for (char32_t f :
                 foldedChars(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1)))
                p.chars.push_back(f);
        }
    }
    // %literal% is what searches use: a plain substring test then.
    const auto& ch = p.chars;
    if (ch.size() >= 2 && ch.front() == AnyRun && ch.back() == AnyRun) {
        bool plain = true;
        for (size_t i = 1; i + 1 < ch.size(); ++i)
            plain = plain && ch[i] != AnyRun && ch[i] != AnyOne;
        if (plain) {
            p.simpleContains = true;
            std::u32string s(ch.begin() + 1, ch.end() - 1);
            p.literal = QString::fromUcs4(s.data(), qsizetype(s.size()));
            bool ascii = true;
            for (QChar q : p.literal)
                ascii = ascii && q.unicode() < 0x80;
            if (ascii)
                p.asciiLiteral = p.literal.toLatin1();
        }
    }
    return p;
}

bool matchFrom(const std::vector<char32_t>& p, size_t pi, const std::vector<char32_t>& v,
               size_t vi) {
    // Iterative wildcard match with a single backtrack point for '%'.
    size_t starP = std::string::npos, starV = 0;
    while (vi < v.size()) {
        if (pi < p.size() && (p[pi] == AnyOne || p[pi] == v[vi])) {
            ++pi;
            ++vi;
        } else if (pi < p.size() && p[pi] == AnyRun) {
            starP = pi++;
            starV = vi;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            vi = ++starV;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == AnyRun)
        ++pi;
    return pi == p.size();
}

constexpr unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

enum class AsciiMatch { Found, NotFound, NotAscii };

// The folded ASCII needle in the UTF-8 bytes, compared byte by byte: an ASCII byte is always a
// character of its own, so a hit here is a hit of the folded texts too. A miss says nothing
// about a value with other characters (some of them fold to ASCII letters).
AsciiMatch asciiContainsFolded(const unsigned char* text, int size, const QByteArray& needle) {
    const int n = int(needle.size());
    if (n == 0)
        return AsciiMatch::Found;
    const auto* pattern = reinterpret_cast<const unsigned char*>(needle.constData());
    const unsigned char first = pattern[0];
    // Both cases of the first character, found by the C library's fast span search (the value
    // ends at a NUL; one inside it only stops the span early).
    const char firsts[3] = {char(first), char(first >= 'a' && first <= 'z' ? first - 32 : 0), 0};
    const auto* start = reinterpret_cast<const char*>(text);
    for (int i = 0; i + n <= size; ++i) {
        if (first != 0)
            i += int(std::strcspn(start + i, firsts));
        if (i + n > size)
            break;
        if (asciiLower(text[i]) != first)
            continue;
        int j = 1;
        while (j < n && asciiLower(text[i + j]) == pattern[j])
            ++j;
        if (j == n)
            return AsciiMatch::Found;
    }
    unsigned char seen = 0;
    for (int i = 0; i < size; ++i)
        seen |= text[i];
    return seen < 0x80 ? AsciiMatch::NotFound : AsciiMatch::NotAscii;
}

bool matches(const FoldedPattern& p, const unsigned char* text, int size) {
    if (p.simpleContains) {
        // Only a value with other characters (some fold to ASCII letters) needs folding.
        if (!p.asciiLiteral.isNull()) {
            const AsciiMatch ascii = asciiContainsFolded(text, size, p.asciiLiteral);
            if (ascii != AsciiMatch::NotAscii)
                return ascii == AsciiMatch::Found;
        }
        const QString value =
            QString::fromUtf8(reinterpret_cast<const char*>(text), size).toCaseFolded();
        return value.contains(p.literal);
    }
    return matchFrom(p.chars, 0,
                     foldedChars(QString::fromUtf8(reinterpret_cast<const char*>(text), size)), 0);
}

// The pattern of the last call on this thread, by its text: the statements of the searches
// hand one pattern to a like per column, and this look-up is cheaper than the engine's
// per-call-site cache.
struct LastPattern {
    bool prepared = false;
    std::string text;
    std::optional<std::string> escape;
    FoldedPattern pattern;
};

const FoldedPattern* patternFor(sqlite3_context* context, std::string_view text,
                                std::optional<std::string_view> escape) {
    thread_local LastPattern last;
    if (last.prepared && text == last.text && escape == last.escape)
        return &last.pattern;
    const QString escapeText =
        escape ? QString::fromUtf8(escape->data(), qsizetype(escape->size())) : QString();
    if (escape && escapeText.size() != 1) {
        sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
        return nullptr;
    }
    last.pattern = preparePattern(QString::fromUtf8(text.data(), qsizetype(text.size())),
                                  escape ? escapeText.at(0) : QChar());
    last.text = text;
    last.escape = escape ? std::optional<std::string>(*escape) : std::nullopt;
    last.prepared = true;
    return &last.pattern;
}

std::string_view textOf(sqlite3_value* value, const unsigned char* text) {
    return {reinterpret_cast<const char*>(text), size_t(sqlite3_value_bytes(value))};
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    // like(pattern, value [, escape]); the text of NULL is a null pointer
    const unsigned char* pattern = sqlite3_value_text(argv[0]);
    const unsigned char* value = sqlite3_value_text(argv[1]);
    const unsigned char* escape = argc == 3 ? sqlite3_value_text(argv[2]) : nullptr;
    if (!pattern || !value || (argc == 3 && !escape)) {
        sqlite3_result_null(context);
        return;
    }
    const FoldedPattern* prepared =
        patternFor(context, textOf(argv[0], pattern),
                   escape ? std::optional(textOf(argv[2], escape)) : std::nullopt);
    if (prepared)
        sqlite3_result_int(context, matches(*prepared, value, sqlite3_value_bytes(argv[1])));
}

} // namespace

bool likeMatch(const QString& pattern, const QString& value, QChar escape) {
    const FoldedPattern p = preparePattern(pattern, escape);
    const QByteArray text = value.toUtf8();
    return matches(p, reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()));
}

QString containsPattern(const QString& text) {
    QString escaped = text;
    escaped.replace(ContainsEscape, QString(2, ContainsEscape));
    escaped.replace(QLatin1Char('%'), QString(ContainsEscape) + QLatin1Char('%'));
    escaped.replace(QLatin1Char('_'), QString(ContainsEscape) + QLatin1Char('_'));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

void installLike(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
}
