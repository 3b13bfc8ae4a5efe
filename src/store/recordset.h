#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

class Connection;
class Recordset;
class RowReader;
class Statement;

enum CursorTypeEnum {
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum LockTypeEnum { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };
enum PositionEnum { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };

// One field of the current row: Value() reads it (Null as an invalid QVariant, distinct from
// the empty text), setValue() holds a new value until Update.
class Field {
  public:
    Field(Recordset& records, int index) : m_records(records), m_index(index) {}
    QVariant Value() const;
    void setValue(const QVariant& value);
    QString Name() const;

  private:
    Recordset& m_records;
    int m_index;
};

// A record set over a table or a query. Over a table with a whole-number key it keeps only
// the ordered list of keys and reads rows in small chunks when they become current; other
// sources are read whole (they are small: the field list, the table list).
class Recordset {
  public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void Open(const QString& source, Connection& connection, int cursorType = adOpenForwardOnly,
              int lockType = adLockReadOnly, const QVariantList& parameters = {});
    int State() const;
    void Close();

    bool IsBOF() const;
    bool IsEOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    int fieldCount() const { return int(m_columns.size()); }
    Field Fields(int index) { return Field(*this, index); }
    Field Fields(const QString& name);

    void AddNew();
    void Update();
    void Delete();
    // Drops the changes not yet written; the row shows its stored values again.
    void Cancel();
    // Searches forward from the current row for the record "id=N"; EOF when it is not there.
    void Find(const QString& criteria);

    long AbsolutePosition() const;
    long RecordCount() const;

    // The key of the current row (0 for a new row not yet written).
    qint64 currentKey() const;
    bool isKeyed() const { return !m_keyColumn.isEmpty(); }

  private:
    friend class Field;
    friend class Connection;

    void reset();
    void openMaterialized(const QStringList& columns, std::vector<QVariantList> rows);
    void requireOpen() const;
    void requireCurrentRow() const;
    void requireUpdatable() const;
    void leaveRow();
    void settleDeletedRow();
    long rowCount() const;
    QVariant valueAt(int index);
    void setValueAt(int index, const QVariant& value);
    const QVariantList& currentRow();
    void loadChunkAround(long position);
    QVariantList readRowByKey(qint64 key);
    void adoptColumnsOf(const Statement& read);
    void adoptColumns(const QStringList& columns);
    void writePendingRow();
    void checkLatestRowUnchanged(qint64 key);
    QString tableSql() const;

    Connection* m_connection = nullptr;
    bool m_open = false;
    bool m_updatable = false;
    QString m_table;     // the table a keyed set reads rows from
    QString m_keyColumn; // its whole-number key; empty for a set read whole
    QStringList m_columns;

    std::vector<qint64> m_keys;       // keyed: the rows' keys in query order
    std::vector<QVariantList> m_rows; // read whole: the rows themselves
    long m_position = -1;             // 0-based; -1 before the first row, rowCount() after the last

    std::map<qint64, QVariantList> m_chunk; // rows read around the current one, by key
    qint64 m_freshKey = 0;                  // the row last read as it is stored now
    std::unique_ptr<RowReader> m_chunkRead; // reads the rows around the current one
    std::map<int, QVariant> m_pending;      // values set and not yet written
    std::map<int, QVariant> m_original;     // their values when they were read
    bool m_newRow = false;                  // the current row was added and is not yet written
    long m_positionBeforeNew = -1;
    bool m_currentDeleted = false;
};
