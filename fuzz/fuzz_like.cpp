// The engine's like as the searches use it, against a plain matcher over case-folded
// characters: '%' any run, '_' any one character, the escape making the next one literal. And
// the search index against the scan: a record holding the value is found by both or neither.
#include "fuzzinput.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "store/textmatch.h"

#include <QList>
#include <sqlite3.h>
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
const QStringList Columns{QStringLiteral("A"), QStringLiteral("B")};

// A records table with the search index and its triggers, in memory.
sqlite3* indexedTable() {
    static sqlite3* db = [] {
        sqlite3* made = nullptr;
        sqlite3_open(":memory:", &made);
        installLike(made);
        const QStringList schema = QStringList{"CREATE TABLE CustomTable (ID INTEGER PRIMARY KEY, "
                                               "A LONGTEXT, B LONGTEXT)",
                                               Sql::createSearchIndex()} +
                                   Sql::createSearchIndexTriggers(Columns);
        for (const QString& sql : schema)
            sqlite3_exec(made, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        return made;
    }();
    return db;
}

// The rows a statement gives, its parameters bound as texts (a null one as NULL).
long rowsOf(const QString& sql, const QStringList& parameters) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(indexedTable(), sql.toUtf8().constData(), -1, &stmt, nullptr);
    for (int i = 0; i < parameters.size(); ++i)
        sqlite3_bind_text(stmt, i + 1,
                          parameters[i].isNull() ? nullptr : parameters[i].toUtf8().constData(), -1,
                          SQLITE_TRANSIENT);
    long rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        ++rows;
    FUZZ_CHECK(sqlite3_finalize(stmt) == SQLITE_OK);
    return rows;
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
    const QString contains = containsPattern(pattern);
    FUZZ_CHECK(likeMatch(contains, value, ContainsEscape) ==
               reference(contains, value, ContainsEscape));
    const QString query = SearchIndex::candidatesQuery(pattern);
    if (query.isEmpty() || pattern.contains(QChar(0)) || value.contains(QChar(0)))
        return 0; // the scan answers; a NUL ends the statement's text
    // One record, its value split over two fields, written over the last one.
    const qsizetype half = data[0] & 2 ? value.size() / 2 : value.size();
    rowsOf(QStringLiteral("DELETE FROM CustomTable"), {});
    rowsOf(QStringLiteral("INSERT INTO CustomTable (A, B) VALUES (?, ?)"),
           {value.left(half), half < value.size() ? value.mid(half) : QString()});
    FUZZ_CHECK(rowsOf(Sql::searchIndexCandidates(Columns, pattern), {query}) ==
               rowsOf(Sql::searchCustomTable(Columns, pattern), {"0", "9223372036854775807"}));
    return 0;
}
