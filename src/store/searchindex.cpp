#include "store/searchindex.h"

#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QList>
#include <exception>
#include <thread>
#include <unordered_map>

namespace {

// A long text needs only a few of its trigrams to narrow the search well.
constexpr int MaxTrigrams = 8;
// Case variants of one trigram, beyond which it narrows too little to be worth its terms.
constexpr size_t MaxVariants = 64;

// The characters folding to each folded character other than itself ('K' and the Kelvin
// sign to 'k'), as the scan's folding sees them.
const std::unordered_map<char32_t, std::vector<char32_t>>& unfoldings() {
    static const auto table = [] {
        std::unordered_map<char32_t, std::vector<char32_t>> result;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const char32_t folded = QChar::toCaseFolded(c);
            if (folded != c)
                result[folded].push_back(c);
        }
        return result;
    }();
    return table;
}

std::vector<char32_t> spellings(char32_t folded) {
    std::vector<char32_t> all{folded};
    const auto& table = unfoldings();
    if (const auto found = table.find(folded); found != table.end())
        all.insert(all.end(), found->second.begin(), found->second.end());
    return all;
}

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
        for (char32_t c : spellings(folded[i]))
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

void executeAll(Connection& connection, const QStringList& statements) {
    for (const QString& sql : statements)
        connection.Execute(sql);
}

// What a server offers the search, read in one statement.
struct ServerSearch {
    bool trigrams = false;
    bool document = false;
    bool mayCreate = false;
    qint64 records = 0;
    QString schema;
    qint64 columnIndexes = 0;
};

ServerSearch readServerSearch(Connection& connection) {
    Statement read(connection, Sql::ServerSearchState);
    ServerSearch state;
    if (read.step()) {
        state.trigrams = read.columnInt64(0);
        state.document = read.columnInt64(1);
        state.mayCreate = read.columnInt64(2);
        state.records = read.columnInt64(3);
        state.schema = read.column(4).toString();
        state.columnIndexes = read.columnInt64(5);
    }
    return state;
}

QStringList serverSearchIndexes(Connection& connection) {
    Statement read(connection, Sql::ServerSearchIndexes);
    QStringList indexes;
    while (read.step())
        indexes << read.column(0).toString();
    return indexes;
}

// The field columns whose pg_trgm index the server does not have.
QStringList serverColumnsWithoutIndex(Connection& connection) {
    const QStringList indexes = serverSearchIndexes(connection);
    QStringList missing;
    for (const QString& column : recordColumns(connection))
        if (!indexes.contains(Sql::serverSearchIndexName(column)))
            missing << column;
    return missing;
}

// The search document, where this role may make it, with no field column's index of an older
// version left to slow the writes down. A role that may not (it may not create in the schema,
// or does not own the records table) uses what is there: the document, else the field columns'
// indexes if every column has one. Without pg_trgm, which whoever keeps the server installs,
// the search reads every record.
bool serverReady(Connection& connection, const ServerSearch& state) {
    if (!state.trigrams)
        return false;
    if (state.mayCreate)
        return state.document && state.columnIndexes == 0;
    return state.document || serverColumnsWithoutIndex(connection).isEmpty();
}

void buildOnServer(Connection& connection) {
    const ServerSearch state = readServerSearch(connection);
    if (state.trigrams && state.mayCreate && !state.document)
        executeAll(connection, Sql::makeServerSearchDocument(state.schema));
}

QString columnsKey(const QStringList& columns) {
    return columns.join(QChar(0x1f));
}

void makeTriggers(Connection& connection) {
    const QStringList columns = recordColumns(connection);
    executeAll(connection, Sql::createSearchIndexTriggers(columns));
    connection.Execute(Sql::WriteSearchIndexState, {columnsKey(columns)});
}

bool hasIndex(Connection& connection) {
    Statement read(connection, Sql::HasSearchIndexState);
    return read.step() && read.columnInt64(0) > 0;
}

} // namespace

QString SearchIndex::candidatesQuery(const QString& text) {
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

// Each character stands for every character that folds as it does, and nothing in it is a
// wildcard: the server's regular expression finds the text where the scan's like finds it.
QString SearchIndex::serverPattern(const QString& text) {
    QString pattern;
    for (uint c : text.toCaseFolded().toUcs4()) {
        pattern += QLatin1Char('[');
        for (char32_t spelling : spellings(c))
            pattern += spelling > 0xFFFF
                           ? QStringLiteral("\\U%1").arg(uint(spelling), 8, 16, QLatin1Char('0'))
                           : QStringLiteral("\\u%1").arg(uint(spelling), 4, 16, QLatin1Char('0'));
        pattern += QLatin1Char(']');
    }
    return pattern;
}

// Looking up a candidate costs a few times what reading a record does, and when a text is in
// most records, the documents read before the limit is reached are time lost: a tenth of the
// records keeps the look-ups well under the time of reading every record, and the loss small.
// At least a hundred, as the estimate of the records may be out of date.
qint64 SearchIndex::serverCandidateLimit(qint64 records) {
    return std::max<qint64>(records / 10, 100);
}

bool SearchIndex::isReady(Connection& connection) {
    if (connection.isServer())
        return serverReady(connection, readServerSearch(connection));
    if (!hasIndex(connection))
        return false;
    Statement read(connection, Sql::ReadSearchIndexState);
    return read.step() && read.columnInt64(1) == 1 &&
           read.column(0).toString() == columnsKey(recordColumns(connection));
}

void SearchIndex::build(Connection& connection) {
    {
        Transaction transaction(connection);
        buildWithinTransaction(connection);
        transaction.commit();
    }
    // Once the document is there, the field columns' indexes of an older version go, each on
    // its own outside a transaction, as the server drops an index without holding anyone up.
    if (connection.isServer()) {
        const ServerSearch state = readServerSearch(connection);
        if (state.document && state.mayCreate && state.columnIndexes > 0)
            for (const QString& index : serverSearchIndexes(connection))
                connection.Execute(Sql::dropServerSearchIndex(index));
    }
}

void SearchIndex::buildWithinTransaction(Connection& connection) {
    if (connection.isServer()) {
        buildOnServer(connection);
        return;
    }
    executeAll(connection, Sql::dropSearchIndex());
    connection.Execute(Sql::createSearchIndex());
    connection.Execute(Sql::fillSearchIndex(recordColumns(connection)));
    connection.Execute(Sql::CreateSearchIndexState);
    makeTriggers(connection);
}

bool SearchIndex::beforeColumnChange(Connection& connection) {
    // A server drops a column's index with the column, and the trigger of its document takes any
    // column: nothing to do there.
    if (connection.isServer())
        return false;
    const bool ready = isReady(connection);
    executeAll(connection, Sql::dropSearchIndexTriggers());
    return ready;
}

void SearchIndex::afterColumnChange(Connection& connection, bool wasReady) {
    if (connection.isServer())
        return;
    if (wasReady)
        makeTriggers(connection);
    else if (hasIndex(connection))
        executeAll(connection, Sql::dropSearchIndex());
}

RecordSearch::RecordSearch(const QString& connectionString, const QStringList& columns,
                           const QString& text)
    : m_connectionString(connectionString), m_columns(columns), m_text(text) {}

void RecordSearch::openForReading(Connection& connection) {
    connection.setMode(adModeRead);
    connection.Open(m_connectionString);
    connection.engine().stopWhen(&m_interrupted);
}

// The server's regular expression is the scan's like. Through the search document when it is
// there and the text long enough, else in one statement whose planner uses the columns' indexes
// where they are.
std::vector<qint64> RecordSearch::searchServer(Connection& connection, qint64 candidates) {
    // No value on a server holds a NUL, and there is nothing to look in without columns.
    if (m_columns.isEmpty() || m_text.contains(QChar(0)))
        return {};
    const QString pattern = SearchIndex::serverPattern(m_text);
    std::vector<qint64> ids;
    if (candidates > 0) {
        Statement read(connection, Sql::searchServerDocuments(m_columns));
        read.bind(1, pattern);
        read.bind(2, candidates);
        bool tooMany = false; // then reading every record is quicker
        while (read.step())
            if (read.isNull(0))
                tooMany = true;
            else
                ids.push_back(read.columnInt64(0));
        if (!tooMany)
            return ids;
    }
    Statement read(connection, Sql::searchServer(m_columns));
    read.bind(1, pattern);
    while (read.step())
        ids.push_back(read.columnInt64(0));
    return ids;
}

std::vector<qint64> RecordSearch::run() {
    const QString query = SearchIndex::candidatesQuery(m_text);
    Connection connection;
    openForReading(connection);
    if (connection.isServer()) {
        const ServerSearch state = readServerSearch(connection);
        m_usedIndex = !query.isEmpty() && serverReady(connection, state);
        const bool throughDocument = m_usedIndex && state.document;
        return searchServer(connection,
                            throughDocument ? SearchIndex::serverCandidateLimit(state.records) : 0);
    }
    if (query.isEmpty())
        return scan();
    if (!SearchIndex::isReady(connection))
        return scan();
    m_usedIndex = true;
    Statement read(connection, Sql::searchIndexCandidates(m_columns, m_text));
    read.bind(1, query);
    std::vector<qint64> ids;
    while (read.step())
        ids.push_back(read.columnInt64(0));
    return ids;
}

std::vector<qint64> RecordSearch::idsBetween(Connection& connection, qint64 first, qint64 last) {
    Statement read(connection, Sql::searchCustomTable(m_columns, m_text));
    read.bind(1, first);
    read.bind(2, last);
    std::vector<qint64> ids;
    while (read.step())
        ids.push_back(read.columnInt64(0));
    return ids;
}

// Each half of the id range on its own connection. Both read the same state of the file: the
// first holds its read lock from before the second takes its own, so no write can come between.
std::vector<qint64> RecordSearch::scan() {
    m_usedIndex = false;
    Connection lower, upper;
    openForReading(lower);
    if (lower.isServer())
        return searchServer(lower, 0);
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
    openForReading(upper);
    upper.Execute(QStringLiteral("BEGIN"));
    upper.Execute(Sql::CustomTableIdRange);
    std::vector<qint64> upperIds;
    std::exception_ptr upperFailure;
    std::thread second([&] {
        try {
            upperIds = idsBetween(upper, middle + 1, last);
        } catch (...) {
            upperFailure = std::current_exception();
        }
    });
    std::vector<qint64> ids;
    try {
        ids = idsBetween(lower, first, middle);
    } catch (...) {
        m_interrupted = true; // the other half is of no use now
        second.join();
        throw;
    }
    second.join();
    if (upperFailure)
        std::rethrow_exception(upperFailure);
    ids.insert(ids.end(), upperIds.begin(), upperIds.end());
    return ids;
}
