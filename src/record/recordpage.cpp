#include "record/recordpage.h"

#include "app/errortrap.h"
#include "app/numbers.h"
#include "app/pointer.h"
#include "app/twips.h"
#include "record/fieldcaption.h"
#include "record/fieldinput.h"
#include "record/recordlayout.h"
#include "store/fielddefinition.h"
#include "store/fieldvalue.h"
#include "store/recordcursor.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>
#include <map>

using namespace RecordLayout;

namespace {
void placeTwips(QWidget* widget, const QRect& r) {
    Twips::place(widget, r.x(), r.y(), r.width(), r.height());
}

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

// A field's column is the one of its name, so a file whose columns are out of step with its
// field rows (a column missing) still shows every other field's own values. Without a column
// list (the table is not there yet) it is taken to be there. Empty: the field has no column.
QString columnOfField(const QStringList& columns, const QString& name) {
    if (columns.isEmpty())
        return name;
    for (qsizetype i = 1; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return columns[i];
    return QString();
}

const FieldKind Kinds[] = {FieldKind::Textfield, FieldKind::Multiline, FieldKind::Checkbox,
                           FieldKind::Dropdown,  FieldKind::Number,    FieldKind::Currency,
                           FieldKind::Date};
} // namespace

RecordPage::RecordPage(QWidget* frame, PointerFeedback& pointer)
    : m_frame(frame), m_pointer(pointer) {
    auto* label = new FieldCaption(frame);
    label->setText(QStringLiteral("Label1"));
    label->setObjectName(QStringLiteral("Label1"));
    placeTwips(label, Caption);
    label->hide();
    Label1.push_back(label);
    m_pointer.watchForDefault(label);
    for (FieldKind k : Kinds) {
        const auto kind = FieldInput::forTypeWord(typeWordOf(k));
        QWidget* element = kind->makeWidget(frame);
        element->setObjectName(kind->arrayName());
        placeTwips(element, kind->designedRect());
        element->hide();
        if (kind->followsSizeSettings())
            m_pointer.watchForDefault(element);
        m_arrays[kind->arrayName()].push_back(element);
    }
}

RecordPage::~RecordPage() = default;

FieldCaption* RecordPage::labelElement(int element) {
    if (element == 0)
        return Label1[0];
    auto* label = new FieldCaption(m_frame);
    label->setObjectName(Label1[0]->objectName());
    label->resize(Label1[0]->size());
    label->setFont(Label1[0]->font());
    label->hide();
    m_pointer.watchForDefault(label);
    Label1.push_back(label);
    return label;
}

QWidget* RecordPage::inputElement(const FieldInput& kind, int element) {
    std::vector<QWidget*>& array = m_arrays.at(kind.arrayName());
    if (element == 0)
        return array[0];
    QWidget* input = kind.makeWidget(m_frame);
    copyTemplate(input, array[0]);
    if (kind.followsSizeSettings())
        m_pointer.watchForDefault(input);
    else
        m_pointer.leavePointerOver(input);
    array.push_back(input);
    return input;
}

void RecordPage::unload(bool emptyTexts) {
    m_inputs.clear();
    m_inputControls.clear();
    m_fieldCount = 0;
    Label1[0]->hide();
    for (auto& [name, array] : m_arrays) {
        QWidget* w = array[0];
        w->hide();
        if (!emptyTexts)
            continue;
        if (auto* line = qobject_cast<QLineEdit*>(w))
            line->clear();
        else if (auto* text = qobject_cast<QPlainTextEdit*>(w))
            text->clear();
    }
    auto unloadArray = [](auto& array) {
        for (size_t i = 1; i < array.size(); ++i)
            delete array[i];
        array.resize(1);
    };
    unloadArray(Label1);
    for (auto& [name, array] : m_arrays)
        unloadArray(array);
}

// A caption stands at its designed place; a longer one grows to the left into the free room
// before it, so it is read whole and never runs under its input. Only a name too long even
// for that room is shortened, and shown whole in its tool tip.
void RecordPage::placeCaption(FieldCaption* label, int column, int top) {
    const int right = InputLeft[column] - CaptionGap;
    const int wanted =
        int(label->fontMetrics().horizontalAdvance(label->text()) * Twips::perPixelX(label)) +
        CaptionGap;
    const int width = std::max(Caption.width(), wanted);
    const int left = std::max(CaptionRoomLeft[column], std::min(LabelLeft[column], right - width));
    Twips::place(label, left, top, std::min(width, right - left), Caption.height());
}

void RecordPage::placeInput(QWidget* input, const FieldInput& kind, double lengthFactor, int left,
                            int top, double userWidth, double userHeight) {
    int width = int(std::clamp(400.0 * lengthFactor, 1.0, double(Frame1.width())));
    int height = kind.designedRect().height();
    // Negative sizes mean nothing to a text box: the user's size applies when both are positive.
    if (kind.followsSizeSettings() && userWidth > 0 && userHeight > 0) {
        width = int(std::min(userWidth, 100000.0) * Twips::perPixelX(m_frame));
        height = int(std::min(userHeight, 100000.0) * Twips::perPixelY(m_frame));
    }
    Twips::place(input, left, top, width, height);
}

void RecordPage::addInput(const FieldDefinition& field, std::unique_ptr<FieldInput> input,
                          const QString& column, int left, int top, double userWidth,
                          double userHeight) {
    double factor = leadingNumber(field.length);
    if (factor <= 0)
        factor = 1;
    QWidget* widget = inputElement(*input, m_loaded[input->arrayName()]++);
    placeInput(widget, *input, factor, left, top, userWidth, userHeight);
    input->attach(widget, field, column);
    widget->setAccessibleName(field.name);
    widget->show();
    Label1.back()->setBuddy(widget);
    if (!m_inputControls.isEmpty())
        QWidget::setTabOrder(m_inputControls.last(), widget);
    m_inputControls.append(widget);
    m_inputs.push_back(std::move(input));
}

void RecordPage::build(ErrorTrap& trap, const std::vector<FieldDefinition>& fields,
                       const QStringList& columns, int page, double userWidth, double userHeight) {
    m_inputs.clear();
    m_inputControls.clear();
    m_loaded.clear();
    int column = 0, labelTop = FirstLabelTop, inputTop = FirstInputTop;
    const size_t first = size_t(page) * FieldsPerPage;
    const size_t last = std::min(fields.size(), first + FieldsPerPage);
    for (size_t f = first; f < last; ++f) {
        const int number = int(f - first);
        const FieldDefinition& field = fields[f];
        if (number == FieldsPerColumn) {
            column = 1;
            labelTop = FirstLabelTop;
            inputTop = FirstInputTop;
        }
        trap([&] {
            FieldCaption* label = labelElement(number);
            label->setCaption(field.name);
            placeCaption(label, column, labelTop);
            label->show();
        });
        std::unique_ptr<FieldInput> input = FieldInput::forTypeWord(field.type);
        const int rowStep = RowStep + (input ? input->extraRowStep() : 0);
        const QString bound = columnOfField(columns, field.name);
        if (input && !bound.isEmpty())
            trap([&] {
                addInput(field, std::move(input), bound, InputLeft[column], inputTop, userWidth,
                         userHeight);
            });
        labelTop += rowStep;
        inputTop += rowStep;
    }
    m_fieldCount = int(last > first ? last - first : 0);
    m_elsewhere.clear();
    for (size_t f = 0; f < fields.size(); ++f) {
        const FieldKind kind = fieldKindOf(fields[f].type);
        const QString bound = columnOfField(columns, fields[f].name);
        if ((f < first || f >= last) && kind != FieldKind::Unknown && !bound.isEmpty() &&
            (hasCanonicalForm(kind) || fields[f].checks.any()))
            m_elsewhere.push_back(
                {int(f) / FieldsPerPage, fields[f].name, bound, kind, fields[f].checks});
    }
}

void RecordPage::show(ErrorTrap& trap, RecordCursor& records) {
    for (const auto& input : m_inputs) {
        // One failed read (the row went away) would fail for every field: report it once.
        if (!trap([&] { input->show(records.Fields(input->column()).Value()); }))
            break;
    }
}

bool RecordPage::write(ErrorTrap& trap, RecordCursor& records, bool cancelValues) {
    for (const auto& input : m_inputs) {
        // What the user left alone is not written at all, so a value another program stored
        // there meanwhile is kept rather than reported as a conflict.
        if (!cancelValues && !input->changedByUser())
            continue;
        const QVariant value = cancelValues ? input->cancelValue() : input->valueToStore();
        if (!trap([&] { records.Fields(input->column()).setValue(value); }))
            return false;
    }
    return true;
}

std::pair<QWidget*, QString> RecordPage::firstProblem() const {
    // A value left as it was is checked too: an older record may break a check set since.
    for (const auto& input : m_inputs) {
        if (const QString problem = input->problem(); !problem.isEmpty())
            return {input->widget(), QStringLiteral("The field \"%1\" %2.")
                                         .arg(input->widget()->accessibleName(), problem)};
    }
    return {nullptr, QString()};
}

RecordPage::ProblemElsewhere RecordPage::firstProblemElsewhere(RecordCursor& records) const {
    for (const FieldElsewhere& field : m_elsewhere) {
        const QVariant value = records.Fields(field.column).Value();
        if (const QString problem = storedValueProblem(
                field.kind, field.checks, value.isNull() ? QString() : value.toString(), QLocale());
            !problem.isEmpty())
            return {field.page, field.name,
                    QStringLiteral("The field \"%1\" on page %2 %3.")
                        .arg(field.name, QString::number(field.page + 1), problem)};
    }
    return {};
}

void RecordPage::clear() {
    for (const auto& input : m_inputs)
        input->clear();
}

void RecordPage::enable(ErrorTrap& trap, bool enabled) {
    for (auto& [name, array] : m_arrays)
        for (QWidget* element : array)
            trap([&] { element->setEnabled(enabled); });
}

QString RecordPage::firstInputText() const {
    return m_inputs.empty() ? QString() : m_inputs.front()->defaultText();
}

QStringList RecordPage::captions() const {
    QStringList captions;
    for (int i = 0; i < m_fieldCount && i < int(Label1.size()); ++i)
        captions << Label1[size_t(i)]->text();
    return captions;
}
