#pragma once

#include "import/tablesource.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

class Connection;
struct FieldDefinition;

// The fields a source table becomes, named by the field editor's rules: a name that is a bare
// number gets "_", and a name already used by a field (capitals ignored) is either refused or
// given a free suffix, as the user chooses.
struct ImportPlan {
    std::vector<QString> fieldNames; // one per source column, clashes already renamed
    QStringList clashes;             // the source names that clash with a field there
    QStringList renamed;             // the names they get instead, in the same order
};

// How many more fields the store has room for, and the most it holds.
struct FieldRoom {
    qsizetype left = 0;
    qsizetype most = 0;
};
FieldRoom fieldRoom(Connection& connection);
// Raises the refusal of a table with more columns than there is room for.
void checkFieldRoom(const FieldRoom& room, const QString& label, qsizetype columns);

// Checks the source's header against the fields of the data file; raises a run-time error
// that says what is wrong (an empty or repeated name, a name no field can hold, more columns
// than a data file holds).
ImportPlan planImport(Connection& connection, const TableSource& source);

// Adds a field per column and appends the source's rows, all in one transaction: an error,
// bad input found on the way or Cancel (the flag, with Connection::interrupt) leaves the data
// file exactly as it was. A column whose values hold line breaks becomes a multi-line field,
// one of Yes/No values a check box, any other a text field. Returns the records appended.
long importTable(Connection& connection, TableSource& source, const ImportPlan& plan,
                 const std::atomic<bool>& cancelled);

// Brings a data file kept by an earlier version as an Access database into this one, whose
// fields must be none yet: the field definitions as they are and the records with their ids.
long importFieldsAndRecords(Connection& connection, DatabaseSource& source,
                            const std::atomic<bool>& cancelled);

// Whether the source holds the two tables of a data file (names compared ignoring case).
bool holdsDataFileTables(const DatabaseSource& source);
