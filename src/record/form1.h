#pragma once

#include "app/paths.h"
#include "app/recordwindowlink.h"
#include "record/providercheck.h"
#include "store/store.h"
#include "table/printdialog.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class Connection;
class ErrorTrap;
class MessageService;
class PointerFeedback;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QUndoCommand;
class QUndoStack;
class QPrinter;
class QPushButton;
class QTabWidget;
class RecordBrowser;
class RecordPage;
class RecordCursor;
class TableWindow;
struct FieldDefinition;
struct Report;

// The record window: wires the designed controls to the generated page of the fields shown
// (RecordPage) and to the records behind it (RecordBrowser), and runs the commands that
// create, edit, save, cancel and delete records.
class Form1 : public QWidget, public RecordWindowLink {
    Q_OBJECT
  public:
    Form1(MessageService& messages, AppPaths paths, Store store, QWidget* parent = nullptr);
    ~Form1() override;

    // Stands in for the provider check's outside world (tests).
    void setProviderServices(ProviderServices services) {
        m_providerServices = std::move(services);
    }
    // Form_Load: false when the program must end at once.
    bool Form_Load();
    void Form_Activate();

    // Why a page is built: a page switch keeps the record shown; any other build (the fields
    // may have changed) opens the records afresh.
    enum class BuildReason { FieldsMayHaveChanged, PageSwitch };
    void generateControls(int pTab, BuildReason reason = BuildReason::FieldsMayHaveChanged);
    void setControls(int page);
    void setFieldsData();
    void clearFields();
    void enableFields(bool enabled);

    // Command buttons.
    void PushButton1_Click();  // Edit Current Record
    void PushButton2_Click();  // Delete Current Record
    void PushButton3_Click();  // Create New Record
    void PushButton4_Click();  // Refresh Fields
    void PushButton5_Click();  // Export To Excel
    void PushButton6_Click();  // Save Record
    void PushButton7_Click();  // Search
    void PushButton8_Click();  // Cancel
    void PushButton9_Click();  // Previous
    void PushButton10_Click(); // First
    void PushButton11_Click(); // Next
    void PushButton12_Click(); // Last
    void PushButton13_Click(); // Setup Fields
    void SSTab1_Click(int previousTab);
    // The menu bar's commands.
    void deletedRecordsClicked();  // Records > Deleted Records...
    void tableViewClicked();       // Records > Table View
    void printRecordClicked();     // File > Print Record...
    void exportRecordPdfClicked(); // File > Export PDF...
    // The current record as a form, every field of every page, into a PDF file.
    bool exportRecordPdfTo(const QString& file);
    // Paints the current record as a form on the printer, as the print dialog asks.
    void printRecord(QPrinter* printer);
    // Shows the print dialog (table/printdialog.h).
    PrintDialogRunner runPrintDialog = runModal;
    void undoClicked(); // Edit > Undo <what>
    void redoClicked(); // Edit > Redo <what>

    // State the other windows and the tests read.
    int mIndex() const;
    bool mEditing() const;
    bool mNewRecord() const;
    bool mGenerating() const { return m_generating; }
    const QList<QWidget*>& mInputControls() const;
    RecordCursor& mRSRecords();
    // The table view while it is open.
    TableWindow* tableWindow() const;
    Connection* mConnection() { return m_connection.get(); }
    PointerFeedback& pointerFeedback() { return *m_pointer; }

    // RecordWindowLink
    QStringList shownCaptions() const override;
    int shownPage() const override;
    bool showRecordWithId(qint64 id) override;
    void clearFieldsAndRepaint() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    QPushButton* createButton(const char* name);
    void connectSignals();
    void connectShortcuts();
    void createMenus();
    bool Form_QueryUnload();

    void rebuildPages(int fieldCount);
    int selectPage(int pTab, int pageCount);
    static QRect designedTwips(const char* name);
    void readFields(ErrorTrap& trap, std::vector<FieldDefinition>& fields, QStringList& columns);
    void buildPage(ErrorTrap& trap, const std::vector<FieldDefinition>& fields,
                   const QStringList& columns, int page);
    bool customTableIsThere();
    void showRecordCount();
    // Refuses, naming the field, a change that cannot be saved; its input gets the focus.
    bool valuesCanBeSaved();
    // Refuses, naming the field and its page, a value of another page that cannot be saved;
    // that page is shown, without writing anything, and the input gets the focus.
    bool otherPagesCanBeSaved(ErrorTrap& trap);
    bool writeShownPageAndUpdate(ErrorTrap& trap);
    void afterOwnWindowClosed();
    bool refuseWhileEditing();
    void pushChange(QUndoCommand* change);
    void forgetChanges(int from);
    void focusFirstInput();
    void moveAndShow(const QString& handler, bool (RecordBrowser::*move)());
    void pushChange();
    // After records or fields changed here, the table view shows them.
    void tableShowsChanges();
    // The current record's form, when there is a saved record to print.
    std::optional<Report> currentRecordForm();
    void stepChanges(bool back);

    void sizeBoxChanged(const QString& key, const QString& text);
    void sizeBoxLeft(QLineEdit* box);

    MessageService& m_messages;
    AppPaths m_paths;
    Store m_store;
    ProviderServices m_providerServices = ProviderServices::standard();
    PointerFeedback* m_pointer = nullptr;

    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<RecordBrowser> m_browser;
    std::unique_ptr<RecordPage> m_page;
    bool m_generating = false; // a page is being built
    bool m_activatedOnce = false;
    bool m_checkingSize = false;
    int m_shownTab = 0;

    // Designed controls.
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QPushButton* PushButton10 = nullptr;
    QPushButton* PushButton11 = nullptr;
    QPushButton* PushButton12 = nullptr;
    QPushButton* PushButton13 = nullptr;
    QTabWidget* SSTab1 = nullptr;
    QLabel* lblRecord = nullptr;
    QFrame* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;

    // Above the designed controls, which keep their places below it.
    QMenuBar* m_menuBar = nullptr;
    // The changes made to records, in order, for as long as the window is open.
    QUndoStack* m_changes = nullptr;
    QPointer<TableWindow> m_table;
};
