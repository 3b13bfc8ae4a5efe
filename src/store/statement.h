#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <string_view>
#include <vector>

class Connection;
class EngineQuery;

// One prepared statement on a connection, whatever its engine. It is finished when it goes out
// of scope, so no statement keeps running across a turn of the event loop.
class Statement {
  public:
    Statement(Connection& connection, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based
    void bindAll(const QVariantList& values);
    // Binds UTF-8 text without copying it: the bytes must stay until the statement has run.
    // A null pointer binds Null.
    void bindText(int index, const char* utf8, qsizetype size);
    // Steps once: true while a row is there.
    bool step();
    // Runs a statement that returns no rows, and makes it ready to run again.
    void run();
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
    // Runs the statement to its end, each row's first column (a whole number) added in order.
    void readWholeNumbers(std::vector<qint64>& into);

  private:
    std::unique_ptr<EngineQuery> m_query;
};

// Steps through every row, each one's first column taken as an id.
std::vector<qint64> readIds(Statement& statement);
// Runs the statements one after the other.
void executeAll(Connection& connection, const QStringList& statements);
