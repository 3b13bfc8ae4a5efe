#pragma once

#include "app/paths.h"

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

class Connection;
class ErrorTrap;
class MessageService;
class PointerFeedback;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "Add Field" / "Update Field": the field editor. The window caption set by the opener decides
// the mode. On OK it writes the field and brings the field list's list up to date.
class Form2 : public QDialog {
    Q_OBJECT
  public:
    // fieldList is the list of the field list window: read for duplicates, written on OK.
    Form2(MessageService& messages, const AppPaths& paths, QTreeWidget& fieldList,
          QWidget* parent = nullptr);
    ~Form2() override;

    inline static const QString AddCaption = QStringLiteral("Add Field");
    inline static const QString UpdateCaption = QStringLiteral("Update Field");

    // Selects the type word (capitals ignored) and runs the type reaction.
    void setFieldTypeText(const QString& type);
    bool fieldExists(const QString& name) const;

    void cboFieldType_Click();
    void PushButton1_Click(); // Add Values
    void PushButton2_Click(); // OK
    void PushButton3_Click(); // Cancel
    void PushButton4_Click(); // Clear All
    void PushButton5_Click(); // Delete Selected
    void Text1_LostFocus();

    bool connectionOpen() const;

    std::vector<QLabel*> Label1;
    QLineEdit* Text1 = nullptr;
    QComboBox* cboFieldType = nullptr;
    QLineEdit* Text2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* lblValues = nullptr;
    QComboBox* cboFieldValues = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;

  public slots:
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void connectSignals();
    void Form_Load();
    void Form_QueryUnload();
    bool addMode() const { return windowTitle() == AddCaption; }
    // The checks of OK; false when one refused the input.
    bool acceptInput(QString& name);
    bool addField(ErrorTrap& trap, const QString& name, const QString& type, const QString& length);
    bool updateField(ErrorTrap& trap, const QString& type, const QString& length);
    Connection& connection();
    QStringList valueItems() const;
    void setValueListEnabled(bool enabled);

    MessageService& m_messages;
    AppPaths m_paths;
    QTreeWidget& m_fieldList;
    std::unique_ptr<Connection> m_connection;
    PointerFeedback* m_pointer = nullptr;
    bool m_unloaded = false;
};
