#include "record/form1.h"

#include "app/errortrap.h"
#include "app/numbers.h"
#include "app/settings.h"
#include "app/twips.h"
#include "export/workbookexport.h"
#include "fields/form4.h"
#include "record/deletedrecords.h"
#include "record/recordbrowser.h"
#include "record/recordlayout.h"
#include "record/recordpage.h"
#include "search/form3.h"
#include "store/connection.h"
#include "store/fieldchange.h"
#include "store/fielddefinition.h"
#include "table/tablereports.h"
#include "table/tablewindow.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPrinter>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QUndoStack>
#include <cmath>

namespace {

const QString SaveOrCancelFirst = QStringLiteral("Please save or cancel current record first.");

// A change on the window's stack: it is made and taken back by the window through the data
// layer, each step only once the store has done it, so the stack steps only over changes made.
class ChangeCommand : public QUndoCommand {
  public:
    void undo() override {}
    void redo() override {}
    virtual void step(Connection& connection, bool back) = 0;
    // The record to show after a step; 0 when the fields changed and the page is built afresh.
    virtual qint64 recordId() const = 0;
    // Lets go of what the store keeps for the change's next step (see FieldChange::forget).
    virtual void forget(Connection&) {}
};

class RecordCommand : public ChangeCommand {
  public:
    explicit RecordCommand(RecordChange change) : m_change(std::move(change)) {
        setText(m_change.text());
    }
    void step(Connection& connection, bool back) override {
        back ? m_change.undo(connection) : m_change.redo(connection);
    }
    qint64 recordId() const override { return m_change.id(); }

  private:
    RecordChange m_change;
};

class FieldCommand : public ChangeCommand {
  public:
    explicit FieldCommand(FieldChange change) : m_change(std::move(change)) {
        setText(m_change.text());
    }
    void step(Connection& connection, bool back) override {
        back ? m_change.undo(connection) : m_change.redo(connection);
        setText(m_change.text());
    }
    qint64 recordId() const override { return 0; }
    void forget(Connection& connection) override { m_change.forget(connection); }

  private:
    FieldChange m_change;
};

// The change at that place of the stack, which holds nothing else.
ChangeCommand& changeAt(QUndoStack& changes, int index) {
    return *static_cast<ChangeCommand*>(const_cast<QUndoCommand*>(changes.command(index)));
}

} // namespace

// A new change takes the place of those undone, which can no longer be redone.
void Form1::pushChange(QUndoCommand* change) {
    const auto push = qScopeGuard([&] { m_changes->push(change); }); // the change is made
    forgetChanges(m_changes->index());
}

void Form1::forgetChanges(int from) {
    if (!m_connection)
        return;
    for (int i = from; i < m_changes->count(); ++i)
        changeAt(*m_changes, i).forget(*m_connection);
}

bool Form1::refuseWhileEditing() {
    if (!m_browser->editing())
        return false;
    m_messages.tell(SaveOrCancelFirst);
    return true;
}

void Form1::focusFirstInput() {
    if (!mInputControls().isEmpty())
        mInputControls().first()->setFocus();
}

// ---- record commands

void Form1::PushButton3_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    if (!m_browser->isOpen() || m_browser->editing())
        return;
    clearFields();
    enableFields(true);
    focusFirstInput();
    if (!trap([&] { m_browser->beginNew(); })) {
        enableFields(false);
        setFieldsData();
    }
}

void Form1::PushButton1_Click() {
    if (!m_browser->beginEdit())
        return;
    enableFields(true);
    focusFirstInput();
}

void Form1::PushButton2_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton2_Click"));
    if (!m_browser->canDelete())
        return;
    if (!m_messages.askYesNoDefaultNo(QStringLiteral("Do you really want to delete this record "
                                                     "number ") +
                                          m_page->firstInputText() + QLatin1Char('?'),
                                      QStringLiteral("Question")))
        return;
    trap([&] {
        if (m_browser->deleteCurrent())
            setFieldsData();
    });
    pushChange();
}

void Form1::PushButton6_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton6_Click"));
    if (!m_browser->editing() || !m_browser->isOpen())
        return;
    // A value or row the database refuses keeps the window editing with everything typed.
    if (!valuesCanBeSaved() || !otherPagesCanBeSaved(trap) ||
        !m_page->write(trap, m_browser->records(), false))
        return;
    if (!trap([&] { m_browser->save(); }))
        return;
    pushChange();
    enableFields(false);
    setFieldsData();
}

void Form1::PushButton8_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton8_Click"));
    if (!m_browser->editing() || !m_browser->isOpen())
        return;
    if (!m_browser->newRecord()) {
        trap([&] { m_browser->cancelChanges(); });
        setFieldsData();
    } else {
        m_page->write(trap, m_browser->records(), true);
        trap([&] {
            if (m_browser->discardNew())
                setFieldsData();
        });
    }
    m_browser->endEditing();
    enableFields(false);
    pushChange(); // what leaving a page stored stays stored
}

void Form1::pushChange() {
    if (auto change = m_browser->takeChange())
        pushChange(new RecordCommand(std::move(*change)));
    tableShowsChanges();
}

TableWindow* Form1::tableWindow() const {
    return m_table;
}

void Form1::tableShowsChanges() {
    if (m_table)
        m_table->showChanges();
}

// ---- commands that wait until the record is saved or cancelled

void Form1::PushButton4_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
    if (refuseWhileEditing())
        return;
    trap([&] { generateControls(SSTab1->currentIndex()); });
}

void Form1::PushButton13_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton13_Click"));
    if (refuseWhileEditing())
        return;
    trap([&] {
        Form4 fieldList(m_messages, m_paths, m_store, *this, this);
        fieldList.exec();
        for (FieldChange& change : fieldList.madeChanges())
            pushChange(new FieldCommand(std::move(change)));
    });
    afterOwnWindowClosed();
    trap([&] { generateControls(SSTab1->currentIndex()); });
}

void Form1::PushButton7_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
    if (refuseWhileEditing())
        return;
    bool picked = false;
    trap([&] {
        Form3 search(m_messages, m_paths, m_store, *this, this);
        search.exec();
        picked = search.recordPicked();
    });
    // A record chosen there stays shown; otherwise the page is built afresh.
    if (!picked)
        afterOwnWindowClosed();
}

void Form1::PushButton5_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    if (refuseWhileEditing())
        return;
    trap([&] {
        if (!m_connection || m_connection->State() == adStateClosed)
            throw RuntimeError(ErrorNumber::ObjectClosed,
                               QStringLiteral("The data file is not open, so there is nothing to "
                                              "export."));
        exportToWorkbook(m_messages, *m_connection, shownCaptions(), this);
    });
}

// ---- the menu bar's commands

void Form1::deletedRecordsClicked() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("deletedRecordsClicked"));
    if (refuseWhileEditing())
        return;
    if (!m_connection || m_connection->State() == adStateClosed)
        return;
    bool changed = false;
    trap([&] {
        DeletedRecords bin(m_messages, *m_connection, this);
        bin.exec();
        changed = bin.changed();
    });
    // The records are shown afresh, as after the program's other windows.
    if (changed)
        afterOwnWindowClosed();
}

void Form1::tableViewClicked() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("tableViewClicked"));
    trap([&] {
        if (!m_table)
            m_table = new TableWindow(m_messages, m_store, *this, this);
        m_table->show();
        m_table->raise();
        m_table->activateWindow();
    });
}

std::optional<Report> Form1::currentRecordForm() {
    if (!m_connection || m_connection->State() == adStateClosed || !m_browser->onRow())
        return std::nullopt;
    RecordCursor& records = m_browser->records();
    QStringList captions;
    QStringList values;
    for (const QString& column : readFieldColumns(*m_connection)) {
        captions << column;
        values << records.Fields(column).Value().toString();
    }
    return recordForm(records.currentId(), captions, values, readFieldKinds(*m_connection));
}

void Form1::printRecordClicked() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("printRecordClicked"));
    if (refuseWhileEditing())
        return;
    std::optional<Report> form;
    trap([&] { form = currentRecordForm(); });
    if (form)
        printWithDialog(this, form->title, runPrintDialog, [this](QPrinter* p) { printRecord(p); });
}

void Form1::printRecord(QPrinter* printer) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("printRecord"));
    trap([&] {
        if (const std::optional<Report> form = currentRecordForm())
            printReport(*printer, *form);
    });
}

void Form1::exportRecordPdfClicked() {
    if (refuseWhileEditing())
        return;
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Export PDF"),
                                                      QStringLiteral("record.pdf"),
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (!file.isEmpty())
        exportRecordPdfTo(file);
}

bool Form1::exportRecordPdfTo(const QString& file) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("exportRecordPdfTo"));
    if (refuseWhileEditing())
        return false;
    return trap([&] {
        if (const std::optional<Report> form = currentRecordForm())
            writePdf(file, *form);
        else
            throw RuntimeError(ErrorNumber::NoCurrentRecord,
                               QStringLiteral("There is no record to export."));
    });
}

void Form1::undoClicked() {
    stepChanges(true);
}

void Form1::redoClicked() {
    stepChanges(false);
}

// A change another program has overtaken is refused with the store's word, and nothing moves.
void Form1::stepChanges(bool back) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"),
                   back ? QStringLiteral("undoClicked") : QStringLiteral("redoClicked"));
    if (refuseWhileEditing())
        return;
    if (!(back ? m_changes->canUndo() : m_changes->canRedo()) || !m_connection ||
        m_connection->State() == adStateClosed)
        return;
    ChangeCommand* command = &changeAt(*m_changes, m_changes->index() - (back ? 1 : 0));
    QString refusal;
    const bool done = trap([&] {
        try {
            command->step(*m_connection, back);
        } catch (const RuntimeError& e) {
            if (e.number() != ErrorNumber::RowChanged)
                throw;
            refusal = e.description();
        }
    });
    if (!refusal.isEmpty())
        m_messages.tell(refusal);
    if (!done || !refusal.isEmpty())
        return;
    back ? m_changes->undo() : m_changes->redo();
    // The record changed is shown where it is; the other records' ids stay as they were read.
    // After a field change the page is built and the records opened afresh.
    trap([&] {
        if (command->recordId() == 0)
            generateControls(SSTab1->currentIndex());
        else if (m_browser->showChanged(command->recordId()))
            setFieldsData();
    });
    tableShowsChanges();
}

// ---- navigation

// Shows the record the move went to; a refused move shows nothing new.
void Form1::moveAndShow(const QString& handler, bool (RecordBrowser::*move)()) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), handler);
    bool moved = false;
    trap([&] { moved = (m_browser.get()->*move)(); });
    if (moved)
        setFieldsData();
}

void Form1::PushButton10_Click() {
    moveAndShow(QStringLiteral("PushButton10_Click"), &RecordBrowser::moveFirst);
}

void Form1::PushButton9_Click() {
    moveAndShow(QStringLiteral("PushButton9_Click"), &RecordBrowser::movePrevious);
}

void Form1::PushButton11_Click() {
    moveAndShow(QStringLiteral("PushButton11_Click"), &RecordBrowser::moveNext);
}

void Form1::PushButton12_Click() {
    moveAndShow(QStringLiteral("PushButton12_Click"), &RecordBrowser::moveLast);
}

// ---- page switch

void Form1::SSTab1_Click(int previousTab) {
    if (!m_browser->editing()) {
        generateControls(SSTab1->currentIndex(), BuildReason::PageSwitch);
        return;
    }
    if (!m_browser->isOpen())
        return;
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("SSTab1_Click"));
    // The page being left is stored at once; if it cannot be, the user stays on it with
    // everything typed.
    if (!writeShownPageAndUpdate(trap)) {
        const QSignalBlocker blocker(SSTab1);
        SSTab1->setCurrentIndex(previousTab);
        m_shownTab = previousTab;
        return;
    }
    setControls(SSTab1->currentIndex());
    setFieldsData();
}

bool Form1::valuesCanBeSaved() {
    const auto [input, problem] = m_page->firstProblem();
    if (!input)
        return true;
    m_messages.tell(problem);
    input->setFocus();
    return false;
}

// The values typed on the page shown are set in the record, not written: they are shown
// again when the user comes back to it, and written with the record.
bool Form1::otherPagesCanBeSaved(ErrorTrap& trap) {
    RecordPage::ProblemElsewhere problem;
    if (!trap([&] { problem = m_page->firstProblemElsewhere(m_browser->records()); }))
        return false;
    if (problem.page < 0)
        return true;
    if (!m_page->write(trap, m_browser->records(), false))
        return false;
    setControls(selectPage(problem.page, SSTab1->count()));
    setFieldsData();
    m_messages.tell(problem.message);
    for (QWidget* input : mInputControls())
        if (input->accessibleName() == problem.field)
            input->setFocus();
    return false;
}

bool Form1::writeShownPageAndUpdate(ErrorTrap& trap) {
    return valuesCanBeSaved() && m_page->write(trap, m_browser->records(), false) &&
           trap([&] { m_browser->write(); });
}

// ---- size boxes

void Form1::sizeBoxChanged(const QString& key, const QString& text) {
    SaveSetting(key, text);
}

void Form1::sizeBoxLeft(QLineEdit* box) {
    if (m_checkingSize)
        return;
    m_checkingSize = true;
    const bool width = box == Text3;
    const double factor = width ? Twips::perPixelX(this) : Twips::perPixelY(this);
    // The room the boxes are checked against: Frame1 less the first input's left and top.
    const int room = width ? RecordLayout::Frame1.width() - RecordLayout::InputLeft[0]
                           : RecordLayout::Frame1.height() - RecordLayout::FirstInputTop;
    if (!isNumeric(box->text())) {
        m_messages.tell(QStringLiteral("Must be a numeric entry."));
        box->setFocus();
        m_checkingSize = false;
        return;
    }
    if (float(leadingNumber(box->text()) * factor) > float(room)) {
        const long largest = std::lrint(double(room)) / std::lrint(factor);
        m_messages.tell(QStringLiteral("Must be %1 or less.").arg(largest));
        box->setFocus();
    }
    if (leadingNumber(Text3->text()) != 0 && leadingNumber(Text4->text()) != 0)
        PushButton4_Click();
    m_checkingSize = false;
}
