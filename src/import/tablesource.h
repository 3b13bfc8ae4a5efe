#pragma once

#include "store/fieldvalue.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// One column of a table being brought in.
struct SourceColumn {
    QString name;
    bool yesNo = false;     // the source itself says the column holds Yes/No values
    bool multiline = false; // the source itself says the column holds long texts
    bool typed = false;     // the source gives each column a kind: its values decide nothing
    // A typed source's numbers, money and dates: the field's kind when every value reads as one.
    FieldKind kind = FieldKind::Textfield;
};

// One value of a row: UTF-8 bytes, valid until the next row is read. No bytes at all (a null
// pointer) stands for a missing value, which is not the same as the empty text.
struct SourceCell {
    const char* data = nullptr;
    qsizetype size = 0;
};

// A table read row by row, whatever file it comes from. Readers check their input as they go
// and raise a run-time error that says what is wrong and where.
class TableSource {
  public:
    virtual ~TableSource() = default;
    // What the messages call the table: a file name, or a table name in a file.
    virtual QString label() const = 0;
    virtual const std::vector<SourceColumn>& columns() const = 0;
    // How the table is read, for the user to check before an import; empty when nothing is
    // to be checked.
    virtual QString howRead() const { return QString(); }
    // The columns left out, because no field can hold what they hold.
    virtual QStringList skippedColumns() const { return {}; }
    // Reads the next row, one cell per column; false after the last row.
    virtual bool next(std::vector<SourceCell>& cells) = 0;
    // Called from another thread while next() may be waiting: the read ends at once, with an
    // error. For sources that never wait long, nothing.
    virtual void cancel() {}
};

// A file that holds several tables (an Access database).
class DatabaseSource {
  public:
    virtual ~DatabaseSource() = default;
    virtual QStringList tableNames() const = 0;
    virtual std::unique_ptr<TableSource> openTable(const QString& name) = 0;
    // As TableSource::cancel, for every table of the file; later reads are refused.
    virtual void cancel() {}
};
