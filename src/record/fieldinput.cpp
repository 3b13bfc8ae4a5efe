#include "record/fieldinput.h"

#include "app/numbers.h"
#include "store/fielddefinition.h"
#include "store/schema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <limits>

namespace {

QString nullAsEmpty(const QVariant& value) {
    return value.isNull() ? QString(QLatin1String("")) : value.toString();
}

class TextBoxInput : public FieldInput {
  public:
    QString arrayName() const override { return QStringLiteral("Text1"); }
    QRect designedRect() const override { return {1845, 225, 400, 420}; }
    bool followsSizeSettings() const override { return true; }
    QWidget* makeWidget(QWidget* parent) const override { return new QLineEdit(parent); }
    QString defaultText() const override { return box()->text(); }

  protected:
    // A text box cuts its text at 32767 characters by default, and Save would then store the
    // cut value over a longer one.
    void prepare(const FieldDefinition&) override {
        box()->setMaxLength(std::numeric_limits<int>::max());
    }
    // Shown from its beginning: setting a text puts the cursor, and so the view, at its end.
    void showStored(const QString& stored) override {
        box()->setText(stored.trimmed());
        box()->setCursorPosition(0);
    }
    void empty() override { box()->clear(); }

  private:
    QLineEdit* box() const { return static_cast<QLineEdit*>(m_widget); }
};

class MultilineInput : public FieldInput {
  public:
    QString arrayName() const override { return QStringLiteral("Text2"); }
    QRect designedRect() const override { return {1845, 225, 855, 600}; }
    bool followsSizeSettings() const override { return true; }
    int extraRowStep() const override { return 150; }
    QWidget* makeWidget(QWidget* parent) const override {
        auto* text = new QPlainTextEdit(parent);
        text->setTabChangesFocus(true);
        return text;
    }
    QString defaultText() const override { return box()->toPlainText(); }

  protected:
    void showStored(const QString& stored) override { box()->setPlainText(stored.trimmed()); }
    void empty() override { box()->clear(); }

  private:
    QPlainTextEdit* box() const { return static_cast<QPlainTextEdit*>(m_widget); }
};

// A drop-down keeps a stored text that is not one of its items as an extra item, so the text
// is shown and saved back unchanged; the extra item is marked with this role.
class DropdownInput : public FieldInput {
  public:
    QString arrayName() const override { return QStringLiteral("Combo1"); }
    QRect designedRect() const override { return {1845, 225, 400, 345}; }
    QWidget* makeWidget(QWidget* parent) const override { return new QComboBox(parent); }
    QString defaultText() const override {
        return combo()->currentIndex() < 0 ? QString(QLatin1String("")) : combo()->currentText();
    }

  protected:
    // Adding items selects the first; nothing is selected until a record is shown.
    void prepare(const FieldDefinition& field) override {
        combo()->clear();
        combo()->addItems(decodeValues(field.values));
        combo()->setCurrentIndex(-1);
    }
    void showStored(const QString& stored) override {
        removeKeptValue();
        if (stored.isEmpty()) {
            combo()->setCurrentIndex(-1);
            return;
        }
        int index = combo()->findText(stored, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0) {
            combo()->addItem(stored);
            index = combo()->count() - 1;
            combo()->setItemData(index, true, KeptValueRole);
        }
        combo()->setCurrentIndex(index);
    }
    void empty() override {
        removeKeptValue();
        combo()->setCurrentIndex(-1);
    }

  private:
    static constexpr int KeptValueRole = Qt::UserRole + 1;
    QComboBox* combo() const { return static_cast<QComboBox*>(m_widget); }
    void removeKeptValue() {
        for (int i = combo()->count() - 1; i >= 0; --i)
            if (combo()->itemData(i, KeptValueRole).toBool())
                combo()->removeItem(i);
    }
};

// A check box is ticked by a stored 1 and writes 1 or 0; clearing the page leaves it as it is.
class CheckboxInput : public FieldInput {
  public:
    QString arrayName() const override { return QStringLiteral("Check2"); }
    QRect designedRect() const override { return {1845, 225, 375, 330}; }
    QWidget* makeWidget(QWidget* parent) const override { return new QCheckBox(parent); }
    QString defaultText() const override {
        return box()->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    QVariant cancelValue() const override { return QVariant(qint16(0)); }

  protected:
    void prepare(const FieldDefinition& field) override {
        box()->setChecked(field.values.toLower() == QLatin1String("yes"));
    }
    void showStored(const QString& stored) override {
        box()->setChecked(leadingNumber(stored) == 1.0);
    }
    QVariant typedValue() const override { return QVariant(qint16(box()->isChecked() ? 1 : 0)); }
    void empty() override {}

  private:
    QCheckBox* box() const { return static_cast<QCheckBox*>(m_widget); }
};

} // namespace

std::unique_ptr<FieldInput> FieldInput::forTypeWord(const QString& typeWord) {
    const QString word = typeWord.toLower();
    if (word == QLatin1String("textfield"))
        return std::make_unique<TextBoxInput>();
    if (word == QLatin1String("multiline textfield"))
        return std::make_unique<MultilineInput>();
    if (word == QLatin1String("dropdown"))
        return std::make_unique<DropdownInput>();
    if (word == QLatin1String("checkbox"))
        return std::make_unique<CheckboxInput>();
    return nullptr;
}

void FieldInput::attach(QWidget* widget, const FieldDefinition& field, const QString& column) {
    m_widget = widget;
    m_column = column;
    m_showsStored = false;
    prepare(field);
}

void FieldInput::show(const QVariant& stored) {
    showStored(nullAsEmpty(stored));
    m_stored = stored;
    m_shown = typedValue();
    m_showsStored = true;
}

bool FieldInput::changedByUser() const {
    return !m_showsStored || typedValue() != m_shown;
}

QVariant FieldInput::valueToStore() const {
    return changedByUser() ? typedValue() : m_stored;
}

void FieldInput::clear() {
    empty();
    m_showsStored = false;
}
