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
// The ids of the records passing every test (a condition with its own parameters, bound in
// order), ordered by the terms and then by id.
QString selectTableIds(const QStringList& tests, const QStringList& orderTerms);
// The same, the first so many only (bound to the last "?").
QString selectFirstTableIds(const QStringList& tests, const QStringList& orderTerms);
// A column's value is missing or the empty text.
QString isEmptyValue(const QString& column);
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
// Appends records (one unless told) with values for these columns, bound in their order one
// record after the other.
QString insertRecord(const QStringList& columns, int records = 1);
// Rows of a table (its name as the statement spells it) with values for these columns, bound
// one row after the other.
QString insertRows(const QString& table, const QStringList& columns, int rows);
// The record window's reads and writes, one record by its id.
inline const QString SelectRecordIds =
    QStringLiteral("SELECT \"ID\" FROM \"CustomTable\" ORDER BY \"ID\"");
inline const QString SelectRecordById =
    QStringLiteral("SELECT * FROM \"CustomTable\" WHERE \"ID\" = ?");
inline const QString InsertEmptyRecord =
    QStringLiteral("INSERT INTO \"CustomTable\" DEFAULT VALUES");
// The records whose ids are bound, as many as given (a mark left unbound is Null: no record).
QString deleteRecordsById(int ids);
QString selectRecordIdsAmong(int ids);
inline const QString CountRecordsWithId =
    QStringLiteral("SELECT count(*) FROM \"CustomTable\" WHERE \"ID\" = ?");

// The bin of deleted records: one row per record deleted, under a key of its own (an id may go
// there twice), with the record's id, the time it was deleted and its values by field name.
inline const QString BinTableName = QStringLiteral("DeletedRecords");
// So many entries, of each the id, the time and the values bound in this order; gives each
// entry's key and id.
QString insertIntoBin(int rows);
// The entries whose keys are bound, as many as given (one left unbound is Null: no entry),
// which leave the bin; gives each one's id, values and key.
QString takeFromBin(int keys);
inline const QString CountBin = QStringLiteral("SELECT count(*) FROM \"DeletedRecords\"");
inline const QString EmptyBin = QStringLiteral("DELETE FROM \"DeletedRecords\"");
// Newest first: the key, the id, the time as the engine gives it as text, the values; of the
// entries below the key bound first, how many bound second.
QString selectBinEntries(const QString& timeAsText);
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

// Each on its own, so that each is one look at the end of the table rather than a scan.
inline const QString CustomTableIdRange =
    QStringLiteral("SELECT (SELECT min(\"ID\") FROM \"CustomTable\"), (SELECT max(\"ID\") FROM "
                   "\"CustomTable\")");

} // namespace Sql

// The value list of a field: the items joined by ",", the selected one in square brackets.
QString encodeValues(const QStringList& items, int selected);
// Split at every ","; the pieces unchanged. The empty text gives no items.
QStringList decodeValues(const QString& text);
