#pragma once

#include "app/paths.h"
#include "app/recordwindowlink.h"
#include "store/odbcprovider.h"

#include <QList>
#include <QWidget>
#include <memory>
#include <vector>

class Connection;
class ErrorTrap;
class FieldCaption;
class FieldInput;
class MessageService;
class PointerFeedback;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class Recordset;
struct FieldDefinition;

// The record window: a generated page of labels and inputs per 26 fields, the current record,
// navigation, and the commands that create, edit, save, cancel and delete records.
class Form1 : public QWidget, public RecordWindowLink {
    Q_OBJECT
  public:
    Form1(MessageService& messages, AppPaths paths, QWidget* parent = nullptr);
    ~Form1() override;

    // Stands in for the provider check's outside world (tests).
    void setProviderServices(ProviderServices services) {
        m_providerServices = std::move(services);
    }
    // Form_Load: false when the program must end at once.
    bool Form_Load();
    void Form_Activate();

    void generateControls(int pTab);
    void setControls(int page);
    void setFieldsData();
    static QString NullToEmptyString(const QVariant& value);
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

    // State the other windows and the tests read.
    int mIndex() const { return m_index; }
    bool mEditing() const { return m_editing; }
    bool mNewRecord() const { return m_newRecord; }
    bool mFieldsEnabled() const { return m_fieldsEnabled; }
    bool mGenerating() const { return m_generating; }
    const QList<QWidget*>& mInputControls() const { return m_inputControls; }
    Recordset& mRSRecords() { return *m_records; }
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
    QPushButton* createButton(const QString& name, const QString& caption, int left, int top,
                              int width, int height);
    void connectSignals();
    void connectShortcuts();
    bool Form_QueryUnload();

    void createDataFolderAndFile(ErrorTrap& trap);
    void unloadGeneratedControls(bool emptyTemplateTexts);
    void rebuildPages(int fieldCount);
    int selectPage(int pTab, int pageCount);
    void layoutPage(const std::vector<FieldDefinition>& fields, const QStringList& columns,
                    int page);
    std::vector<QWidget*>& controlArray(const QString& name);
    QWidget* inputElement(const FieldInput& kind, int element);
    FieldCaption* labelElement(int element);
    void placeCaption(FieldCaption* label, int column, int top);
    void placeInput(QWidget* input, const FieldInput& kind, double lengthFactor, int left, int top);
    bool waitForCustomTable();
    void openRecords();
    class PageBuild;
    void showPendingPage();
    bool writeShownPage(ErrorTrap& trap, bool cancelValues);
    bool writeShownPageAndUpdate(ErrorTrap& trap);
    void afterOwnWindowClosed();
    bool refuseWhileEditing();

    void sizeBoxChanged(const QString& key, const QString& text);
    void sizeBoxLeft(QLineEdit* box);

    MessageService& m_messages;
    AppPaths m_paths;
    ProviderServices m_providerServices = ProviderServices::standard();
    PointerFeedback* m_pointer = nullptr;

    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Recordset> m_records;
    QList<QWidget*> m_inputControls;
    std::vector<std::unique_ptr<FieldInput>> m_inputs; // the page's inputs, in field order
    int m_index = 0;
    bool m_generating = false;
    bool m_editing = false;
    bool m_newRecord = false;
    bool m_tabClicked = false;
    bool m_fieldsEnabled = false;
    bool m_activatedOnce = false;
    bool m_checkingSize = false;
    bool m_buildingPage = false;
    int m_pendingTab = -1; // a page asked for while one was built
    int m_shownTab = 0;
    int m_pageFieldCount = 0;

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

    // Control arrays; element 0 is the designed template.
    std::vector<FieldCaption*> Label1;
    std::vector<QWidget*> Text1;
    std::vector<QWidget*> Text2;
    std::vector<QWidget*> Check2;
    std::vector<QWidget*> Combo1;
};
