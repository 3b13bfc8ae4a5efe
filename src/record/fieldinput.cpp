#include "record/fieldinput.h"

#include "app/numbers.h"
#include "store/fielddefinition.h"
#include "store/fieldvalue.h"
#include "store/schema.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <limits>

namespace {

QString nullAsEmpty(const QVariant& value) {
    return value.isNull() ? QString(QLatin1String("")) : value.toString();
}

class TextBoxInput : public FieldInput {
  public:
    FieldKind kind() const override { return FieldKind::Textfield; }
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
    FieldKind kind() const override { return FieldKind::Multiline; }
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
    FieldKind kind() const override { return FieldKind::Dropdown; }
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
    FieldKind kind() const override { return FieldKind::Checkbox; }
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

// Number, Currency and Date: a text box that shows the stored canonical text in the user's
// locale and stores what is typed (in the locale's form or the canonical one) canonically.
class CanonicalInput : public FieldInput {
  public:
    QRect designedRect() const override { return {1845, 225, 400, 345}; }
    QWidget* makeWidget(QWidget* parent) const override {
        auto* box = new QLineEdit(parent);
        box->setAlignment(kind() == FieldKind::Date ? Qt::AlignLeft : Qt::AlignRight);
        return box;
    }
    QString defaultText() const override { return box()->text(); }

  protected:
    QString kindProblem() const override { return parsed().problem; }
    // A stored text that is not canonical is shown and kept whole, however long.
    void prepare(const FieldDefinition&) override {
        box()->setMaxLength(std::numeric_limits<int>::max());
    }
    void showStored(const QString& stored) override {
        box()->setText(displayFieldValue(kind(), stored, QLocale()));
        box()->setCursorPosition(0);
    }
    QVariant typedValue() const override {
        const ParsedValue value = parsed();
        return value.ok() ? value.canonical : box()->text();
    }
    void empty() override { box()->clear(); }
    ParsedValue parsed() const { return parseFieldValue(kind(), box()->text(), QLocale()); }
    QLineEdit* box() const { return static_cast<QLineEdit*>(m_widget); }
};

class NumberInput : public CanonicalInput {
  public:
    QString arrayName() const override { return QStringLiteral("Number1"); }

    FieldKind kind() const override { return FieldKind::Number; }
};

class CurrencyInput : public CanonicalInput {
  public:
    QString arrayName() const override { return QStringLiteral("Currency1"); }

    FieldKind kind() const override { return FieldKind::Currency; }
};

// A date box has a calendar at its end: the day picked replaces the date typed, and a time
// typed after it stays.
class DateInput : public CanonicalInput {
  public:
    QString arrayName() const override { return QStringLiteral("Date1"); }
    QWidget* makeWidget(QWidget* parent) const override {
        auto* box = static_cast<QLineEdit*>(CanonicalInput::makeWidget(parent));
        // Without an icon theme the style's arrow stands for the calendar.
        QAction* pick =
            box->addAction(QIcon::fromTheme(QStringLiteral("x-office-calendar"),
                                            box->style()->standardIcon(QStyle::SP_ArrowDown)),
                           QLineEdit::TrailingPosition);
        pick->setText(QStringLiteral("Choose a date"));
        pick->setToolTip(pick->text());
        pick->setObjectName(QStringLiteral("chooseDate"));
        QObject::connect(pick, &QAction::triggered, box, [box] { showCalendar(box); });
        return box;
    }

    FieldKind kind() const override { return FieldKind::Date; }

  private:
    static void showCalendar(QLineEdit* box) {
        if (box->isReadOnly() || !box->isEnabled())
            return;
        const ParsedValue typed = parseFieldValue(FieldKind::Date, box->text(), QLocale());
        auto* calendar = new QCalendarWidget(box);
        calendar->setObjectName(QStringLiteral("calendar"));
        calendar->setWindowFlags(Qt::Popup);
        calendar->setAttribute(Qt::WA_DeleteOnClose);
        if (typed.ok() && !typed.canonical.isEmpty())
            calendar->setSelectedDate(QDate::fromString(typed.canonical.left(10), Qt::ISODate));
        QObject::connect(calendar, &QCalendarWidget::clicked, box, [box, calendar, typed](QDate d) {
            QString canonical = d.toString(Qt::ISODate);
            if (typed.ok() && typed.canonical.size() > 10)
                canonical += typed.canonical.mid(10);
            box->setText(displayFieldValue(FieldKind::Date, canonical, QLocale()));
            calendar->close();
        });
        calendar->move(box->mapToGlobal(QPoint(0, box->height())));
        calendar->show();
    }
};

} // namespace

std::unique_ptr<FieldInput> FieldInput::forTypeWord(const QString& typeWord) {
    switch (fieldKindOf(typeWord)) {
    case FieldKind::Textfield:
        return std::make_unique<TextBoxInput>();
    case FieldKind::Multiline:
        return std::make_unique<MultilineInput>();
    case FieldKind::Dropdown:
        return std::make_unique<DropdownInput>();
    case FieldKind::Checkbox:
        return std::make_unique<CheckboxInput>();
    case FieldKind::Number:
        return std::make_unique<NumberInput>();
    case FieldKind::Currency:
        return std::make_unique<CurrencyInput>();
    case FieldKind::Date:
        return std::make_unique<DateInput>();
    case FieldKind::Unknown:
        break;
    }
    return nullptr;
}

void FieldInput::attach(QWidget* widget, const FieldDefinition& field, const QString& column) {
    m_widget = widget;
    m_column = column;
    m_checks = field.checks;
    m_showsStored = false;
    prepare(field);
}

void FieldInput::show(const QVariant& stored) {
    showStored(nullAsEmpty(stored));
    m_stored = stored;
    m_shown = typedValue();
    m_showsStored = true;
}

QString FieldInput::problem() const {
    // The value as stored, which Save writes back as it is: canonical or not, it must be of the
    // field's kind and keep its checks.
    if (!changedByUser())
        return storedValueProblem(kind(), m_checks, nullAsEmpty(m_stored), QLocale());
    if (QString wrong = kindProblem(); !wrong.isEmpty())
        return wrong;
    return checkProblem(kind(), m_checks, typedValue().toString(), QLocale());
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
