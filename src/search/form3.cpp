#include "search/form3.h"

#include "app/errortrap.h"
#include "app/longwork.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/pointer.h"
#include "app/recordwindowlink.h"
#include "app/runtimeerror.h"
#include "app/shell.h"
#include "app/twips.h"
#include "search/searchresults.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/recordtable.h"
#include "store/searchindex.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>

namespace {
// The designed client area in twips.
constexpr int FormWidth = 8040;
constexpr int FormHeight = 5505;

QFont arialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

bool onlyBlanks(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char(' '); });
}
} // namespace

Form3::Form3(MessageService& messages, const AppPaths& paths, const Store& store,
             RecordWindowLink& recordWindow, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_paths(paths), m_store(store),
      m_recordWindow(recordWindow) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Search"));
    setFont(arialBold(9));
    createControls();
    connectSignals();
    Form_Load();
}

Form3::~Form3() = default;

void Form3::createControls() {
    setFixedSize(Twips::toPixelsX(FormWidth, this), Twips::toPixelsY(FormHeight, this));

    Frame1 = new QGroupBox(QStringLiteral("Search Database"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Twips::place(Frame1, 120, 60, 7800, 1335);
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setStyleSheet(QStringLiteral("QLineEdit { background-color: white; }"));
    Twips::place(Text1, 240, 300, 7320, 345);

    auto button = [this](QWidget* parent, const QString& name, const QString& caption, int left,
                         int top, int width, int height) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(name);
        b->setFont(arialBold(11.25));
        // Enter in Text1 searches; it must not also press a default button.
        b->setAutoDefault(false);
        b->setDefault(false);
        Twips::place(b, left, top, width, height);
        return b;
    };
    PushButton3 = button(Frame1, QStringLiteral("PushButton3"), QStringLiteral("Search"), 240, 750,
                         7320, 405);

    m_results = new SearchResults(this);
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Search results"));
    ListView1->setModel(m_results);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    // Every row is one line high: the view then never measures rows it does not show.
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsClickable(true);
    Twips::place(ListView1, 120, 1500, 7800, 3390);

    PushButton1 =
        button(this, QStringLiteral("PushButton1"), QStringLiteral("OK"), 120, 4980, 3840, 405);
    PushButton2 = button(this, QStringLiteral("PushButton2"), QStringLiteral("Cancel"), 4080, 4980,
                         3840, 405);

    m_pointer = new PointerFeedback(this);
    m_pointer->watchButtons();
    m_pointer->watchForDefault(Frame1);
    m_pointer->watchForDefault(ListView1);
    m_pointer->watchForDefault(ListView1->viewport());
}

void Form3::connectSignals() {
    connect(PushButton3, &QPushButton::clicked, this, &Form3::PushButton3_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &Form3::headingClicked);
    // A double click anywhere in the list counts, not only one on a row.
    ListView1->viewport()->installEventFilter(this);
    Text1->installEventFilter(this);
}

// Text1_KeyPress: Enter searches, and the key goes on to the box as usual.
bool Form3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            PushButton3_Click();
    }
    if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        ListView1_DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Form3::Form_Load() {
    ErrorTrap trap(m_messages, QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    trap([&] { SetButtonFaceColours(this); });
    trap([&] { setWindowIcon(programIcon()); });
    trap([&] {
        if (FileExists(m_paths.handCursor()))
            m_pointer->setCustomCursor(loadHandCursor(m_paths.handCursor()));
    });
}

void Form3::PushButton3_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form4"), QStringLiteral("PushButton3_Click"));
    const QString text = Text1->text();
    if (onlyBlanks(text))
        return;
    HourglassPointer hourglass(*m_pointer);
    std::unique_ptr<Connection> connection;
    trap([&] { connection = m_store.open(); });
    QStringList captions;
    int page = 0;
    trap([&] {
        captions = m_recordWindow.shownCaptions();
        page = m_recordWindow.shownPage();
    });
    // Only the record ids are kept; the list reads the values of the rows it shows.
    std::vector<qint64> ids;
    QHash<QString, FieldKind> kinds;
    bool completed = true;
    trap([&] {
        // A page without fields holds nothing to match; a file that could not be opened was
        // reported already.
        if (captions.isEmpty() || !connection)
            return;
        kinds = readFieldKinds(*connection);
        prepareSearchIndex(*connection, text);
        // A search through a large file takes a while; Cancel leaves the list as it was.
        RecordSearch search(m_store, captions, text);
        completed = runLongWork(
            this, QStringLiteral("Searching..."), [&] { ids = search.run(); },
            [&] { search.interrupt(); });
    });
    if (!completed)
        return;
    m_results->reset(captions, page, kinds, m_store, std::move(ids));
    m_orderSection = -1;
    ListView1->header()->setSortIndicatorShown(false);
    ListView1->setColumnHidden(0, true);
    for (int column = 1; column < m_results->columnCount(); ++column)
        ListView1->setColumnWidth(column, Twips::toPixelsX(1440, this));
}

// The first search the index could narrow builds it. Until it is built (Cancel, or a file
// this program may not change) the scan answers, with the same results, so a failure here is
// no failure of the search.
void Form3::prepareSearchIndex(Connection& connection, const QString& text) {
    try {
        if (!SearchIndex::canNarrow(connection, text) || SearchIndex::isReady(connection))
            return;
        runLongWork(
            this, QStringLiteral("Preparing the search index..."),
            [&] { SearchIndex::build(connection); }, [&] { connection.interrupt(); });
    } catch (const RuntimeError&) {
    }
}

void Form3::headingClicked(int section) {
    ErrorTrap trap(m_messages, QStringLiteral("Form3"), QStringLiteral("headingClicked"));
    if (section <= 0 || m_results->rowCount() == 0)
        return;
    const bool descending = section == m_orderSection && !m_descending;
    HourglassPointer hourglass(*m_pointer);
    std::vector<qint64> ids;
    bool completed = false;
    const bool read = trap([&] {
        const auto connection = m_store.open(adModeRead);
        // The heading's field is the record's column at its place on the page listed.
        const QStringList columns = readRecordColumns(*connection);
        const int column = m_results->page() * FieldsPerPage + section;
        if (column >= columns.size())
            return;
        TableQuery query;
        query.orderColumn = columns[column];
        query.descending = descending;
        query.among = m_results->ids();
        completed = runLongWork(
            this, QStringLiteral("Ordering..."), [&] { ids = selectTableIds(*connection, query); },
            [&] { connection->interrupt(); });
    });
    if (!read || !completed)
        return;
    m_results->reorder(m_store, std::move(ids));
    m_orderSection = section;
    m_descending = descending;
    ListView1->header()->setSortIndicator(section,
                                          descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    ListView1->header()->setSortIndicatorShown(true);
}

int Form3::chosenRow() const {
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    return selected.isEmpty() ? 0 : selected.first().row();
}

void Form3::PushButton1_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form3"), QStringLiteral("PushButton1_Click"));
    if (m_results->rowCount() == 0)
        return;
    bool moved = false;
    trap([&] { moved = m_recordWindow.showRecordWithId(m_results->idAt(chosenRow())); });
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // A record that could not be shown (deleted meanwhile) counts as none picked, so the
    // record window rebuilds and shows a record again instead of stale inputs.
    m_recordPicked = moved;
    accept();
}

void Form3::ListView1_DblClick() {
    PushButton1_Click();
}

void Form3::PushButton2_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form4"), QStringLiteral("PushButton2_Click"));
    trap([&] { reject(); });
}
