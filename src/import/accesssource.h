#pragma once

#include "import/tablesource.h"

// Whether the file begins like a Microsoft Access database (Jet 3, Jet 4 or ACE).
bool isAccessFile(const QString& path);

// A Microsoft Access database (Jet 3, Jet 4 or ACE) read with libmdb. Text comes as UTF-8,
// dates as "YYYY-MM-DD HH:MM:SS", Yes/No values as 1 and 0. Columns of pictures and other
// binary data are left out: a field holds text.
class AccessFile : public DatabaseSource {
  public:
    // Opens the file; raises a run-time error when it is cut off, damaged, protected with a
    // password or no Access file at all.
    explicit AccessFile(const QString& path);
    ~AccessFile() override;
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    // The user tables, in the order the file lists them.
    QStringList tableNames() const override;
    std::unique_ptr<TableSource> openTable(const QString& name) override;

  private:
    QString m_path;
    struct Handle; // libmdb's handle, whose type cannot be declared ahead
    std::unique_ptr<Handle> m_handle;
};
