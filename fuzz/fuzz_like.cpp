// The engine's like as the searches use it, against a plain matcher over case-folded
// characters: '%' any run, '_' any one character, the escape making the next one literal.
#include "fuzzinput.h"
#include "store/textmatch.h"

#include <QList>
#include <vector>

namespace {
constexpr char32_t AnyRun = 0xFFFFFFFF;
constexpr char32_t AnyOne = 0xFFFFFFFE;

std::vector<char32_t> folded(uint c) {
    const QList<uint> f =
        QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1).toCaseFolded().toUcs4();
    return {f.begin(), f.end()};
}

bool reference(const QString& pattern, const QString& value, QChar escape) {
    std::vector<char32_t> p;
    bool escaped = false;
    for (uint c : pattern.toUcs4()) {
        if (!escaped && !escape.isNull() && c == escape.unicode()) {
            escaped = true;
            continue;
        }
        if (!escaped && (c == '%' || c == '_')) {
            p.push_back(c == '%' ? AnyRun : AnyOne);
        } else {
            for (char32_t f : folded(c))
                p.push_back(f);
        }
        escaped = false;
    }
    const QList<uint> vf = value.toCaseFolded().toUcs4();
    const std::vector<char32_t> v(vf.begin(), vf.end());
    // matches[j]: the pattern so far matches the first j characters of the value.
    std::vector<char> matches(v.size() + 1, 0);
    matches[0] = 1;
    for (char32_t pc : p) {
        std::vector<char> next(v.size() + 1, 0);
        for (size_t j = 0; j <= v.size(); ++j) {
            if (pc == AnyRun)
                next[j] = matches[j] || (j > 0 && next[j - 1]);
            else if (j > 0)
                next[j] = matches[j - 1] && (pc == AnyOne || pc == v[j - 1]);
        }
        matches.swap(next);
    }
    return matches[v.size()];
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 400)
        return 0;
    const QString text = textOf(data + 1, size - 1);
    const qsizetype split = text.indexOf(QChar(0x1f));
    if (split < 0)
        return 0;
    const QString pattern = text.left(split), value = text.mid(split + 1);
    const QChar escape = data[0] & 1 ? QChar(u'\\') : QChar();
    FUZZ_CHECK(likeMatch(pattern, value, escape) == reference(pattern, value, escape));
    // The searches' own form: the text as typed, anywhere in the value.
    QString literal = pattern;
    literal.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    literal.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    literal.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    FUZZ_CHECK(likeMatch(QLatin1Char('%') + literal + QLatin1Char('%'), value, QChar(u'\\')) ==
               reference(QLatin1Char('%') + literal + QLatin1Char('%'), value, QChar(u'\\')));
    return 0;
}
