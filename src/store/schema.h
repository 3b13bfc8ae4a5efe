#pragma once

#include <QString>
#include <QStringList>

// Every SQL text of the program that reads or changes the two tables.
namespace Sql {

// A column or table name as the engine reads it: in square brackets, or, when the name itself
// holds "]", in double quotes with inner quotes doubled.
QString quoteName(const QString& name);
// A text value between single quotes, inner quotes doubled.
QString quoteText(const QString& value);

inline const QString SelectFieldControl = QStringLiteral("select * from FieldControl");
inline const QString SelectCustomTable = QStringLiteral("select * from CustomTable");
inline const QString SelectLastRecordId =
    QStringLiteral("select coalesce(max(ID), 0) from CustomTable");
inline const QString CustomTableName = QStringLiteral("CustomTable");
inline const QString CountRecords = QStringLiteral("SELECT count(*) FROM CustomTable");
// The next records after an id, in id order: the id, then how many.
inline const QString SelectRecordsAfterId =
    QStringLiteral("SELECT * FROM CustomTable WHERE ID > ? ORDER BY ID LIMIT ?");
// No record, only the columns' names.
inline const QString SelectNoRecords = QStringLiteral("SELECT * FROM CustomTable LIMIT 0");

QString addFieldColumn(const QString& name);
QString insertFieldRow(const QString& name, const QString& type, const QString& length,
                       const QString& values);
QString updateFieldRow(const QString& name, const QString& type, const QString& length,
                       const QString& values);
// Appends one record with values for these columns, bound in their order.
QString insertRecord(const QStringList& columns);
// Stores the words Yes/True and No/False (capitals ignored) of a column as the check box
// stores them, 1 and 0, in the records whose id is above the one bound.
QString yesNoWordsAsNumbers(const QString& column);
QString dropFieldColumn(const QString& name);
QString deleteFieldRow(const QString& name);

// The ids of the records, in id order, whose given columns contain the text, as typed,
// ignoring case; the text's wildcard characters and quotes are matched literally. Only ids
// between the parameters ?1 and ?2 are looked at.
QString searchCustomTable(const QStringList& columns, const QString& text);
// The same among the records the search index gives for the full-text query ?1.
QString searchIndexCandidates(const QStringList& columns, const QString& text);
// Each on its own, so that each is one look at the end of the table rather than a scan.
inline const QString CustomTableIdRange =
    QStringLiteral("SELECT (SELECT min(ID) FROM CustomTable), (SELECT max(ID) FROM CustomTable)");
// The record columns, the id first.
inline const QString CustomTableColumns =
    QStringLiteral("SELECT name FROM pragma_table_info('CustomTable') ORDER BY cid");

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
