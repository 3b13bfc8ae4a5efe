#pragma once

#include "store/recordtable.h"
#include "store/store.h"

#include <QMainWindow>

class MessageService;
class QLabel;
class QTableView;
class RecordWindowLink;
class TableRecords;

// "Table View": every record in a row, every field in a column, the id first. A double click
// or Enter on a row moves the record window to that record.
class TableWindow : public QMainWindow {
    Q_OBJECT
  public:
    TableWindow(MessageService& messages, const Store& store, RecordWindowLink& recordWindow,
                QWidget* parent = nullptr);
    ~TableWindow() override;

    // Reads the fields and records afresh, keeping the order, the filters and the record
    // chosen (records, fields or both changed elsewhere).
    void showChanges();
    // Moves the record window to the record of this row.
    void openRow(int row);

    const TableRecords& records() const { return *m_records; }
    QTableView* view() const { return m_view; }
    QString statusText() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void readRecords(const TableQuery& query);
    void sizeColumns();
    void showStatus();
    int chosenRow() const;

    MessageService& m_messages;
    Store m_store;
    RecordWindowLink& m_recordWindow;
    TableRecords* m_records = nullptr;
    QTableView* m_view = nullptr;
    QLabel* m_status = nullptr;
};
