#pragma once

#include "app/paths.h"
#include "store/fieldchange.h"
#include "store/fielddefinition.h"
#include "store/store.h"

#include <QDialog>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class Connection;
class ErrorTrap;
class MessageService;
class PointerFeedback;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Add Field" / "Update Field": the field editor. Given no field it adds one; given a field's
// definition it changes that field's type, size and values. On OK it writes the field to the
// data file; storedField() then returns what was stored.
class Form2 : public QDialog {
    Q_OBJECT
  public:
    Form2(MessageService& messages, const AppPaths& paths, const Store& store,
          const std::optional<FieldDefinition>& edited = std::nullopt, QWidget* parent = nullptr);
    ~Form2() override;

    inline static const QString AddCaption = QStringLiteral("Add Field");
    inline static const QString UpdateCaption = QStringLiteral("Update Field");

    // Selects the type word (capitals ignored) and runs the type reaction.
    void setFieldTypeText(const QString& type);
    // A field of that name, ignoring case, is in the data file.
    bool fieldExists(const QString& name);
    // The definition OK stored; nothing when the editor was cancelled or OK failed.
    const std::optional<FieldDefinition>& storedField() const { return m_stored; }
    // The change OK made, for the record window's undo; nothing when none was made.
    std::optional<FieldChange>& madeChange() { return m_change; }

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
    // The field's checks: required for every kind; bounds and decimals for numbers and money.
    QGroupBox* Frame2 = nullptr;
    QCheckBox* chkRequired = nullptr;
    QLineEdit* txtMinimum = nullptr;
    QLineEdit* txtMaximum = nullptr;
    QLineEdit* txtDecimals = nullptr;

  public slots:
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void connectSignals();
    void Form_Load();
    void Form_QueryUnload();
    bool addMode() const { return !m_edited; }
    void presetField(const FieldDefinition& field);
    // The checks of OK; false when one refused the input.
    bool acceptInput(QString& name);
    // The field's checks as typed; nothing (after saying why, the box given the focus) when
    // one cannot be a check of the chosen kind.
    std::optional<FieldChecks> typedChecks();
    void showChecks(const FieldChecks& checks);
    bool addField(ErrorTrap& trap, const QString& name, const QString& type, const QString& length,
                  const FieldChecks& checks);
    bool updateField(ErrorTrap& trap, const QString& type, const QString& length,
                     const FieldChecks& checks);
    Connection& connection();
    QStringList valueItems() const;
    void setValueListEnabled(bool enabled);

    MessageService& m_messages;
    AppPaths m_paths;
    Store m_store;
    std::optional<FieldDefinition> m_edited;
    std::optional<FieldDefinition> m_stored;
    std::optional<FieldChange> m_change;
    std::unique_ptr<Connection> m_connection;
    PointerFeedback* m_pointer = nullptr;
    bool m_unloaded = false;
};
