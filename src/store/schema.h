#pragma once

#include <QString>
#include <QStringList>

// Every SQL text of the program that reads or changes the two tables.
namespace Sql {

// A column or table name as every engine reads it: in double quotes, inner quotes doubled.
QString quoteName(const QString& name);
// A text value between single quotes, inner quotes doubled.
QString quoteText(const QString& value);

inline const QString SelectLastRecordId =
    QStringLiteral("select coalesce(max(\"ID\"), 0) from \"CustomTable\"");
inline const QString CustomTableName = QStringLiteral("CustomTable");
inline const QString CountRecords = QStringLiteral("SELECT count(*) FROM \"CustomTable\"");
// The id and the given columns (a value may stand for a missing one) of the first records in
// id order, how many bound first; with afterId, of those after the id bound first.
QString selectRecordBatch(const QStringList& columnsOrValues, bool afterId);
// No record, only the columns' names.
inline const QString SelectNoRecords = QStringLiteral("SELECT * FROM \"CustomTable\" LIMIT 0");

QString addFieldColumn(const QString& name);
// A field's row: its name, type, length and values bound in this order.
inline const QString InsertFieldRow =
    QStringLiteral("insert into \"FieldControl\" (\"fieldname\", \"FieldType\", \"FieldLength\", "
                   "\"FieldValues\") values (?, ?, ?, ?)");
// The type, length and values, then the name of the field whose row they replace.
inline const QString UpdateFieldRow =
    QStringLiteral("update \"FieldControl\" set \"FieldType\" = ?, \"FieldLength\" = ?, "
                   "\"FieldValues\" = ? where \"fieldname\" = ?");
// The name of the field whose row goes.
inline const QString DeleteFieldRow =
    QStringLiteral("delete from \"FieldControl\" where \"fieldname\" = ?");
// Appends one record with values for these columns, bound in their order.
QString insertRecord(const QStringList& columns);
// The same for several records at once, their values one record after the other.
QString insertRecords(const QStringList& columns, int records);
// The record window's reads and writes, one record by its id.
inline const QString SelectRecordIds =
    QStringLiteral("SELECT \"ID\" FROM \"CustomTable\" ORDER BY \"ID\"");
inline const QString SelectRecordById =
    QStringLiteral("SELECT * FROM \"CustomTable\" WHERE \"ID\" = ?");
inline const QString InsertEmptyRecord =
    QStringLiteral("INSERT INTO \"CustomTable\" DEFAULT VALUES");
inline const QString DeleteRecordById =
    QStringLiteral("DELETE FROM \"CustomTable\" WHERE \"ID\" = ?");
// Sets these columns of one record only while they still hold the values read: the new values,
// the id, then the values read are bound, in this order.
QString updateRecordIfUnchanged(const QStringList& columns);
// The field rows as they are stored, in the order of the field list, which the engine's
// order column or expression gives.
QString selectFieldRows(const QString& order);
// Stores the words Yes/True and No/False (capitals ignored) of a column as the check box
// stores them, 1 and 0, in the records whose id is above the one bound.
QString yesNoWordsAsNumbers(const QString& column);
QString dropFieldColumn(const QString& name);
// Writes each record's id, as text, into the column.
QString copyIdsInto(const QString& column);

// The ids of the records, in id order, whose given columns contain the text, as typed,
// ignoring case; the text's wildcard characters and quotes are matched literally. Only ids
// between the parameters ?1 and ?2 are looked at.
QString searchCustomTable(const QStringList& columns, const QString& text);
// The same among the records the search index gives for the full-text query ?1.
QString searchIndexCandidates(const QStringList& columns, const QString& text);
// Each on its own, so that each is one look at the end of the table rather than a scan.
inline const QString CustomTableIdRange =
    QStringLiteral("SELECT (SELECT min(\"ID\") FROM \"CustomTable\"), (SELECT max(\"ID\") FROM "
                   "\"CustomTable\")");

// The server's search: the ids, in id order, of the records where one of the columns matches
// the regular expression ?1.
QString searchServer(const QStringList& columns);
// The same among the records whose search document matches it, when there are fewer than ?2
// of those; else one row, Null, after the ids: the caller searches as above instead.
QString searchServerDocuments(const QStringList& columns);
// The server's search document: one row per record holding all its values, kept by a trigger
// whoever writes, under one pg_trgm index. These statements make it, or make it again from the
// records, in one transaction; names in the trigger's function are looked up in `schema` alone.
QStringList makeServerSearchDocument(const QString& schema);

// The name of a field column's own pg_trgm index, which older versions made where the document
// is now; a role that may not make the document searches through them.
QString serverSearchIndexName(const QString& column);
QString dropServerSearchIndex(const QString& name);
// The names of the field columns' indexes that are there.
inline const QString ServerSearchIndexes = QStringLiteral(
    "SELECT i.relname FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid WHERE x.indrelid = "
    "to_regclass('\"CustomTable\"') AND i.relname ~ '^search_[0-9a-f]{32}$'");

// Whether pg_trgm is there, the document is there for this role to read, this role may make
// it, about how many records there are, the schema the tables are in, and how many field
// columns have an index of their own.
inline const QString ServerSearchState =
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
    ServerSearchIndexes + QStringLiteral(") AS i)");

// The search index: one document per record holding all its values, kept in step by triggers.
QString createSearchIndex();
// Fills a new index from the records, given the columns after the id.
QString fillSearchIndex(const QStringList& columns);
QStringList createSearchIndexTriggers(const QStringList& columns);
QStringList dropSearchIndexTriggers();
QStringList dropSearchIndex();
inline const QString CreateSearchIndexState =
    QStringLiteral("CREATE TABLE SearchIndexState (columns TEXT NOT NULL)");
inline const QString WriteSearchIndexState =
    QStringLiteral("INSERT OR REPLACE INTO SearchIndexState (rowid, columns) VALUES (1, ?)");
// The columns the triggers were made for, and whether all three triggers are there.
inline const QString ReadSearchIndexState = QStringLiteral(
    "SELECT columns, (SELECT count(*) FROM sqlite_schema WHERE type = 'trigger' AND name IN "
    "('SearchIndexInsert', 'SearchIndexDelete', 'SearchIndexUpdate')) = 3 FROM SearchIndexState");
inline const QString HasSearchIndexState = QStringLiteral(
    "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'SearchIndexState'");

} // namespace Sql

// The value list of a field: the items joined by ",", the selected one in square brackets.
QString encodeValues(const QStringList& items, int selected);
// Split at every ","; the pieces unchanged. The empty text gives no items.
QStringList decodeValues(const QString& text);
