#include "record/form1.h"

#include "app/errortrap.h"
#include "app/numbers.h"
#include "app/pointer.h"
#include "app/twips.h"
#include "record/recordbrowser.h"
#include "record/recordpage.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/recordcursor.h"
#include "store/schema.h"

#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTabWidget>
#include <algorithm>

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
int Form1::selectPage(int pTab, int pageCount) {
    const int page = std::clamp(pTab, 0, pageCount - 1);
    const QSignalBlocker blocker(SSTab1);
    SSTab1->setCurrentIndex(page);
    m_shownTab = page;
    lblRecord->setVisible(page == 0);
    return page;
}

// The field definitions and the records table's columns, when the data file is open.
void Form1::readFields(ErrorTrap& trap, std::vector<FieldDefinition>& fields,
                       QStringList& columns) {
    if (m_connection && m_connection->State() != adStateClosed)
        trap([&] {
            fields = readFieldDefinitions(*m_connection);
            columns = readRecordColumns(*m_connection);
        });
}

// Each input is bound to its own field's column; the size boxes give the text boxes' size.
void Form1::buildPage(ErrorTrap& trap, const std::vector<FieldDefinition>& fields,
                      const QStringList& columns, int page) {
    m_page->build(trap, fields, columns, page, leadingNumber(Text3->text()),
                  leadingNumber(Text4->text()));
}

// Every data file the program makes holds the records table from the start (the template is
// copied whole under its final name), and a server's tables are made as a connection to it
// opens; only a file made otherwise can lack it, and waiting would not bring it.
bool Form1::customTableIsThere() {
    if (TableExists(*m_connection, Sql::CustomTableName))
        return true;
    const QString store = m_connection->describe();
    m_messages.tell(
        QStringLiteral("The records cannot be shown: the %1 holds no table CustomTable.")
            .arg(store));
    return false;
}

void Form1::generateControls(int pTab, BuildReason reason) {
    // Nothing yields while a page is built, so no click, key or page switch comes inside a
    // build; a timer firing while a build's message is shown could ask for another, which is
    // not started then.
    if (m_generating)
        return;
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("generateControls"));
    trap.resumeSilentlyOn(ErrorNumber::TableNotFound);
    const QScopedValueRollback<bool> generating(m_generating, true);
    HourglassPointer hourglass(*m_pointer);
    m_page->unload(false);
    std::vector<FieldDefinition> fields;
    QStringList columns;
    readFields(trap, fields, columns);
    rebuildPages(int(fields.size()));
    buildPage(trap, fields, columns, selectPage(pTab, SSTab1->count()));
    enableFields(false);
    // Without a connection the failure was reported once at start-up; nothing more to show.
    const bool connected = m_connection && m_connection->State() != adStateClosed;
    if (connected && reason == BuildReason::PageSwitch) {
        setFieldsData();
    } else if (connected) {
        trap([&] { m_browser->close(); });
        trap([&] {
            if (customTableIsThere() && m_browser->reopen(*m_connection))
                setFieldsData();
        });
        tableShowsChanges();
    }
}

void Form1::setControls(int page) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("setControls"));
    const QScopedValueRollback<bool> generating(m_generating, true);
    m_page->unload(true);
    std::vector<FieldDefinition> fields;
    QStringList columns;
    readFields(trap, fields, columns);
    buildPage(trap, fields, columns, page);
}

void Form1::showRecordCount() {
    RecordCursor& records = m_browser->records();
    lblRecord->setText(QStringLiteral("Record %1 of %2")
                           .arg(records.AbsolutePosition())
                           .arg(records.RecordCount()));
    lblRecord->adjustSize();
    const QRect place = designedTwips("lblRecord");
    const QRect designed(
        Twips::toPixelsX(place.x(), lblRecord), Twips::toPixelsY(place.y(), lblRecord),
        Twips::toPixelsX(place.width(), lblRecord), Twips::toPixelsY(place.height(), lblRecord));
    // A long count grows to the left, so the label keeps its right edge.
    const int width = std::max(designed.width(), lblRecord->sizeHint().width());
    lblRecord->setGeometry(designed.right() + 1 - width, designed.y(), width, designed.height());
}

void Form1::setFieldsData() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("setFieldsData"));
    if (!m_browser->onRow())
        return;
    trap([&] { showRecordCount(); });
    m_page->show(trap, m_browser->records());
}

void Form1::clearFields() {
    m_page->clear();
}

void Form1::enableFields(bool enabled) {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("enableFields"));
    m_page->enable(trap, enabled);
}

// ---- what the other windows and the tests use

int Form1::mIndex() const {
    return m_browser->index();
}

bool Form1::mEditing() const {
    return m_browser->editing();
}

bool Form1::mNewRecord() const {
    return m_browser->newRecord();
}

const QList<QWidget*>& Form1::mInputControls() const {
    return m_page->inputControls();
}

RecordCursor& Form1::mRSRecords() {
    return m_browser->records();
}

QStringList Form1::shownCaptions() const {
    return m_page->captions();
}

int Form1::shownPage() const {
    return SSTab1->currentIndex();
}

bool Form1::showRecordWithId(qint64 id) {
    // The table view asks while a record may be edited here.
    if (refuseWhileEditing())
        return false;
    if (!m_browser->moveToId(id))
        return false;
    setFieldsData();
    return true;
}

void Form1::clearFieldsAndRepaint() {
    clearFields();
    repaint();
}
