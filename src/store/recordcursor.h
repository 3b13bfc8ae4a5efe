#pragma once

#include "store/recordchange.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

class Connection;
class RecordCursor;
class Statement;

// One value of the current record, by its column's name: Value() reads it (Null as an invalid
// QVariant, distinct from the empty text), setValue() holds a new value until Update.
class Field {
  public:
    Field(RecordCursor& records, QString name) : m_records(records), m_name(std::move(name)) {}
    QVariant Value() const;
    void setValue(const QVariant& value);

  private:
    RecordCursor& m_records;
    QString m_name;
};

// The record window's records: the ids of CustomTable in id order, read when it opens, and the
// current record, read by its id through one kept statement when a value of it is first asked
// for after a move, so each move shows what is stored now. Values are read and written by
// their column's name, so a column another program added or dropped meanwhile never shifts
// one value into another's place. A write replaces only the values set, and only while they
// still hold what was read (someone else may have changed or deleted the record).
class RecordCursor {
  public:
    RecordCursor();
    ~RecordCursor();
    RecordCursor(const RecordCursor&) = delete;
    RecordCursor& operator=(const RecordCursor&) = delete;

    // Reads the ids; the first record, if any, is current.
    void Open(Connection& connection);
    int State() const;
    void Close();

    bool IsBOF() const;
    bool IsEOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // Moves to the record with this id; EOF when it is not there.
    void Find(qint64 id);
    // Looks whether the record with this id is there now, and takes its id into the list or
    // out of it, as a change made elsewhere left it; the position stays where it was.
    void Recheck(qint64 id);

    Field Fields(const QString& name) { return Field(*this, name); }

    void AddNew();
    void Update();
    // Moves the current record into the bin (recordbin.h), in one transaction.
    void Delete();
    // The bin's key of the record the last Delete moved there; 0 when it moved none.
    qint64 lastBinKey() const { return m_lastBinKey; }
    // The id of the current record; 0 for a new one not yet written.
    qint64 currentId() const;
    // What the writes since the last call did to the record they wrote (recordchange.h).
    RecordWrite takeWrites();
    // Drops the changes not yet written; the record shows its stored values again.
    void Cancel();

    long AbsolutePosition() const;
    long RecordCount() const;

  private:
    friend class Field;
    enum class Row { NotRead, Read, Gone };

    void requireOpen() const;
    void requireCurrentRow() const;
    long count() const { return long(m_ids.size()); }
    void moveTo(long position);
    void leaveRow();
    void settleDeletedRow();
    void readRow();
    int columnOf(const QString& name) const;
    int column(const QString& name);
    QVariant value(const QString& name);
    void setValue(const QString& name, const QVariant& value);
    void write();
    void noteWrite(qint64 id, bool created);

    Connection* m_connection = nullptr;
    std::unique_ptr<Statement> m_read; // the record of the id bound, every column
    std::vector<qint64> m_ids;         // in id order; 0 for a new record not yet written
    long m_position = -1;              // 0-based; -1 before the first, count() after the last
    bool m_newRow = false;             // the current record is new and not yet written
    long m_positionBeforeNew = -1;
    bool m_currentDeleted = false;
    qint64 m_lastBinKey = 0;
    RecordWrite m_written;

    // The current record as last read.
    Row m_row = Row::NotRead;
    QStringList m_columns;
    QHash<QString, int> m_columnIndex;
    QVariantList m_values;

    std::map<QString, QVariant> m_pending;  // values set and not yet written, by column
    std::map<QString, QVariant> m_original; // their values when they were read
};
