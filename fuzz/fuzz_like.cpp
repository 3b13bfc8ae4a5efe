// The engine's like as the searches use it, against a plain matcher over case-folded
// characters: '%' any run, '_' any one character, the escape making the next one literal. And
// the search index against the scan: a record holding the value is found by both or neither.
#include "fuzzinput.h"
#include "store/sqlitesearch.h"
#include "store/textmatch.h"

#include <QList>
#include <initializer_list>
#include <sqlite3.h>
#include <utility>
#include <vector>

namespace {
// Folding never makes or takes away '%', '_' or the escape, so the pattern is folded whole.
bool reference(const QString& pattern, const QString& value, QChar escape) {
    const QList<uint> p = pattern.toCaseFolded().toUcs4(), v = value.toCaseFolded().toUcs4();
    // matches[j]: the pattern so far matches the first j characters of the value.
    std::vector<char> matches(v.size() + 1, 0), next = matches;
    matches[0] = 1;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const bool escaped = !escape.isNull() && p[i] == escape.unicode();
        if (escaped && ++i == p.size())
            break; // a trailing escape stands for nothing
        const bool anyRun = !escaped && p[i] == '%', anyOne = !escaped && p[i] == '_';
        for (qsizetype j = 0; j <= v.size(); ++j)
            next[j] = anyRun ? matches[j] || (j > 0 && next[j - 1])
                             : j > 0 && matches[j - 1] && (anyOne || p[i] == v[j - 1]);
        matches.swap(next);
    }
    return matches[v.size()];
}

const QStringList Columns{QStringLiteral("A"), QStringLiteral("B")};

// The rows a statement gives on a records table with the search index and its triggers, in
// memory; its parameters bound as texts (a null one as NULL).
long rowsOf(const QString& sql, const QStringList& values) {
    static sqlite3* const db = [] {
        sqlite3* made = nullptr;
        sqlite3_open(":memory:", &made);
        installLike(made);
        const QString schema = "CREATE TABLE CustomTable (ID INTEGER PRIMARY KEY, A, B);" +
                               SqliteSearch::indexStatements(Columns).join(';');
        FUZZ_CHECK(!sqlite3_exec(made, schema.toUtf8().constData(), nullptr, nullptr, nullptr));
        return made;
    }();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    for (int i = 0; i < values.size(); ++i)
        if (!values[i].isNull()) // left unbound: NULL
            sqlite3_bind_text(stmt, i + 1, values[i].toUtf8().constData(), -1, SQLITE_TRANSIENT);
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
    const QString text = textOf(data + 1, size - 1), separator = QChar(0x1f);
    const QString pattern = text.section(separator, 0, 0), value = text.section(separator, 1);
    // The pattern itself, and the searches' own form: the text as typed, anywhere in the value.
    for (const auto& [like, escape] : std::initializer_list<std::pair<QString, QChar>>{
             {pattern, data[0] & 1 ? QChar(u'\\') : QChar()},
             {containsPattern(pattern), ContainsEscape}})
        FUZZ_CHECK(likeMatch(like, value, escape) == reference(like, value, escape));
    // One record, its value split over two fields, written over the last one.
    const qsizetype half = data[0] & 2 ? value.size() / 2 : value.size();
    rowsOf(QStringLiteral("DELETE FROM CustomTable"), {});
    rowsOf(QStringLiteral("INSERT INTO CustomTable (A, B) VALUES (?, ?)"),
           {value.left(half), half < value.size() ? value.mid(half) : QString()});
    // Without a query for the index the scan answers; a NUL ends the statement's text.
    const QString query = SqliteSearch::candidatesQuery(pattern);
    FUZZ_CHECK(
        query.isEmpty() || pattern.contains(QChar(0)) || value.contains(QChar(0)) ||
        rowsOf(SqliteSearch::candidatesStatement(Columns, pattern), {query}) ==
            rowsOf(SqliteSearch::scanStatement(Columns, pattern), {"0", "9223372036854775807"}));
    return 0;
}
