#include "record/form1.h"

#include "app/errortrap.h"
#include "app/flags.h"
#include "app/numbers.h"
#include "app/pointer.h"
#include "app/twips.h"
#include "record/fieldcaption.h"
#include "record/fieldinput.h"
#include "record/recordlayout.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/recordset.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <map>

using namespace RecordLayout;

namespace {
// How long the window waits for the records table before it says so.
constexpr qint64 TableWaitMs = 5000;

// Lets the window paint while a page is built. The user's clicks, keys and wheel turns wait
// until the build is over, so no command or page switch runs inside it.
void letPendingEventsRun() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// A field's column is the one of its name, so a file whose columns are out of step with its
// field rows (a column missing) still shows every other field's own values. Without a column
// list (the table is not there yet) the position rule applies. -1: the field has no column.
int columnOfField(const QStringList& columns, const QString& name, int position) {
    if (columns.isEmpty())
        return position;
    for (int i = 1; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
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
} // namespace

// Marks the window as building a page for as long as it lives; a page asked for meanwhile is
// shown once the build is over.
class Form1::PageBuild {
  public:
    explicit PageBuild(Form1& window) : m_window(window) { m_window.m_buildingPage = true; }
    ~PageBuild() {
        m_window.m_buildingPage = false;
        m_window.showPendingPage();
    }
    PageBuild(const PageBuild&) = delete;
    PageBuild& operator=(const PageBuild&) = delete;

  private:
    Form1& m_window;
};

void Form1::showPendingPage() {
    const int tab = std::exchange(m_pendingTab, -1);
    if (tab < 0 || tab >= SSTab1->count() || tab == SSTab1->currentIndex())
        return;
    QTimer::singleShot(0, this, [this, tab] {
        if (tab < SSTab1->count())
            SSTab1->setCurrentIndex(tab);
    });
}

std::vector<QWidget*>& Form1::controlArray(const QString& name) {
    if (name == Text2[0]->objectName())
        return Text2;
    if (name == Combo1[0]->objectName())
        return Combo1;
    if (name == Check2[0]->objectName())
        return Check2;
    return Text1;
}

FieldCaption* Form1::labelElement(int element) {
    if (element == 0)
        return Label1[0];
    auto* label = new FieldCaption(Frame1);
    label->setObjectName(Label1[0]->objectName());
    label->resize(Label1[0]->size());
    label->setFont(Label1[0]->font());
    label->hide();
    m_pointer->watchForDefault(label);
    Label1.push_back(label);
    letPendingEventsRun();
    return label;
}

QWidget* Form1::inputElement(const FieldInput& kind, int element) {
    std::vector<QWidget*>& array = controlArray(kind.arrayName());
    if (element == 0)
        return array[0];
    QWidget* input = kind.makeWidget(Frame1);
    copyTemplate(input, array[0]);
    if (kind.followsSizeSettings())
        m_pointer->watchForDefault(input);
    else
        m_pointer->leavePointerOver(input);
    array.push_back(input);
    letPendingEventsRun();
    return input;
}

void Form1::unloadGeneratedControls(bool emptyTemplateTexts) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label1[0], Text1[0], Check2[0], Text2[0], Combo1[0]}) {
        w->hide();
        if (!emptyTemplateTexts)
            continue;
        if (auto* line = qobject_cast<QLineEdit*>(w))
            line->clear();
        else if (auto* text = qobject_cast<QPlainTextEdit*>(w))
            text->clear();
    }
    auto unload = [](auto& array) {
        for (size_t i = 1; i < array.size(); ++i)
            delete array[i];
        array.resize(1);
    };
    unload(Label1);
    unload(Text1);
    unload(Check2);
    unload(Text2);
    unload(Combo1);
}

// Pages are rebuilt without raising page clicks of their own: only the user's clicks count.
void Form1::rebuildPages(int fieldCount) {
    const QSignalBlocker blocker(SSTab1);
    const int pages = std::max(1, (fieldCount + FieldsPerPage - 1) / FieldsPerPage);
    while (SSTab1->count() > pages)
        delete SSTab1->widget(SSTab1->count() - 1);
    while (SSTab1->count() < pages)
        SSTab1->addTab(new QWidget, QString());
    for (int i = 0; i < pages; ++i)
        SSTab1->setTabText(i, QStringLiteral("Page %1").arg(i + 1));
}

// A page past the last one (fields were deleted meanwhile) shows the last page.
int Form1::selectPage(int pTab, int pageCount) {
    const int page = std::clamp(pTab, 0, pageCount - 1);
    const QSignalBlocker blocker(SSTab1);
    SSTab1->setCurrentIndex(page);
    m_shownTab = page;
    lblRecord->setVisible(page == 0);
    return page;
}

// A caption stands at its designed place; a longer one grows to the left into the free room
// before it, so it is read whole and never runs under its input. Only a name too long even
// for that room is shortened, and shown whole in its tool tip.
void Form1::placeCaption(FieldCaption* label, int column, int top) {
    const QRect designed = Caption;
    const int right = InputLeft[column] - CaptionGap;
    const int wanted =
        int(label->fontMetrics().horizontalAdvance(label->text()) * Twips::perPixelX(label)) +
        CaptionGap;
    const int width = std::max(designed.width(), wanted);
    const int left = std::max(CaptionRoomLeft[column], std::min(LabelLeft[column], right - width));
    Twips::place(label, left, top, std::min(width, right - left), designed.height());
}

void Form1::placeInput(QWidget* input, const FieldInput& kind, double lengthFactor, int left,
                       int top) {
    int width = int(std::clamp(400.0 * lengthFactor, 1.0, double(RecordLayout::Frame1.width())));
    int height = kind.designedRect().height();
    const double w = leadingNumber(Text3->text());
    const double h = leadingNumber(Text4->text());
    // Negative sizes mean nothing to a text box: the user's size applies when both are positive.
    if (kind.followsSizeSettings() && w > 0 && h > 0) {
        width = int(std::min(w, 100000.0) * Twips::perPixelX(this));
        height = int(std::min(h, 100000.0) * Twips::perPixelY(this));
    }
    Twips::place(input, left, top, width, height);
}

void Form1::layoutPage(const std::vector<FieldDefinition>& fields, const QStringList& columns,
                       int page) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"),
                   m_generating ? QStringLiteral("generateControls")
                                : QStringLiteral("setControls"));
    m_inputControls.clear();
    m_inputs.clear();
    std::map<QString, int> loaded; // elements used per control array
    int column = 0, labelTop = FirstLabelTop, inputTop = FirstInputTop;
    const size_t first = size_t(page) * FieldsPerPage;
    const size_t last = std::min(fields.size(), first + FieldsPerPage);
    QWidget* previousInput = nullptr;
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
        const int bound = columnOfField(columns, field.name, int(f) + 1);
        if (input && bound > 0) {
            double factor = leadingNumber(field.length);
            if (factor <= 0)
                factor = 1;
            trap([&] {
                QWidget* widget = inputElement(*input, loaded[input->arrayName()]++);
                placeInput(widget, *input, factor, InputLeft[column], inputTop);
                input->attach(widget, field, bound);
                widget->setAccessibleName(field.name);
                widget->show();
                Label1.back()->setBuddy(widget);
                if (previousInput)
                    QWidget::setTabOrder(previousInput, widget);
                previousInput = widget;
                m_inputControls.append(widget);
                m_inputs.push_back(std::move(input));
            });
        }
        labelTop += rowStep;
        inputTop += rowStep;
    }
    m_pageFieldCount = int(last > first ? last - first : 0);
}

bool Form1::waitForCustomTable() {
    QElapsedTimer waited;
    waited.start();
    while (!TableExists(m_paths.dataFile(), Sql::CustomTableName)) {
        if (waited.elapsed() > TableWaitMs) {
            m_messages.tell(QStringLiteral("The records cannot be shown: the data file '%1' holds "
                                           "no table CustomTable.")
                                .arg(m_paths.dataFile()));
            return false;
        }
        letPendingEventsRun();
        QThread::msleep(50);
    }
    return true;
}

void Form1::openRecords() {
    m_records->setCursorLocation(adUseClient);
    m_records->Open(Sql::SelectCustomTable, *m_connection, adOpenKeyset, adLockOptimistic);
}

void Form1::generateControls(int pTab) {
    // A rebuild asked for while a page is built (by a timer or a closing window) follows it.
    if (m_buildingPage) {
        QTimer::singleShot(0, this, [this, pTab] { generateControls(pTab); });
        return;
    }
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("generateControls"));
    trap.resumeSilentlyOn(ErrorNumber::TableNotFound);
    const PageBuild build(*this);
    m_generating = true;
    HourglassPointer hourglass(*m_pointer);
    unloadGeneratedControls(false);
    m_inputControls.clear();
    m_inputs.clear();
    m_pageFieldCount = 0;
    // Without a connection the failure was reported once at start-up; nothing more to build.
    const bool connected = m_connection && m_connection->State() != adStateClosed;
    std::vector<FieldDefinition> fields;
    QStringList columns;
    if (connected)
        trap([&] {
            fields = readFieldDefinitions(*m_connection);
            columns = readRecordColumns(*m_connection);
        });
    rebuildPages(int(fields.size()));
    const int page = selectPage(pTab, SSTab1->count());
    layoutPage(fields, columns, page);
    enableFields(false);
    if (connected && m_tabClicked && !gFieldsChanged) {
        setFieldsData();
    } else if (connected) {
        trap([&] {
            if (m_records->State() != adStateClosed)
                m_records->Close();
        });
        if (waitForCustomTable()) {
            trap([&] { openRecords(); });
            trap([&] {
                if (m_records->State() != adStateClosed &&
                    !(m_records->IsBOF() && m_records->IsEOF())) {
                    m_records->MoveFirst();
                    setFieldsData();
                    m_index = 1;
                }
            });
        }
    }
    m_generating = false;
    letPendingEventsRun();
    m_tabClicked = false;
    gFieldsChanged = false;
}

void Form1::setControls(int page) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("setControls"));
    const PageBuild build(*this);
    unloadGeneratedControls(true);
    std::vector<FieldDefinition> fields;
    QStringList columns;
    trap([&] {
        fields = readFieldDefinitions(*m_connection);
        columns = readRecordColumns(*m_connection);
    });
    layoutPage(fields, columns, page);
}

QString Form1::NullToEmptyString(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QString(QLatin1String(""));
    return value.toString();
}

void Form1::setFieldsData() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("setFieldsData"));
    if (m_records->State() == adStateClosed || m_records->IsBOF() || m_records->IsEOF())
        return;
    trap([&] {
        lblRecord->setText(QStringLiteral("Record %1 of %2")
                               .arg(m_records->AbsolutePosition())
                               .arg(m_records->RecordCount()));
        lblRecord->adjustSize();
        const QRect designed(Twips::toPixelsX(9255, lblRecord), Twips::toPixelsY(45, lblRecord),
                             Twips::toPixelsX(1125, lblRecord), Twips::toPixelsY(225, lblRecord));
        // A long count grows to the left, so the label keeps its right edge.
        const int width = std::max(designed.width(), lblRecord->sizeHint().width());
        lblRecord->setGeometry(designed.right() + 1 - width, designed.y(), width,
                               designed.height());
    });
    for (const auto& input : m_inputs) {
        // One failed read (the row went away) would fail for every field: report it once.
        if (!trap([&] { input->show(m_records->Fields(input->column()).Value()); }))
            break;
    }
}

// Check boxes keep their state; every input writes what is typed next.
void Form1::clearFields() {
    for (const auto& input : m_inputs)
        input->clear();
}

void Form1::enableFields(bool enabled) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("enableFields"));
    for (auto* array : {&Text1, &Text2, &Check2, &Combo1})
        for (QWidget* element : *array)
            trap([&] { element->setEnabled(enabled); });
    m_fieldsEnabled = enabled;
}

// ---- what the other windows use

QStringList Form1::shownCaptions() const {
    QStringList captions;
    for (int i = 0; i < m_pageFieldCount && i < int(Label1.size()); ++i)
        captions << Label1[size_t(i)]->text();
    return captions;
}

int Form1::shownPage() const {
    return SSTab1->currentIndex();
}

bool Form1::showRecordWithId(qint64 id) {
    if (m_records->State() == adStateClosed)
        return false;
    m_records->MoveFirst();
    m_records->Find(QStringLiteral("id=%1").arg(id));
    if (m_records->IsEOF())
        return false;
    setFieldsData();
    m_index = int(m_records->AbsolutePosition());
    return true;
}

void Form1::clearFieldsAndRepaint() {
    clearFields();
    repaint();
}
