#pragma once

#include <QStringList>
#include <functional>
#include <string_view>

class Connection;
class Statement;

// One record of a batch: its id and the values of the columns asked for, by their place in
// that list. Valid only while the batch's callback runs.
class BatchRecord {
  public:
    explicit BatchRecord(const Statement& row) : m_row(row) {}
    qint64 id() const;
    bool isNull(int column) const;
    // The value as UTF-8 bytes.
    std::string_view text(int column) const;

  private:
    const Statement& m_row;
};

// Reads the records in id order, a batch per statement, from the lowest id on: every way out
// (workbook, CSV, a copy to another store) reads through it, so that none starts past a record.
// The columns are named, never counted, so a value always comes from its own field's column;
// a name without a column in the table reads as Null. No statement stays open between two
// batches, so the caller may let events run there.
class RecordBatches {
  public:
    RecordBatches(Connection& connection, const QStringList& columns, int batchRecords);

    // Reads the next batch, handing each record to the callback; the number read, 0 at the end.
    int readBatch(const std::function<void(const BatchRecord&)>& record);

  private:
    Connection& m_connection;
    QString m_first;
    QString m_next;
    int m_batchRecords;
    bool m_started = false;
    qint64 m_lastId = 0;
};
