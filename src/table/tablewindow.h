#pragma once

#include "store/recordtable.h"
#include "store/store.h"
#include "table/printdialog.h"
#include "table/tablerecords.h"

#include <QMainWindow>
#include <atomic>
#include <memory>

class Connection;
class FilterHeader;
class MessageService;
class QLabel;
class QLineEdit;
class QPrinter;
class QTableView;
class RecordWindowLink;

// "Table View": every record in a row, every field in a column, the id first. A heading's
// click orders the rows by its column (again for the reverse); the boxes under the headings
// filter them. A double click or Enter on a row moves the record window to that record.
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
    // Orders by the column of this heading, or the other way when it orders by it already.
    void headingClicked(int section);
    // Reads the rows the filter boxes ask for.
    void applyFilters();
    // File > Print..., Print Preview..., Export PDF...: the rows as shown, as a list.
    void printClicked();
    void printPreviewClicked();
    void exportPdfClicked();
    bool exportPdfTo(const QString& file);
    // Paints the rows as shown on the printer, as the print dialog and the preview ask.
    void printRows(QPrinter* printer);
    // Shows the print dialog or the preview (printdialog.h).
    PrintDialogRunner runPrintDialog = runModal;

    const TableRecords& records() const { return *m_records; }
    QTableView* view() const { return m_view; }
    QLineEdit* filterBox(int section) const;
    QString statusText() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void createMenus();
    // False when the user cancelled it or it failed: the rows shown stay.
    bool readRecords(const TableQuery& query);
    // Reads the ids on the worker; false when cancelled or failed.
    bool readOnWorker(const TableQuery& query, int first, TableRecords::Content& content);
    // Reads the first rows of an order by a field's values and shows them while the rest is
    // read; false when cancelled or failed.
    bool readOrder(const TableQuery& query, TableRecords::Content& content);
    void sizeColumns();
    void showStatus();
    int chosenRow() const;

    MessageService& m_messages;
    Store m_store;
    RecordWindowLink& m_recordWindow;
    // The ids are read through a connection of their own, on a worker thread, while the rows
    // shown go on reading their values through the model's.
    std::unique_ptr<Connection> m_idConnection;
    // A new order by a field's values is read whole through another, at the same time as its
    // first rows, stopped when the flag turns true.
    std::unique_ptr<Connection> m_orderConnection;
    std::atomic<bool> m_stopOrder = false;
    TableRecords* m_records = nullptr;
    QTableView* m_view = nullptr;
    FilterHeader* m_header = nullptr;
    QLabel* m_status = nullptr;
    bool m_reading = false;
    bool m_readAgain = false;
};
