#pragma once

#include <QStringList>
#include <QVariantList>
#include <map>
#include <memory>
#include <vector>

class Connection;
class Statement;

// Reads the rows of a table by their whole-number keys, a chunk of keys at a time, through one
// prepared statement that is reset after each use: no statement stays open between two reads.
class RowReader {
  public:
    static constexpr int ChunkKeys = 64;

    RowReader(Connection& connection, const QString& table, const QString& keyColumn);
    ~RowReader();
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    // The rows of up to ChunkKeys keys, by key; a key no longer there has no row.
    std::map<qint64, QVariantList> read(const std::vector<qint64>& keys);
    // The table's column names as the last read saw them (another connection may change them).
    const QStringList& columns() const { return m_columns; }
    const Connection& connection() const { return m_connection; }

  private:
    Connection& m_connection;
    QString m_keyColumn;
    std::unique_ptr<Statement> m_statement;
    QStringList m_columns;
};
