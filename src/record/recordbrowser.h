#pragma once

#include "store/recordchange.h"
#include "store/recordcursor.h"

#include <optional>

class Connection;

// The records behind the record window, without widgets: the cursor over CustomTable, the
// number of the current record and whether a record is being edited or created. Each command
// returns false when it is refused (nothing happens) and raises what the data file refuses;
// the window shows the outcome.
class RecordBrowser {
  public:
    RecordBrowser() = default;
    RecordBrowser(const RecordBrowser&) = delete;
    RecordBrowser& operator=(const RecordBrowser&) = delete;

    RecordCursor& records() { return m_records; }
    bool isOpen() const;
    // Open and on a row, so there is a record to show or edit.
    bool onRow() const;
    int index() const { return m_index; }
    bool editing() const { return m_editing; }
    bool newRecord() const { return m_newRecord; }

    // Opens the records afresh; true when there is a first record, which is then current.
    bool reopen(Connection& connection);
    void close();

    bool moveFirst();
    bool movePrevious();
    bool moveNext();
    bool moveLast();
    // Moves to the record with this id; false when it is not there.
    bool moveToId(qint64 id);
    // After the record with this id was changed, brought back or taken away outside the
    // cursor: shows it when it is there, else the first record; true when one is current.
    bool showChanged(qint64 id);

    bool beginEdit();
    bool beginNew();
    // Whether the current record may be deleted now (the window asks the user first).
    bool canDelete() const;
    // Deletes the current record; true when a first record is left and now current.
    bool deleteCurrent();
    // Writes the values set on the current row; the record stays in editing.
    void write();
    // Writes the values and ends editing.
    void save();
    // Drops the changes of an edited record; it shows its stored values again.
    void cancelChanges();
    // Drops a new record; true when a first record is left and now current.
    bool discardNew();
    void endEditing();
    // The change the last delete made, or the writes since editing began (which a failed save
    // leaves out), once; none when nothing changed.
    std::optional<RecordChange> takeChange();

  private:
    bool moveToFirstIfAny();

    RecordCursor m_records;
    int m_index = 0; // 1-based number of the current record
    bool m_editing = false;
    bool m_newRecord = false;
    std::optional<RecordChange> m_deleted;
};
