#pragma once

#include "store/recordbin.h"

#include <QString>
#include <optional>

class Connection;

// What one write or a series of writes did to one record: its values before the first and
// after the last (of the columns that changed), and whether the first one made it.
struct RecordWrite {
    qint64 id = 0;
    bool created = false;
    RecordValues before, after;
};

// One change the user made to a record, which can be taken back and made again. Each undo and
// redo is one transaction that first checks the record is as the change left it; when it is
// not (another program changed it since, its id was taken again, the bin emptied), it raises
// a run-time error (ErrorNumber::RowChanged) that says so, and nothing is changed.
class RecordChange {
  public:
    // A saved edit of an existing record, or a new record saved, as the cursor wrote them;
    // none when nothing changed.
    static std::optional<RecordChange> fromWrite(const RecordWrite& write);
    // A record moved into the bin under that key.
    static RecordChange deleted(qint64 id, qint64 binKey);

    // What the change is called where it is offered: "Delete Record 12".
    QString text() const;
    qint64 id() const { return m_id; }

    void undo(Connection& connection);
    void redo(Connection& connection);

  private:
    enum class Kind { Save, New, Delete };
    enum class Step { Replace, ToBin, FromBin };
    RecordChange(Kind kind, qint64 id) : m_kind(kind), m_id(id) {}
    void step(Connection& connection, Step step, const RecordValues& from, const RecordValues& to);
    void replace(Connection& connection, const RecordValues& from, const RecordValues& to);

    Kind m_kind;
    qint64 m_id;
    qint64 m_binKey = 0; // where the record is while it is in the bin
    RecordValues m_before, m_after;
};
