#include "store/sqlitesearch.h"

#include "store/casefolding.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/statement.h"
#include "store/textmatch.h"

#include <QList>
#include <exception>
#include <thread>

namespace {

// A long text needs only a few of its trigrams to narrow the search well.
constexpr int MaxTrigrams = 8;
// Case variants of one trigram, beyond which it narrows too little to be worth its terms.
constexpr size_t MaxVariants = 64;

void appendChar(QString& text, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        text += QChar(QChar::highSurrogate(c));
        text += QChar(QChar::lowSurrogate(c));
    } else
        text += QChar(char16_t(c));
}

QString quotedTerm(QString term) {
    term.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + term + QLatin1Char('"');
}

// Every spelling of a folded trigram that folds to it, as alternatives; empty when too many.
QString trigramTerms(const char32_t* folded) {
    std::vector<QString> variants{QString()};
    for (int i = 0; i < 3; ++i) {
        std::vector<QString> longer;
        for (char32_t c : caseSpellings(folded[i]))
            for (const QString& start : variants) {
                QString next = start;
                appendChar(next, c);
                longer.push_back(next);
            }
        variants.swap(longer);
        if (variants.size() > MaxVariants)
            return QString();
    }
    QStringList terms;
    for (const QString& variant : variants)
        terms << quotedTerm(variant);
    return QLatin1Char('(') + terms.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

QStringList recordColumns(Connection& connection) {
    return readRecordColumns(connection).mid(1); // the id is no value of the user's
}

QString anyColumnContains(const QStringList& columns, const QString& text) {
    const QString pattern = Sql::quoteText(containsPattern(text));
    const QString escape = Sql::quoteText(QString(ContainsEscape));
    QStringList tests;
    for (const QString& column : columns)
        tests << Sql::quoteName(column) + QStringLiteral(" like ") + pattern +
                     QStringLiteral(" escape ") + escape;
    return QLatin1Char('(') + tests.join(QStringLiteral(" or ")) + QLatin1Char(')');
}

} // namespace

QString SqliteSearch::candidatesStatement(const QStringList& columns, const QString& text) {
    return QStringLiteral("SELECT ID FROM CustomTable WHERE ID IN (SELECT rowid FROM "
                          "SearchIndex WHERE SearchIndex MATCH ?1) AND ") +
           anyColumnContains(columns, text) + QStringLiteral(" ORDER BY ID");
}

namespace {

// A record's document: every value behind two unit separators, NULLs left out, so that each
// three-character piece of it comes from one value only. Deleting a document with a field
// less (after the field's column was dropped) then leaves only that field's pieces behind,
// which can only add candidates; a new field, NULL in every record, changes no document.
//
// The engine refuses an expression nested deeper than 1,000, and each || of a chain nests one
// level deeper: the pieces are joined in parenthesised groups (groups of groups when there are
// many), so a document of 2,000 values nests about a hundred deep and reads the same.
QString searchDocument(const QString& row, const QStringList& columns) {
    constexpr qsizetype PiecesPerGroup = 64;
    QStringList pieces;
    for (const QString& column : columns)
        pieces << QStringLiteral("coalesce(char(31, 31) || ") + row + Sql::quoteName(column) +
                      QStringLiteral(", '')");
    pieces << QStringLiteral("char(31, 31)");
    while (pieces.size() > PiecesPerGroup) {
        QStringList groups;
        for (qsizetype i = 0; i < pieces.size(); i += PiecesPerGroup)
            groups << QLatin1Char('(') +
                          pieces.mid(i, PiecesPerGroup).join(QStringLiteral(" || ")) +
                          QLatin1Char(')');
        pieces = groups;
    }
    return pieces.join(QStringLiteral(" || "));
}

QString indexDocument(const QString& row, const QStringList& columns) {
    return QStringLiteral("INSERT INTO SearchIndex (rowid, doc) VALUES (") + row +
           QStringLiteral("ID, ") + searchDocument(row, columns) + QStringLiteral(");");
}

QString unindexDocument(const QString& row, const QStringList& columns) {
    return QStringLiteral("INSERT INTO SearchIndex (SearchIndex, rowid, doc) VALUES ('delete', ") +
           row + QStringLiteral("ID, ") + searchDocument(row, columns) + QStringLiteral(");");
}

const QStringList IndexTriggers = {QStringLiteral("SearchIndexInsert"),
                                   QStringLiteral("SearchIndexDelete"),
                                   QStringLiteral("SearchIndexUpdate")};

// Trigrams of the values as stored (no folding: the query lists the case variants), without
// positions and without a copy of the text: a few bytes per distinct trigram of a record.
const QString CreateIndex =
    QStringLiteral("CREATE VIRTUAL TABLE SearchIndex USING fts5(doc, tokenize = 'trigram "
                   "case_sensitive 1', detail = none, content = '', columnsize = 0)");

// Fills a new index from the records, given the columns after the id.
QString fillIndex(const QStringList& columns) {
    return QStringLiteral("INSERT INTO SearchIndex (rowid, doc) SELECT ID, ") +
           searchDocument(QString(), columns) + QStringLiteral(" FROM CustomTable");
}

QStringList createTriggers(const QStringList& columns) {
    const QString after = QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON CustomTable BEGIN %3 END");
    return {after.arg(IndexTriggers[0], QStringLiteral("INSERT"),
                      indexDocument(QStringLiteral("new."), columns)),
            after.arg(IndexTriggers[1], QStringLiteral("DELETE"),
                      unindexDocument(QStringLiteral("old."), columns)),
            after.arg(IndexTriggers[2], QStringLiteral("UPDATE"),
                      unindexDocument(QStringLiteral("old."), columns) +
                          indexDocument(QStringLiteral("new."), columns))};
}

QStringList dropTriggers() {
    QStringList drops;
    for (const QString& trigger : IndexTriggers)
        drops << QStringLiteral("DROP TRIGGER IF EXISTS ") + trigger;
    return drops;
}

QStringList dropIndex() {
    return dropTriggers() << QStringLiteral("DROP TABLE IF EXISTS SearchIndexState")
                          << QStringLiteral("DROP TABLE IF EXISTS SearchIndex");
}

// The columns the triggers were made for.
const QString CreateIndexState =
    QStringLiteral("CREATE TABLE SearchIndexState (columns TEXT NOT NULL)");
const QString WriteIndexState =
    QStringLiteral("INSERT OR REPLACE INTO SearchIndexState (rowid, columns) VALUES (1, ?)");
// The columns the triggers were made for, and whether all three triggers are there.
const QString ReadIndexState = QStringLiteral(
    "SELECT columns, (SELECT count(*) FROM sqlite_schema WHERE type = 'trigger' AND name IN "
    "('SearchIndexInsert', 'SearchIndexDelete', 'SearchIndexUpdate')) = 3 FROM SearchIndexState");
const QString HasIndexState = QStringLiteral(
    "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'SearchIndexState'");

QString columnsKey(const QStringList& columns) {
    return columns.join(QChar(0x1f));
}

void makeTriggers(Connection& connection) {
    const QStringList columns = recordColumns(connection);
    executeAll(connection, createTriggers(columns));
    connection.Execute(WriteIndexState, {columnsKey(columns)});
}

bool hasIndex(Connection& connection) {
    Statement read(connection, HasIndexState);
    return read.step() && read.columnInt64(0) > 0;
}

std::vector<qint64> idsBetween(Connection& connection, const SearchRequest& request, qint64 first,
                               qint64 last) {
    Statement read(connection, SqliteSearch::scanStatement(request.columns, request.text));
    read.bind(1, first);
    read.bind(2, last);
    return readIds(read);
}

} // namespace

QString SqliteSearch::candidatesQuery(const QString& text) {
    const QList<uint> folded = text.toCaseFolded().toUcs4();
    const qsizetype trigrams = folded.size() - 2;
    if (trigrams < 1)
        return QString();
    // Trigrams spread over the text, its first and last among them.
    const qsizetype count = std::min<qsizetype>(trigrams, MaxTrigrams);
    QStringList groups;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype at = count == 1 ? 0 : i * (trigrams - 1) / (count - 1);
        const char32_t trigram[3] = {folded[at], folded[at + 1], folded[at + 2]};
        // The query text ends at a NUL.
        if (trigram[0] == 0 || trigram[1] == 0 || trigram[2] == 0)
            continue;
        const QString terms = trigramTerms(trigram);
        if (!terms.isEmpty() && !groups.contains(terms))
            groups << terms;
    }
    return groups.join(QStringLiteral(" AND "));
}

QString SqliteSearch::scanStatement(const QStringList& columns, const QString& text) {
    return QStringLiteral("SELECT ID FROM CustomTable WHERE ID BETWEEN ?1 AND ?2 AND ") +
           anyColumnContains(columns, text) + QStringLiteral(" ORDER BY ID");
}

bool SqliteSearch::canNarrow(const QString& text) const {
    return !candidatesQuery(text).isEmpty();
}

bool SqliteSearch::isReady(Connection& connection) {
    if (!hasIndex(connection))
        return false;
    Statement read(connection, ReadIndexState);
    return read.step() && read.columnInt64(1) == 1 &&
           read.column(0).toString() == columnsKey(recordColumns(connection));
}

void SqliteSearch::buildWithinTransaction(Connection& connection) {
    executeAll(connection, dropIndex());
    connection.Execute(CreateIndex);
    connection.Execute(fillIndex(recordColumns(connection)));
    connection.Execute(CreateIndexState);
    makeTriggers(connection);
}

// The triggers name every column: they go before the change and come back after it. An index
// not ready is dropped instead, so that the next search builds it again.
bool SqliteSearch::beforeColumnChange(Connection& connection) {
    const bool ready = isReady(connection);
    executeAll(connection, dropTriggers());
    return ready;
}

void SqliteSearch::afterColumnChange(Connection& connection, bool wasReady) {
    if (wasReady)
        makeTriggers(connection);
    else if (hasIndex(connection))
        executeAll(connection, dropIndex());
}

QStringList SqliteSearch::indexStatements(const QStringList& columns) {
    return QStringList{CreateIndex} + createTriggers(columns);
}

std::vector<qint64> SqliteSearch::find(Connection& connection, const SearchRequest& request,
                                       bool* usedIndex) {
    const QString query = candidatesQuery(request.text);
    if (query.isEmpty() || !isReady(connection))
        return scan(connection, request);
    *usedIndex = true;
    Statement read(connection, candidatesStatement(request.columns, request.text));
    read.bind(1, query);
    return readIds(read);
}

// Each half of the id range on its own connection. Both read the same state of the file: the
// first holds its read lock from before the second takes its own, so no write can come between.
std::vector<qint64> SqliteSearch::scan(Connection& lower, const SearchRequest& request) {
    lower.Execute(QStringLiteral("BEGIN"));
    qint64 first = 0, last = -1;
    {
        Statement range(lower, Sql::CustomTableIdRange);
        if (range.step() && !range.column(0).isNull()) {
            first = range.columnInt64(0);
            last = range.columnInt64(1);
        }
    }
    if (last < first)
        return {};
    const qint64 middle = first + (last - first) / 2;
    Connection upper;
    request.openForReading(upper);
    upper.Execute(QStringLiteral("BEGIN"));
    upper.Execute(Sql::CustomTableIdRange);
    std::vector<qint64> upperIds;
    std::exception_ptr upperFailure;
    std::thread second([&] {
        try {
            upperIds = idsBetween(upper, request, middle + 1, last);
        } catch (...) {
            upperFailure = std::current_exception();
        }
    });
    std::vector<qint64> ids;
    try {
        ids = idsBetween(lower, request, first, middle);
    } catch (...) {
        if (request.interrupted)
            *request.interrupted = true; // the other half is of no use now
        second.join();
        throw;
    }
    second.join();
    if (upperFailure)
        std::rethrow_exception(upperFailure);
    ids.insert(ids.end(), upperIds.begin(), upperIds.end());
    return ids;
}
