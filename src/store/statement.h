#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement. It is reset when it goes out of scope, so no statement keeps
// running across a turn of the event loop.
class Statement {
  public:
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based
    void bindAll(const QVariantList& values);
    // Steps once: true while a row is there.
    bool step();
    int columnCount() const;
    QString columnName(int column) const;
    QVariant column(int column) const;
    qint64 columnInt64(int column) const;
    // Ready to run again with its parameters cleared; a statement kept for reuse is reset after
    // each use so that it holds no lock meanwhile.
    void reset();
    sqlite3* database() const { return m_db; }

  private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_sql;
};

// Raises the engine's failure as a run-time error with its description.
[[noreturn]] void throwEngineError(sqlite3* db, int code);
