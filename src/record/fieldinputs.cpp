#include "record/fieldinputs.h"

#include "app/numbers.h"
#include "store/fielddefinition.h"
#include "store/schema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <limits>

namespace FieldInputs {

namespace {
// A drop-down keeps a stored text that is not one of its items as an extra item, so the text
// is shown and saved back unchanged; the extra item is marked with this role.
constexpr int KeptValueRole = Qt::UserRole + 1;

void copyTemplate(QWidget* element, QWidget* templateElement) {
    element->setObjectName(templateElement->objectName());
    element->resize(templateElement->size());
    element->setFont(templateElement->font());
    element->setStyleSheet(templateElement->styleSheet());
    element->setPalette(templateElement->palette());
    element->setEnabled(templateElement->isEnabled());
    element->setFocusPolicy(templateElement->focusPolicy());
    element->hide();
}

void removeKeptValue(QComboBox* combo) {
    for (int i = combo->count() - 1; i >= 0; --i)
        if (combo->itemData(i, KeptValueRole).toBool())
            combo->removeItem(i);
}
} // namespace

Kind kindOfTypeWord(const QString& typeWord) {
    const QString word = typeWord.toLower();
    if (word == QLatin1String("textfield"))
        return Kind::Textfield;
    if (word == QLatin1String("multiline textfield"))
        return Kind::Multiline;
    if (word == QLatin1String("dropdown"))
        return Kind::Dropdown;
    if (word == QLatin1String("checkbox"))
        return Kind::Checkbox;
    return Kind::None;
}

Kind kindOfControl(const QWidget* control) {
    const QString name = control->objectName().toLower();
    if (name == QLatin1String("check2"))
        return Kind::Checkbox;
    if (name == QLatin1String("combo1"))
        return Kind::Dropdown;
    if (name == QLatin1String("text2"))
        return Kind::Multiline;
    return Kind::Textfield;
}

QString arrayName(Kind kind) {
    switch (kind) {
    case Kind::Textfield:
        return QStringLiteral("Text1");
    case Kind::Multiline:
        return QStringLiteral("Text2");
    case Kind::Dropdown:
        return QStringLiteral("Combo1");
    case Kind::Checkbox:
        return QStringLiteral("Check2");
    case Kind::None:
        break;
    }
    return QString();
}

QWidget* loadElement(Kind kind, QWidget* templateElement) {
    QWidget* parent = templateElement->parentWidget();
    QWidget* element = nullptr;
    switch (kind) {
    case Kind::Textfield:
        element = new QLineEdit(parent);
        break;
    case Kind::Multiline:
        element = new QPlainTextEdit(parent);
        break;
    case Kind::Dropdown:
        element = new QComboBox(parent);
        break;
    case Kind::Checkbox:
        element = new QCheckBox(parent);
        break;
    case Kind::None:
        return nullptr;
    }
    copyTemplate(element, templateElement);
    return element;
}

bool followsSizeSettings(Kind kind) {
    return kind == Kind::Textfield || kind == Kind::Multiline;
}

int extraRowStep(Kind kind) {
    return kind == Kind::Multiline ? 150 : 0;
}

void prepare(QWidget* control, const FieldDefinition& field) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->clear();
        combo->addItems(decodeValues(field.values));
    } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
        check->setChecked(field.values.toLower() == QLatin1String("yes"));
    } else if (auto* line = qobject_cast<QLineEdit*>(control)) {
        // A text box cuts its text at 32767 characters by default, and Save would then store
        // the cut value over a longer one.
        line->setMaxLength(std::numeric_limits<int>::max());
    }
}

void show(QWidget* control, const QString& stored) {
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
        check->setChecked(leadingNumber(stored) == 1.0);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        removeKeptValue(combo);
        if (stored.isEmpty()) {
            combo->setCurrentIndex(-1);
            return;
        }
        int index = combo->findText(stored, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0) {
            combo->addItem(stored);
            index = combo->count() - 1;
            combo->setItemData(index, true, KeptValueRole);
        }
        combo->setCurrentIndex(index);
    } else if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->setText(stored.trimmed());
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        text->setPlainText(stored.trimmed());
    }
}

QVariant valueToStore(const QWidget* control) {
    if (auto* check = qobject_cast<const QCheckBox*>(control))
        return QVariant(qint16(check->isChecked() ? 1 : 0));
    return defaultText(control);
}

QVariant cancelValue(const QWidget* control) {
    if (qobject_cast<const QCheckBox*>(control))
        return QVariant(qint16(0));
    return QString(QLatin1String(""));
}

QString defaultText(const QWidget* control) {
    if (auto* check = qobject_cast<const QCheckBox*>(control))
        return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentIndex() < 0 ? QString(QLatin1String("")) : combo->currentText();
    if (auto* line = qobject_cast<const QLineEdit*>(control))
        return line->text();
    if (auto* text = qobject_cast<const QPlainTextEdit*>(control))
        return text->toPlainText();
    return QString();
}

void clear(QWidget* control) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        removeKeptValue(combo);
        combo->setCurrentIndex(-1);
    } else if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->clear();
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        text->clear();
    }
}

} // namespace FieldInputs
