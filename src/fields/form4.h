#pragma once

#include "app/paths.h"
#include "store/fieldchange.h"
#include "store/store.h"

#include <QDialog>
#include <memory>
#include <vector>

class Connection;
class ErrorTrap;
class MessageService;
class PointerFeedback;
class QPushButton;
class QTreeWidget;
class RecordWindowLink;

// "Setup Fields": the list of defined fields, from which fields are created, changed, deleted.
class Form4 : public QDialog {
    Q_OBJECT
  public:
    Form4(MessageService& messages, const AppPaths& paths, const Store& store,
          RecordWindowLink& recordWindow, QWidget* parent = nullptr);
    ~Form4() override;

    void listFields();
    // A field was added, changed or deleted while the window was open.
    bool fieldsChanged() const { return m_fieldsChanged; }
    // The changes made here, in order, for the record window's undo.
    std::vector<FieldChange>& madeChanges() { return m_changes; }

    void PushButton1_Click(); // Close
    void PushButton2_Click(); // Create New Field
    void PushButton3_Click(); // Delete Selected Field
    void PushButton5_Click(); // Update Selected Field
    void ListView1_DblClick();
    // "Import...": a CSV file or an Access table becomes fields and records.
    void importClicked();
    void importFrom(const QString& file);
    // "Export CSV...": the records of every field, or of the page shown.
    void exportCsvClicked();
    void exportCsvTo(const QString& file, bool pageShownOnly);

    bool connectionOpen() const;

    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* importButton = nullptr;
    QPushButton* exportCsvButton = nullptr;

  public slots:
    void done(int result) override;

  private:
    void createControls();
    void connectSignals();
    void connectShortcuts();
    void Form_Load();
    void Form_QueryUnload();
    void editSelectedField(ErrorTrap& trap);
    // While the list has items one of them is selected.
    void keepSelection();
    void showStoredField(ErrorTrap& trap, const QString& name);

    MessageService& m_messages;
    AppPaths m_paths;
    Store m_store;
    RecordWindowLink& m_recordWindow;
    std::unique_ptr<Connection> m_connection;
    PointerFeedback* m_pointer = nullptr;
    bool m_fieldsChanged = false;
    std::vector<FieldChange> m_changes;
    bool m_unloaded = false;
};
