#include "store/textmatch.h"

#include <QList>
#include <sqlite3.h>
#include <string>
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

// The folded ASCII needle in the UTF-8 bytes, compared byte by byte: an ASCII byte is always a
// character of its own, so a hit here is a hit of the folded texts too.
bool asciiContainsFolded(const unsigned char* text, int size, const QByteArray& needle) {
    const int n = int(needle.size());
    if (n == 0)
        return true;
    const auto* pattern = reinterpret_cast<const unsigned char*>(needle.constData());
    const unsigned char first = pattern[0];
    for (int i = 0, last = size - n; i <= last; ++i) {
        if (asciiLower(text[i]) != first)
            continue;
        int j = 1;
        while (j < n && asciiLower(text[i + j]) == pattern[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}

bool isAscii(const unsigned char* text, int size) {
    for (int i = 0; i < size; ++i)
        if (text[i] >= 0x80)
            return false;
    return true;
}

bool matches(const FoldedPattern& p, const unsigned char* text, int size) {
    if (p.simpleContains) {
        // Only a value with other characters (some fold to ASCII letters) needs folding.
        if (!p.asciiLiteral.isNull()) {
            if (asciiContainsFolded(text, size, p.asciiLiteral))
                return true;
            if (isAscii(text, size))
                return false;
        }
        const QString value =
            QString::fromUtf8(reinterpret_cast<const char*>(text), size).toCaseFolded();
        return value.contains(p.literal);
    }
    return matchFrom(p.chars, 0,
                     foldedChars(QString::fromUtf8(reinterpret_cast<const char*>(text), size)), 0);
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    // like(pattern, value [, escape])
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
        (argc == 3 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
        sqlite3_result_null(context);
        return;
    }
    auto* pattern = static_cast<FoldedPattern*>(sqlite3_get_auxdata(context, 0));
    if (!pattern) {
        QChar escape;
        if (argc == 3) {
            const QString e =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])),
                                  sqlite3_value_bytes(argv[2]));
            if (e.size() != 1) {
                sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
                return;
            }
            escape = e.at(0);
        }
        const QString text =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                              sqlite3_value_bytes(argv[0]));
        pattern = new FoldedPattern(preparePattern(text, escape));
        sqlite3_set_auxdata(context, 0, pattern,
                            [](void* p) { delete static_cast<FoldedPattern*>(p); });
        // The engine may drop the aux data at once; read it back rather than keep the pointer.
        pattern = static_cast<FoldedPattern*>(sqlite3_get_auxdata(context, 0));
        if (!pattern) {
            const FoldedPattern once = preparePattern(text, escape);
            const unsigned char* value = sqlite3_value_text(argv[1]);
            sqlite3_result_int(context, matches(once, value, sqlite3_value_bytes(argv[1])));
            return;
        }
    }
    const unsigned char* value = sqlite3_value_text(argv[1]);
    sqlite3_result_int(context, matches(*pattern, value, sqlite3_value_bytes(argv[1])));
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
