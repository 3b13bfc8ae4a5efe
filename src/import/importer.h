#pragma once

#include "import/tablesource.h"
#include "store/fielddefinition.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

class Connection;

// Where one column of a source table goes.
struct ColumnTarget {
    enum class Kind {
        Field,     // a field already there
        NewField,  // a new field, named as ImportPlan::newNames gives
        RecordIds, // the records' ids (a column named like the id, into a file without records)
        Skip       // nowhere
    };
    Kind kind = Kind::NewField;
    QString field; // Field: the field's name
};

// What a source table becomes. Columns are matched to the fields there by name (capitals and
// surrounding blanks ignored); the others become new fields named by the field editor's rules:
// a name that is a bare number gets "_", a name that a field or the id already has gets a free
// suffix. A column named like the record id gives the records' ids in a data file without
// records.
struct ImportPlan {
    QStringList columns;                 // the source's column names, trimmed
    QStringList newNames;                // per column: the name it gets as a new field
    std::vector<FieldDefinition> fields; // the fields already there
    std::vector<ColumnTarget> targets;   // per column: where it goes
    bool holdsRecords = false;           // the data file held records when planned
    QString howRead;                     // how the source is read (a CSV file's encoding)
    // Per column: a new field of it stays text although its values make it a Number or Date
    // field (a CSV column whose every value is a number, or every value a date, as written in
    // the canonical form or as the user's locale shows it; an Access column of such a kind).
    std::vector<bool> asText;
};

// What reading a table ahead finds, before anything is written: how many records (-1 when the
// reading was stopped), and per column the kind of field a new field of it becomes.
struct TableSurvey {
    long records = -1;
    std::vector<FieldKind> kinds;
};
// Reads the rest of the source as the import reads it, on any thread; stops when stop turns true.
TableSurvey surveyTable(TableSource& source, const std::atomic<bool>& stop);

// What an import did besides appending records.
struct ImportResult {
    long records = 0;
    // A column meant to give the ids became its new field instead: why; empty when none did.
    QString keyBecameField;
    // Per column: values kept although they do not fit their field (an off-list value for a
    // drop-down, one other than 0 and 1 for a check box).
    std::vector<long> misfits;
    // Rows left out because a value going into a field there is not of the field's kind
    // (Number, Currency, Date) or breaks its checks, and the first of them: its place among
    // the source's rows, the column, the value and what is wrong.
    long refusedRows = 0;
    QString firstRefused;
    // The ids the records got, as runs of consecutive ids (first, last), and the fields added:
    // what an undo takes back.
    std::vector<std::pair<qint64, qint64>> idRuns;
    QStringList fieldsAdded;
    // Per column: the kind word of the new field it became, when that is not text.
    std::vector<QString> madeAs;
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
// that says what is wrong (an empty or repeated name, a name no field can hold, more new
// fields than a data file holds).
ImportPlan planImport(Connection& connection, const TableSource& source);

// Columns matched to a field by name become new fields under free names instead.
void importClashesAsNewFields(ImportPlan& plan);

// Adds the plan's new fields and appends the source's rows, all in one transaction: an error,
// bad input found on the way or Cancel (the flag, with Connection::interrupt) leaves the data
// file exactly as it was. A new field whose values hold line breaks becomes a multi-line
// field, one of Yes/No values a check box, any other a text field; Yes/No words going into a
// check box are stored as it stores them. Values going into a Number, Currency or Date field are
// stored in its canonical form; a row with a value that is none of its field's kind, or that
// breaks the field's checks, is left out (ImportResult says which). Values are kept as they are
// otherwise. The ids are
// kept only while they are unique whole numbers and the data file holds no records; else
// their column becomes its new field.
ImportResult importTable(Connection& connection, TableSource& source, const ImportPlan& plan,
                         const std::atomic<bool>& cancelled);

// Brings a data file kept by an earlier version as an Access database into this one, whose
// fields must be none yet: the field definitions as they are and the records with their ids.
long importFieldsAndRecords(Connection& connection, DatabaseSource& source,
                            const std::atomic<bool>& cancelled);

// Whether the source holds the two tables of a data file (names compared ignoring case).
bool holdsDataFileTables(const DatabaseSource& source);
