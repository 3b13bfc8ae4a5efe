#include "table/tablewindow.h"

#include "app/errortrap.h"
#include "app/longwork.h"
#include "app/messages.h"
#include "app/recordwindowlink.h"
#include "app/runtimeerror.h"
#include "app/shell.h"
#include "app/twips.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "table/filterheader.h"
#include "table/tablerecords.h"
#include "table/tablereports.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <future>

namespace {
constexpr double TwipsPerPoint = 20;
// The rows of a new order read and shown before the rest.
constexpr int FirstRows = 500;
} // namespace

TableWindow::TableWindow(MessageService& messages, const Store& store,
                         RecordWindowLink& recordWindow, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_messages(messages), m_store(store),
      m_recordWindow(recordWindow) {
    setObjectName(QStringLiteral("TableWindow"));
    setWindowTitle(QStringLiteral("Table View"));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
    createMenus();
    ErrorTrap trap(m_messages, QStringLiteral("TableWindow"), QStringLiteral("Form_Load"));
    trap([&] { setWindowIcon(programIcon()); });
    readRecords(TableQuery{});
}

TableWindow::~TableWindow() = default;

void TableWindow::createControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_records = new TableRecords(this);
    m_view = new QTableView(central);
    m_view->setObjectName(QStringLiteral("tableRecords"));
    m_view->setAccessibleName(QStringLiteral("Records"));
    m_view->setModel(m_records);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    // Every row one line high: the view never measures rows it does not show.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_header = new FilterHeader(m_view);
    m_header->setObjectName(QStringLiteral("tableHeadings"));
    m_view->setHorizontalHeader(m_header);
    connect(m_header, &QHeaderView::sectionClicked, this, &TableWindow::headingClicked);
    connect(m_header, &FilterHeader::filtersEdited, this, &TableWindow::applyFilters);
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_header,
            &FilterHeader::placeBoxes);
    m_view->installEventFilter(this);
    connect(m_view, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openRow(index.row()); });
    layout->addWidget(m_view);
    setCentralWidget(central);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    statusBar()->addWidget(m_status, 1);
    resize(Twips::toPixelsX(12000, this), Twips::toPixelsY(8000, this));
}

bool TableWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openRow(chosenRow());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

int TableWindow::chosenRow() const {
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TableWindow::openRow(int row) {
    if (row < 0 || row >= m_records->rowCount())
        return;
    ErrorTrap trap(m_messages, QStringLiteral("TableWindow"), QStringLiteral("openRow"));
    trap([&] { m_recordWindow.showRecordWithId(m_records->idAt(row)); });
}

QLineEdit* TableWindow::filterBox(int section) const {
    return m_header->filterBox(section);
}

void TableWindow::headingClicked(int section) {
    TableQuery query = m_records->query();
    const QString column = section == 0 ? QStringLiteral("ID")
                                        : m_records->headerData(section, Qt::Horizontal).toString();
    const QString current = query.orderColumn.isEmpty() ? QStringLiteral("ID") : query.orderColumn;
    query.descending = column == current && !query.descending;
    query.orderColumn = column;
    readRecords(query);
}

void TableWindow::applyFilters() {
    TableQuery query = m_records->query();
    query.filters.clear();
    for (int section = 0; section < m_records->columnCount(); ++section) {
        const QString text = m_header->filterText(section);
        if (!text.isEmpty())
            query.filters.push_back(
                {section == 0 ? QStringLiteral("ID")
                              : m_records->headerData(section, Qt::Horizontal).toString(),
                 text});
    }
    readRecords(query);
}

// A read asked for while one runs (a change in the record window, a filter typed) runs after
// it, with what is asked for then. An order by a field's values takes a while over many
// records: the first rows of the order are read and shown first, the rest while they are
// looked at.
bool TableWindow::readRecords(const TableQuery& query) {
    if (m_reading) {
        m_readAgain = true;
        return false;
    }
    const QScopedValueRollback<bool> reading(m_reading, true);
    const bool byValues = !query.orderColumn.isEmpty() &&
                          query.orderColumn.compare(QStringLiteral("ID"), Qt::CaseInsensitive) != 0;
    const int fieldsBefore = m_records->columnCount();
    TableRecords::Content content;
    const bool read = byValues ? readOrder(query, content) : readOnWorker(query, 0, content);
    if (read) {
        m_records->show(m_store, query, std::move(content));
        m_header->makeBoxes();
        std::vector<FieldKind> kinds{FieldKind::Number}; // the id's
        for (const TableRecords::Column& field : m_records->fields())
            kinds.push_back(field.kind);
        m_header->describeBoxes(kinds);
        if (m_records->columnCount() != fieldsBefore)
            sizeColumns();
    }
    const bool ordered = !m_records->query().orderColumn.isEmpty();
    m_header->setSortIndicatorShown(ordered);
    if (ordered) {
        const QString column = m_records->query().orderColumn;
        int section = 0;
        for (int i = 1; i < m_records->columnCount(); ++i)
            if (m_records->headerData(i, Qt::Horizontal).toString() == column)
                section = i;
        m_header->setSortIndicator(section, m_records->query().descending ? Qt::DescendingOrder
                                                                          : Qt::AscendingOrder);
    }
    showStatus();
    if (m_readAgain) {
        m_readAgain = false;
        QTimer::singleShot(0, this, &TableWindow::applyFilters);
    }
    return read;
}

bool TableWindow::readOrder(const TableQuery& query, TableRecords::Content& content) {
    ErrorTrap trap(m_messages, QStringLiteral("TableWindow"), QStringLiteral("readRecords"));
    if (!m_orderConnection && trap([&] { m_orderConnection = m_store.open(adModeRead); }))
        m_orderConnection->engine().stopWhen(&m_stopOrder);
    if (!m_orderConnection)
        return false;
    m_stopOrder = false;
    Connection& connection = *m_orderConnection;
    std::future<TableRecords::Content> whole = std::async(
        std::launch::async, [&] { return TableRecords::readContent(connection, query); });
    // The whole order is not needed (the first rows are all, or none came): it stops.
    const auto stopWhole = [&] {
        m_stopOrder = true;
        whole.wait();
        try {
            whole.get();
        } catch (const RuntimeError&) {
        }
    };
    if (!readOnWorker(query, FirstRows, content)) {
        stopWhole();
        return false;
    }
    if (content.ids.size() < size_t(FirstRows)) {
        stopWhole();
        return true;
    }
    TableRecords::Content before = m_records->content();
    const TableQuery shown = m_records->query();
    m_records->show(m_store, query, std::move(content));
    m_status->setText(QStringLiteral("Ordering the records..."));
    bool completed = false;
    const bool read = trap([&] {
        completed = runLongWork(
            this, QStringLiteral("Reading the records..."), [&] { content = whole.get(); },
            [&] { m_stopOrder = true; });
    });
    if (!read)
        m_orderConnection.reset(); // the next order connects again
    if (!read || !completed)       // the rows of before come back
        m_records->show(m_store, shown, std::move(before));
    return read && completed;
}

bool TableWindow::readOnWorker(const TableQuery& query, int first, TableRecords::Content& content) {
    ErrorTrap trap(m_messages, QStringLiteral("TableWindow"), QStringLiteral("readRecords"));
    bool completed = false;
    const bool read = trap([&] {
        if (!m_idConnection)
            m_idConnection = m_store.open(adModeRead);
        Connection& connection = *m_idConnection;
        completed = runLongWork(
            this, QStringLiteral("Reading the records..."),
            [&] { content = TableRecords::readContent(connection, query, first); },
            [&] { connection.interrupt(); });
    });
    if (!read)
        m_idConnection.reset(); // the next read connects again
    return read && completed;
}

void TableWindow::showChanges() {
    const int row = chosenRow();
    const qint64 id = row >= 0 && row < m_records->rowCount() ? m_records->idAt(row) : -1;
    const int column = std::max(0, m_view->currentIndex().column());
    const int scrolled = m_view->verticalScrollBar()->value();
    if (!readRecords(m_records->query()))
        return;
    const int again = id >= 0 ? m_records->rowOf(id) : -1;
    m_view->verticalScrollBar()->setValue(scrolled);
    if (again >= 0)
        m_view->setCurrentIndex(m_records->index(again, column));
}

void TableWindow::sizeColumns() {
    m_view->setColumnWidth(0, Twips::toPixelsX(idColumnPoints() * TwipsPerPoint, this));
    for (size_t i = 0; i < m_records->fields().size(); ++i)
        m_view->setColumnWidth(
            int(i) + 1,
            Twips::toPixelsX(fieldColumnPoints(m_records->fields()[i].lengthFactor) * TwipsPerPoint,
                             this));
}

void TableWindow::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("menuFile"));
    const auto add = [&](const char* name, const QString& text, auto handler,
                         QKeySequence::StandardKey key) {
        QAction* action = file->addAction(text, this, handler);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
    };
    add("actionPrint", QStringLiteral("Print..."), &TableWindow::printClicked, QKeySequence::Print);
    add("actionPrintPreview", QStringLiteral("Print Preview..."), &TableWindow::printPreviewClicked,
        QKeySequence::UnknownKey);
    add("actionExportPdf", QStringLiteral("Export PDF..."), &TableWindow::exportPdfClicked,
        QKeySequence::UnknownKey);
}

void TableWindow::printClicked() {
    printWithDialog(this, windowTitle(), runPrintDialog, [this](QPrinter* p) { printRows(p); });
}

void TableWindow::printPreviewClicked() {
    previewWithDialog(this, windowTitle(), runPrintDialog, [this](QPrinter* p) { printRows(p); });
}

void TableWindow::printRows(QPrinter* printer) {
    ErrorTrap trap(m_messages, QStringLiteral("TableWindow"), QStringLiteral("printRows"));
    trap([&] { printReport(*printer, listReport(*m_records)); });
}

void TableWindow::exportPdfClicked() {
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Export PDF"),
                                                      QStringLiteral("records.pdf"),
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (!file.isEmpty())
        exportPdfTo(file);
}

bool TableWindow::exportPdfTo(const QString& file) {
    ErrorTrap trap(m_messages, QStringLiteral("TableWindow"), QStringLiteral("exportPdfTo"));
    return trap([&] { writePdf(file, listReport(*m_records)); });
}

QString TableWindow::statusText() const {
    return m_status->text();
}

void TableWindow::showStatus() {
    m_status->setText(QStringLiteral("%1 of %2 records")
                          .arg(m_records->rowCount())
                          .arg(m_records->totalRecords()));
}
