#pragma once

#include <QString>
#include <QVariant>
#include <string_view>

class Connection;
struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement. It is reset when it goes out of scope, so no statement keeps
// running across a turn of the event loop.
class Statement {
  public:
    Statement(Connection& connection, const QString& sql);
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based
    void bindAll(const QVariantList& values);
    // Binds UTF-8 text without copying it: the bytes must stay until the statement has run.
    // A null pointer binds Null.
    void bindText(int index, const char* utf8, qsizetype size);
    // Runs a statement that returns no rows, and makes it ready to run again.
    void run();
    // Steps once: true while a row is there.
    bool step();
    int columnCount() const;
    QString columnName(int column) const;
    QVariant column(int column) const;
    qint64 columnInt64(int column) const;
    bool isNull(int column) const;
    // The value as UTF-8 bytes, valid until the next step.
    std::string_view text(int column) const;
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
