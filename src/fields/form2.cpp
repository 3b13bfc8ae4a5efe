#include "fields/form2.h"

#include "app/errortrap.h"
#include "app/messages.h"
#include "app/numbers.h"
#include "app/pointer.h"
#include "app/shell.h"
#include "app/twips.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/fieldvalue.h"
#include "store/schema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <tuple>

namespace {
// The designed client area in twips.
constexpr int FormWidth = 8040;
constexpr int FormHeight = 4185;

enum FieldTypeIndex { CheckboxType = 0, DropdownType = 1, TextfieldType = 2, MultilineType = 3 };

const QString NewFieldSize = QStringLiteral("8");
} // namespace

Form2::Form2(MessageService& messages, const AppPaths& paths, const Store& store,
             const std::optional<FieldDefinition>& edited, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_paths(paths), m_store(store), m_edited(edited) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(edited ? UpdateCaption : AddCaption);
    createControls();
    connectSignals();
    Form_Load();
    if (edited)
        presetField(*edited);
}

// The name of a field never changes; its type first, as the type's reaction empties the
// value list filled next.
void Form2::presetField(const FieldDefinition& field) {
    Text1->setText(field.name);
    Text1->setCursorPosition(0); // a long name shown from its beginning
    Text1->setEnabled(false);
    setFieldTypeText(field.type);
    Text2->setText(field.length);
    cboFieldValues->clear();
    cboFieldValues->addItems(decodeValues(field.values));
    cboFieldValues->setCurrentIndex(-1);
    // The field list knows a field's four columns; its checks are read here.
    FieldChecks checks = field.checks;
    if (!checks.any() && connectionOpen()) {
        try {
            const auto all = readFieldChecks(*m_connection);
            if (const auto found = all.find(field.name); found != all.end())
                checks = found->second;
        } catch (const RuntimeError& e) {
            m_messages.tell(e.description());
        }
    }
    showChecks(checks);
}

void Form2::showChecks(const FieldChecks& checks) {
    const FieldKind kind = fieldKindOf(cboFieldType->currentText());
    chkRequired->setChecked(checks.required);
    txtMinimum->setText(displayFieldValue(kind, checks.minimum, QLocale()));
    txtMaximum->setText(displayFieldValue(kind, checks.maximum, QLocale()));
    txtDecimals->setText(checks.decimals < 0 ? QString() : QString::number(checks.decimals));
}

Form2::~Form2() = default;

void Form2::createControls() {
    setFixedSize(Twips::toPixelsX(FormWidth, this), Twips::toPixelsY(FormHeight, this));
    const auto label = [this](const QString& caption, QWidget* parent, int left, int top, int width,
                              int height) {
        auto* l = new QLabel(caption, parent);
        Twips::place(l, left, top, width, height);
        return l;
    };
    const auto button = [](const QString& name, const QString& caption, QWidget* parent, int left,
                           int top, int width, int height) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(name);
        // Enter presses the focused button; elsewhere it presses OK, the default.
        b->setAutoDefault(true);
        Twips::place(b, left, top, width, height);
        return b;
    };

    Label1.push_back(label(QStringLiteral("Field Caption:"), this, 180, 165, 1125, 225));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Twips::place(Text1, 1440, 120, 6480, 345);
    Label1.push_back(label(QStringLiteral("Field Type:"), this, 180, 665, 885, 225));
    cboFieldType = new QComboBox(this);
    cboFieldType->setObjectName(QStringLiteral("cboFieldType"));
    cboFieldType->addItems({QStringLiteral("Checkbox"), QStringLiteral("Dropdown"),
                            QStringLiteral("Textfield"), QStringLiteral("Multiline Textfield"),
                            typeWordOf(FieldKind::Number), typeWordOf(FieldKind::Currency),
                            typeWordOf(FieldKind::Date)});
    Twips::place(cboFieldType, 1440, 620, 6480, 345);
    // The size is carried along for the record window but never shown here.
    Label1.push_back(label(QStringLiteral("Field Size:"), this, 180, 420, 840, 225));
    Label1[2]->hide();
    Text2 = new QLineEdit(NewFieldSize, this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Twips::place(Text2, 1440, 360, 6480, 375);
    Text2->hide();
    for (QLabel* l : Label1)
        l->setObjectName(QStringLiteral("Label1"));
    Label1[0]->setBuddy(Text1);
    Label1[1]->setBuddy(cboFieldType);

    Frame1 = new QGroupBox(QStringLiteral("If Field Type is Dropdown"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Twips::place(Frame1, 120, 1110, 7800, 1335);
    lblValues = label(QStringLiteral("Field Values:"), Frame1, 240, 345, 1065, 225);
    lblValues->setObjectName(QStringLiteral("lblValues"));
    cboFieldValues = new QComboBox(Frame1);
    cboFieldValues->setObjectName(QStringLiteral("cboFieldValues"));
    Twips::place(cboFieldValues, 1500, 300, 6045, 345);
    lblValues->setBuddy(cboFieldValues);
    setValueListEnabled(false);
    PushButton1 = button(QStringLiteral("PushButton1"), QStringLiteral("Add Values"), Frame1, 1500,
                         750, 1860, 405);
    PushButton5 = button(QStringLiteral("PushButton5"), QStringLiteral("Delete Selected"), Frame1,
                         3600, 750, 1860, 405);
    PushButton4 = button(QStringLiteral("PushButton4"), QStringLiteral("Clear All"), Frame1, 5640,
                         750, 1860, 405);
    Frame2 = new QGroupBox(QStringLiteral("Checks"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Twips::place(Frame2, 120, 2520, 7800, 1035);
    chkRequired = new QCheckBox(QStringLiteral("A value must be given"), Frame2);
    chkRequired->setObjectName(QStringLiteral("chkRequired"));
    Twips::place(chkRequired, 240, 300, 7300, 285);
    const auto numberBox = [&](const char* name, const QString& caption, int left) {
        QLabel* l = label(caption, Frame2, left, 645, 900, 225);
        auto* box = new QLineEdit(Frame2);
        box->setObjectName(QLatin1String(name));
        Twips::place(box, left + 900, 600, 1500, 315);
        l->setBuddy(box);
        return box;
    };
    txtMinimum = numberBox("txtMinimum", QStringLiteral("Minimum:"), 240);
    txtMaximum = numberBox("txtMaximum", QStringLiteral("Maximum:"), 2760);
    txtDecimals = numberBox("txtDecimals", QStringLiteral("Decimals:"), 5280);
    txtDecimals->resize(Twips::toPixelsX(1365, this), txtDecimals->height());
    PushButton2 =
        button(QStringLiteral("PushButton2"), QStringLiteral("OK"), this, 120, 3660, 3840, 405);
    PushButton3 = button(QStringLiteral("PushButton3"), QStringLiteral("Cancel"), this, 4080, 3660,
                         3840, 405);
    PushButton2->setDefault(true);

    m_pointer = new PointerFeedback(this);
    m_pointer->watchButtons();
    m_pointer->watchForDefault(Text1);
    m_pointer->watchForDefault(Frame1);
}

void Form2::connectSignals() {
    // The user's choice, also of the type already shown, runs the reaction; code that selects
    // a type runs it through setFieldTypeText.
    connect(cboFieldType, &QComboBox::activated, this, &Form2::cboFieldType_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form2::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
    Text1->installEventFilter(this);
}

void Form2::Form_Load() {
    ErrorTrap trap(m_messages, QStringLiteral("Form2"), QStringLiteral("Form_Load"));
    trap([&] {
        SetButtonFaceColours(this);
        setWindowIcon(programIcon());
    });
    trap([&] { m_connection = m_store.open(); });
    trap([&] { setFieldTypeText(cboFieldType->itemText(TextfieldType)); });
    trap([&] { m_pointer->setCustomCursor(loadHandCursor(m_paths.handCursor())); });
}

void Form2::setFieldTypeText(const QString& type) {
    // A prepared data file may store the type words in small letters.
    cboFieldType->setCurrentIndex(cboFieldType->findText(type, Qt::MatchFixedString));
    cboFieldType_Click();
}

void Form2::setValueListEnabled(bool enabled) {
    lblValues->setEnabled(enabled);
    cboFieldValues->setEnabled(enabled);
}

void Form2::cboFieldType_Click() {
    setValueListEnabled(false);
    cboFieldValues->clear();
    // Bounds and decimals belong to numbers and money alone, and read by the kind chosen.
    const FieldKind kind = fieldKindOf(cboFieldType->currentText());
    const bool numeric = kind == FieldKind::Number || kind == FieldKind::Currency;
    for (QLineEdit* box : {txtMinimum, txtMaximum, txtDecimals}) {
        box->clear();
        box->setEnabled(numeric);
    }
    switch (cboFieldType->currentIndex()) {
    case CheckboxType:
        setValueListEnabled(true);
        cboFieldValues->addItems({QStringLiteral("Yes"), QStringLiteral("No")});
        // A filled list must not pretend the user picked its first item.
        cboFieldValues->setCurrentIndex(-1);
        break;
    case DropdownType:
        setValueListEnabled(true);
        break;
    default:
        break;
    }
}

void Form2::PushButton1_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form2"), QStringLiteral("PushButton1_Click"));
    trap([&] {
        if (!cboFieldValues->isEnabled())
            return;
        const std::optional<QString> value =
            m_messages.input(QStringLiteral("Enter value: "),
                             QStringLiteral("Input combobox default values"), QString());
        if (!value || value->trimmed().isEmpty())
            return;
        const int selected = cboFieldValues->currentIndex();
        cboFieldValues->addItem(*value);
        cboFieldValues->setCurrentIndex(selected);
    });
}

void Form2::PushButton4_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form2"), QStringLiteral("PushButton4_Click"));
    trap([&] {
        if (cboFieldValues->isEnabled())
            cboFieldValues->clear();
    });
}

void Form2::PushButton5_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form2"), QStringLiteral("PushButton5_Click"));
    trap([&] {
        const int selected = cboFieldValues->currentIndex();
        if (!cboFieldValues->isEnabled() || selected < 0)
            return;
        if (!m_messages.askYesNoDefaultNo(QStringLiteral("Do you really want to delete value ") +
                                              cboFieldValues->itemText(selected) + QLatin1Char('?'),
                                          QStringLiteral("Question")))
            return;
        cboFieldValues->removeItem(selected);
        cboFieldValues->setCurrentIndex(-1);
    });
}

void Form2::Text1_LostFocus() {
    if (isNumeric(Text1->text()))
        Text1->setText(Text1->text() + QLatin1Char('_'));
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::FocusOut) {
        // Another window coming up (a message box, a menu) is not leaving the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Text1_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

bool Form2::fieldExists(const QString& name) {
    // A data file that cannot be read here is reported by the add that follows.
    if (!connectionOpen())
        return false;
    try {
        for (const FieldDefinition& field : readFieldDefinitions(*m_connection))
            if (field.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
    } catch (const RuntimeError&) {
    }
    return false;
}

bool Form2::acceptInput(QString& name) {
    name = Text1->text().trimmed();
    if (name.isEmpty()) {
        m_messages.tell(QStringLiteral("You forgot to input field caption."));
        Text1->setFocus();
        return false;
    }
    if (cboFieldType->currentIndex() < 0) {
        m_messages.tell(QStringLiteral("You forgot to select field type."));
        cboFieldType->setFocus();
        return false;
    }
    if (name.toLower() == QLatin1String("id")) {
        m_messages.tell(QStringLiteral("Cannot add this field."));
        return false;
    }
    if (!addMode())
        return true;
    // Enter can press OK without the caption box losing focus; no column is a bare number.
    if (isNumeric(name)) {
        name += QLatin1Char('_');
        Text1->setText(name);
    }
    if (fieldExists(name)) {
        m_messages.tell(QStringLiteral("Field already exists"));
        Text1->setFocus();
        Text1->selectAll();
        return false;
    }
    // Without a connection the add that follows reports the store.
    const QString problem = connectionOpen() ? columnNameProblem(*m_connection, name) : QString();
    if (!problem.isEmpty()) {
        m_messages.tell(problem);
        Text1->setFocus();
        return false;
    }
    return true;
}

std::optional<FieldChecks> Form2::typedChecks() {
    FieldChecks checks;
    checks.required = chkRequired->isChecked();
    const FieldKind kind = fieldKindOf(cboFieldType->currentText());
    const auto refuse = [this](QLineEdit* box, const QString& text) {
        m_messages.tell(text);
        box->setFocus();
        box->selectAll();
        return std::nullopt;
    };
    for (auto [box, bound, what] : {std::tuple{txtMinimum, &checks.minimum, "minimum"},
                                    std::tuple{txtMaximum, &checks.maximum, "maximum"}}) {
        if (!box->isEnabled())
            continue;
        const ParsedValue value = parseFieldValue(kind, box->text(), QLocale());
        if (!value.ok())
            return refuse(box,
                          QStringLiteral("The %1 %2.").arg(QLatin1String(what), value.problem));
        *bound = value.canonical;
    }
    if (!checks.minimum.isEmpty() && !checks.maximum.isEmpty() &&
        checks.minimum.toDouble() > checks.maximum.toDouble())
        return refuse(txtMinimum, QStringLiteral("The minimum is above the maximum."));
    const int mostDecimals = kind == FieldKind::Currency ? 2 : 20;
    if (txtDecimals->isEnabled() && !txtDecimals->text().trimmed().isEmpty()) {
        bool whole = false;
        checks.decimals = txtDecimals->text().trimmed().toInt(&whole);
        if (!whole || checks.decimals < 0 || checks.decimals > mostDecimals)
            return refuse(txtDecimals,
                          QStringLiteral("The decimals must be a whole number from 0 to %1.")
                              .arg(mostDecimals));
    }
    return checks;
}

Connection& Form2::connection() {
    if (!connectionOpen())
        throw Errors::objectClosed();
    return *m_connection;
}

bool Form2::connectionOpen() const {
    return m_connection && m_connection->State() != adStateClosed;
}

QStringList Form2::valueItems() const {
    QStringList items;
    for (int i = 0; i < cboFieldValues->count(); ++i)
        items << cboFieldValues->itemText(i);
    return items;
}

bool Form2::addField(ErrorTrap& trap, const QString& name, const QString& type,
                     const QString& length, const FieldChecks& checks) {
    const FieldDefinition field{name, type, length,
                                encodeValues(valueItems(), cboFieldValues->currentIndex()), checks};
    // Column and row go in together; on failure the dialog stays open with the user's input.
    if (!trap([&] { m_change = FieldChange::add(connection(), field); }))
        return false;
    m_stored = field;
    return true;
}

bool Form2::updateField(ErrorTrap& trap, const QString& type, const QString& length,
                        const FieldChecks& checks) {
    // The name never changes, so the row is found by the name exactly as stored.
    const FieldDefinition field{m_edited->name, type, length,
                                encodeValues(valueItems(), cboFieldValues->currentIndex()), checks};
    QString refusal;
    if (!trap([&] {
            try {
                m_change = FieldChange::update(connection(), field);
            } catch (const ValuesNotOfKind& e) {
                refusal = e.description();
            }
        }))
        return false;
    if (!refusal.isEmpty()) {
        m_messages.tell(refusal);
        cboFieldType->setFocus();
        return false;
    }
    m_stored = field;
    return true;
}

void Form2::PushButton2_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form2"), QStringLiteral("PushButton2_Click"));
    QString name;
    if (!acceptInput(name))
        return;
    const std::optional<FieldChecks> checks = typedChecks();
    if (!checks)
        return;
    const QString type = cboFieldType->currentText();
    const QString length = Text2->text();
    const bool stored = addMode() ? addField(trap, name, type, length, *checks)
                                  : updateField(trap, type, length, *checks);
    if (!stored)
        return;
    accept();
}

void Form2::PushButton3_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form2"), QStringLiteral("PushButton3_Click"));
    trap([&] { reject(); });
}

void Form2::done(int result) {
    Form_QueryUnload();
    QDialog::done(result);
}

void Form2::Form_QueryUnload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    ErrorTrap trap(m_messages, QStringLiteral("Form2"), QStringLiteral("Form_QueryUnload"));
    trap([&] {
        if (connectionOpen())
            m_connection->Close();
    });
    m_connection.reset();
}
