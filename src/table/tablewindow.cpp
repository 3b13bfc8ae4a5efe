#include "table/tablewindow.h"

#include "app/errortrap.h"
#include "app/messages.h"
#include "app/recordwindowlink.h"
#include "app/shell.h"
#include "app/twips.h"
#include "table/tablerecords.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// A field's column is as wide as its input in the record window, within these bounds (twips).
constexpr int TwipsPerLengthUnit = 400;
constexpr int NarrowestColumn = 720;
constexpr int WidestColumn = 5760;
constexpr int IdColumn = 960;
} // namespace

TableWindow::TableWindow(MessageService& messages, const Store& store,
                         RecordWindowLink& recordWindow, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_messages(messages), m_store(store),
      m_recordWindow(recordWindow) {
    setObjectName(QStringLiteral("TableWindow"));
    setWindowTitle(QStringLiteral("Table View"));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
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
    m_view->horizontalHeader()->setHighlightSections(false);
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

void TableWindow::readRecords(const TableQuery& query) {
    ErrorTrap trap(m_messages, QStringLiteral("TableWindow"), QStringLiteral("readRecords"));
    const int fieldsBefore = m_records->columnCount();
    trap([&] { m_records->read(m_store, query); });
    if (m_records->columnCount() != fieldsBefore)
        sizeColumns();
    showStatus();
}

void TableWindow::showChanges() {
    const int row = chosenRow();
    const qint64 id = row >= 0 && row < m_records->rowCount() ? m_records->idAt(row) : -1;
    const int column = std::max(0, m_view->currentIndex().column());
    const int scrolled = m_view->verticalScrollBar()->value();
    readRecords(m_records->query());
    const int again = id >= 0 ? m_records->rowOf(id) : -1;
    m_view->verticalScrollBar()->setValue(scrolled);
    if (again >= 0)
        m_view->setCurrentIndex(m_records->index(again, column));
}

void TableWindow::sizeColumns() {
    m_view->setColumnWidth(0, Twips::toPixelsX(IdColumn, this));
    for (size_t i = 0; i < m_records->fields().size(); ++i) {
        const double twips = TwipsPerLengthUnit * m_records->fields()[i].lengthFactor;
        m_view->setColumnWidth(
            int(i) + 1,
            Twips::toPixelsX(int(std::clamp(twips, double(NarrowestColumn), double(WidestColumn))),
                             this));
    }
}

QString TableWindow::statusText() const {
    return m_status->text();
}

void TableWindow::showStatus() {
    m_status->setText(QStringLiteral("%1 of %2 records")
                          .arg(m_records->rowCount())
                          .arg(m_records->totalRecords()));
}
