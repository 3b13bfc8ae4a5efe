#pragma once

#include "import/importcommand.h"
#include "import/tablesource.h"

#include <memory>

// Whether the file begins like a Microsoft Access database (Jet 3, Jet 4 or ACE).
bool isAccessFile(const QString& path);

// The Access reader: $LEDGERLOOM_ACCESS_READER when set, else ledgerloom-access-reader beside
// the program file.
QString accessReaderProgram();

// A Microsoft Access database (Jet 3, Jet 4 or ACE). It is read by the Access reader, a program
// of its own run for the list of tables and again for each table, which reads it with libmdb
// within limits of memory and time: a damaged file that makes libmdb crash, loop or allocate
// without end ends with a message and never takes this program with it. Text comes as UTF-8,
// dates as "YYYY-MM-DD HH:MM:SS", Yes/No values as 1 and 0. Columns of pictures and other binary
// data are left out: a field holds text.
class AccessFile : public DatabaseSource {
  public:
    // Reads the list of tables and checks their definitions, the part of reading a damaged file
    // that may take long, with run (Cancel ends it). Raises a run-time error when the file is cut
    // off, damaged, protected with a password or no Access file at all, when the reader cannot
    // be run, or when it was cancelled.
    AccessFile(const QString& path, const LongWorkRunner& run);
    ~AccessFile() override;
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    // The user tables, in the order the file lists them.
    QStringList tableNames() const override;
    // Reads the table's columns: what the list of tables read before already did, so it does
    // not take long. Raises a run-time error when they cannot be read.
    std::unique_ptr<TableSource> openTable(const QString& name) override;
    // Ends every read of this file under way, and refuses the ones to come.
    void cancel() override;

    struct Runs; // the readers running now, shared with the tables

  private:
    QString m_path;
    QStringList m_tables;
    std::shared_ptr<Runs> m_runs;
};
