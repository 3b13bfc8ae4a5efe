#include "store/serversearch.h"

#include "store/casefolding.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QCryptographicHash>
#include <QList>

namespace {

QString anyColumnMatches(const QStringList& columns) {
    QStringList tests;
    for (const QString& column : columns)
        tests << Sql::quoteName(column) + QStringLiteral(" ~ ?1");
    return QLatin1Char('(') + tests.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

// A record's search document: its values but the id, Nulls left out, joined by two unit
// separators, at which pg_trgm ends a word, so that no trigram spans two values. Whatever the
// columns are, so that a field added or deleted changes nothing here; a deleted field's text
// stays in the documents until their records change, which only adds candidates.
QString document(const QString& row) {
    return QStringLiteral("coalesce((SELECT string_agg(value, E'\\x1f\\x1f') FROM "
                          "jsonb_each_text(to_jsonb(%1) - 'ID')), '')")
        .arg(row);
}

// The names of the field columns' own indexes that are there.
const QString ColumnIndexes = QStringLiteral(
    "SELECT i.relname FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid WHERE x.indrelid = "
    "to_regclass('\"CustomTable\"') AND i.relname ~ '^search_[0-9a-f]{32}$'");

const QString DropDocumentTrigger =
    QStringLiteral("DROP TRIGGER IF EXISTS \"SearchDocumentKeep\" ON \"CustomTable\"");
// Writers wait; readers go on.
const QString LockRecords =
    QStringLiteral("LOCK TABLE \"CustomTable\" IN SHARE ROW EXCLUSIVE MODE");

// Without holding up those who read or write the records meanwhile.
QString dropColumnIndex(const QString& name) {
    return QStringLiteral("DROP INDEX CONCURRENTLY IF EXISTS ") + Sql::quoteName(name);
}

// Whether pg_trgm is there, the document is there for this role to read, this role may make
// it, about how many records there are, the schema the tables are in, and how many field
// columns have an index of their own.
const QString ReadState =
    QStringLiteral(
        "SELECT EXISTS (SELECT FROM pg_extension WHERE extname = 'pg_trgm'), "
        "to_regclass('\"SearchDocumentTrigrams\"') IS NOT NULL AND EXISTS (SELECT FROM "
        "pg_trigger WHERE tgrelid = to_regclass('\"CustomTable\"') AND tgname = "
        "'SearchDocumentKeep') AND coalesce(has_table_privilege(to_regclass('\"SearchDocument\"'), "
        "'SELECT'), false), has_schema_privilege(current_schema(), 'CREATE') AND coalesce((SELECT "
        "pg_has_role(relowner, 'USAGE') FROM pg_class WHERE oid = to_regclass('\"CustomTable\"')), "
        "false), (SELECT CASE WHEN relpages > 0 THEN greatest(reltuples, 0) / relpages * "
        "(pg_relation_size(oid) / current_setting('block_size')::float8) ELSE 0 END::bigint FROM "
        "pg_class WHERE oid = to_regclass('\"CustomTable\"')), current_schema(), (SELECT count(*) "
        "FROM (") +
    ColumnIndexes + QStringLiteral(") AS i)");

// What a server offers the search, read in one statement.
struct DocumentState {
    bool trigrams = false;
    bool document = false;
    bool mayCreate = false;
    qint64 records = 0;
    QString schema;
    qint64 columnIndexes = 0;
};

DocumentState readState(Connection& connection) {
    Statement read(connection, ReadState);
    DocumentState state;
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

QStringList columnIndexes(Connection& connection) {
    Statement read(connection, ColumnIndexes);
    QStringList indexes;
    while (read.step())
        indexes << read.column(0).toString();
    return indexes;
}

// Every field column has its own index, as an older version made them.
bool everyColumnIndexed(Connection& connection) {
    const QStringList indexes = columnIndexes(connection);
    const QStringList columns = readRecordColumns(connection).mid(1); // after the id
    for (const QString& column : columns)
        if (!indexes.contains(ServerSearch::columnIndexName(column)))
            return false;
    return true;
}

// This role may make the document, and it is not there.
bool documentWanted(const DocumentState& state) {
    return state.trigrams && state.mayCreate && !state.document;
}

// The search document, where this role may make it, with no field column's index of an older
// version left to slow the writes down. A role that may not (it may not create in the schema,
// or does not own the records table) uses what is there: the document, else the field columns'
// indexes if every column has one. Without pg_trgm, which whoever keeps the server installs,
// the search reads every record.
bool ready(Connection& connection, const DocumentState& state) {
    if (!state.trigrams)
        return false;
    if (state.mayCreate)
        return state.document && state.columnIndexes == 0;
    return state.document || everyColumnIndexed(connection);
}

// The ids through the documents' index, with at most `candidates` of them; false when there
// were more, and reading every record is quicker.
bool findThroughDocuments(Connection& connection, const SearchRequest& request, qint64 candidates,
                          std::vector<qint64>& ids) {
    Statement read(connection, ServerSearch::documentStatement(request.columns));
    read.bind(1, ServerSearch::pattern(request.text));
    read.bind(2, candidates);
    bool tooMany = false;
    while (read.step())
        if (read.isNull(0))
            tooMany = true;
        else
            ids.push_back(read.columnInt64(0));
    return !tooMany;
}

} // namespace

// Each character stands for every character that folds as it does, and nothing in it is a
// wildcard: the server's regular expression finds the text where the scan's like finds it.
QString ServerSearch::pattern(const QString& text) {
    QString pattern;
    for (uint c : text.toCaseFolded().toUcs4()) {
        pattern += QLatin1Char('[');
        for (char32_t spelling : caseSpellings(c))
            pattern += spelling > 0xFFFF
                           ? QStringLiteral("\\U%1").arg(uint(spelling), 8, 16, QLatin1Char('0'))
                           : QStringLiteral("\\u%1").arg(uint(spelling), 4, 16, QLatin1Char('0'));
        pattern += QLatin1Char(']');
    }
    return pattern;
}

QString ServerSearch::scanStatement(const QStringList& columns) {
    return QStringLiteral("SELECT \"ID\" FROM \"CustomTable\" WHERE ") + anyColumnMatches(columns) +
           QStringLiteral(" ORDER BY \"ID\"");
}

// The candidates come from the one index; each is then looked up by its id and its values
// matched as the scan does, which keeps the results exact. Past ?2 candidates, looking each
// up costs more than reading every record, and the caller does that instead.
QString ServerSearch::documentStatement(const QStringList& columns) {
    return QStringLiteral(
               "WITH candidates AS MATERIALIZED (SELECT id FROM \"SearchDocument\" WHERE doc ~ "
               "?1 LIMIT ?2) SELECT \"ID\" FROM \"CustomTable\" WHERE (SELECT count(*) FROM "
               "candidates) < ?2 AND \"ID\" = ANY (ARRAY(SELECT id FROM candidates)) AND ") +
           anyColumnMatches(columns) +
           QStringLiteral(" UNION ALL SELECT NULL WHERE (SELECT count(*) FROM candidates) >= ?2 "
                          "ORDER BY 1");
}

// Looking up a candidate costs a few times what reading a record does, and when a text is in
// most records, the documents read before the limit is reached are time lost: a tenth of the
// records keeps the look-ups well under the time of reading every record, and the loss small.
// At least a hundred, as the estimate of the records may be out of date.
qint64 ServerSearch::candidateLimit(qint64 records) {
    return std::max<qint64>(records / 10, 100);
}

// The lock keeps writers out until the documents and their trigger are there together. The
// trigger's function runs with the rights of its maker, the tables' owner, so that whoever may
// write the records keeps their documents; nobody else may attach it to a table.
QStringList ServerSearch::makeDocument(const QString& schema) {
    return {
        LockRecords,
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"SearchDocument\" (id BIGINT PRIMARY KEY, "
                       "doc TEXT NOT NULL)"),
        QStringLiteral("DROP INDEX IF EXISTS \"SearchDocumentTrigrams\""),
        QStringLiteral("TRUNCATE \"SearchDocument\""),
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION \"SearchDocumentKeep\"() RETURNS trigger LANGUAGE "
            "plpgsql SECURITY DEFINER SET search_path = %1, pg_temp AS $body$ BEGIN IF TG_OP = "
            "'DELETE' OR (TG_OP = 'UPDATE' AND OLD.\"ID\" IS DISTINCT FROM NEW.\"ID\") THEN "
            "DELETE FROM \"SearchDocument\" WHERE id = OLD.\"ID\"; END IF; IF TG_OP <> 'DELETE' "
            "THEN INSERT INTO \"SearchDocument\" (id, doc) VALUES (NEW.\"ID\", %2) ON CONFLICT "
            "(id) DO UPDATE SET doc = EXCLUDED.doc; END IF; RETURN NULL; END $body$")
            .arg(Sql::quoteName(schema), document(QStringLiteral("NEW"))),
        QStringLiteral("REVOKE ALL ON FUNCTION \"SearchDocumentKeep\"() FROM PUBLIC"),
        DropDocumentTrigger,
        QStringLiteral("CREATE TRIGGER \"SearchDocumentKeep\" AFTER INSERT OR UPDATE OR DELETE "
                       "ON \"CustomTable\" FOR EACH ROW EXECUTE FUNCTION "
                       "\"SearchDocumentKeep\"()"),
        // r.* rather than r, which would name a field called r.
        QStringLiteral("INSERT INTO \"SearchDocument\" (id, doc) SELECT r.\"ID\", %1 FROM "
                       "\"CustomTable\" AS r")
            .arg(document(QStringLiteral("r.*"))),
        QStringLiteral("CREATE INDEX \"SearchDocumentTrigrams\" ON \"SearchDocument\" USING "
                       "gin (doc gin_trgm_ops)"),
        // The planner's statistics of the documents, for the first searches already.
        QStringLiteral("ANALYZE \"SearchDocument\""),
    };
}

// Named by a digest of the column's name: any name then gives a short, plain index name.
QString ServerSearch::columnIndexName(const QString& column) {
    return QStringLiteral("search_") +
           QString::fromLatin1(
               QCryptographicHash::hash(column.toUtf8(), QCryptographicHash::Md5).toHex());
}

// A trigram needs three characters; no value on a server holds a NUL.
bool ServerSearch::canNarrow(const QString& text) const {
    return text.toCaseFolded().toUcs4().size() >= 3 && !text.contains(QChar(0));
}

bool ServerSearch::isReady(Connection& connection) {
    return ready(connection, readState(connection));
}

// Another program's first search may be making the document meanwhile: once its lock is had,
// the document may be there, and is not made a second time.
void ServerSearch::beforeCopy(Connection& connection) {
    // Only where this role may make the document again afterwards.
    if (const DocumentState state = readState(connection); state.trigrams && state.mayCreate)
        connection.Execute(DropDocumentTrigger);
}

void ServerSearch::buildWithinTransaction(Connection& connection) {
    if (!documentWanted(readState(connection)))
        return;
    connection.Execute(LockRecords);
    const DocumentState state = readState(connection);
    if (documentWanted(state))
        executeAll(connection, makeDocument(state.schema));
}

// Once the document is there, the field columns' indexes of an older version go, each on its
// own outside a transaction, as the server drops an index without holding anyone up.
void ServerSearch::afterBuild(Connection& connection) {
    const DocumentState state = readState(connection);
    if (state.document && state.mayCreate && state.columnIndexes > 0)
        for (const QString& index : columnIndexes(connection))
            connection.Execute(dropColumnIndex(index));
}

// Through the search document when it is there and the text long enough, else in one statement
// whose planner uses the columns' indexes where they are.
std::vector<qint64> ServerSearch::find(Connection& connection, const SearchRequest& request,
                                       bool* usedIndex) {
    // No value on a server holds a NUL, and there is nothing to look in without columns.
    if (request.columns.isEmpty() || request.text.contains(QChar(0)))
        return {};
    const DocumentState state = readState(connection);
    *usedIndex = canNarrow(request.text) && ready(connection, state);
    std::vector<qint64> ids;
    if (*usedIndex && state.document &&
        findThroughDocuments(connection, request, candidateLimit(state.records), ids))
        return ids;
    return scan(connection, request);
}

// The server's regular expression is the scan's like.
std::vector<qint64> ServerSearch::scan(Connection& connection, const SearchRequest& request) {
    if (request.columns.isEmpty() || request.text.contains(QChar(0)))
        return {};
    Statement read(connection, scanStatement(request.columns));
    read.bind(1, pattern(request.text));
    return readIds(read);
}
