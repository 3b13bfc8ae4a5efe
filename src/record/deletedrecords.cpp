#include "record/deletedrecords.h"

#include "app/errortrap.h"
#include "store/connection.h"
#include "store/fielddefinition.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <limits>

namespace {
// A screenful and more; the next batch is read when the list is scrolled to its end.
constexpr int BatchRows = 200;
// The values shown of each record: those of its first fields.
constexpr int ShownFields = 3;
} // namespace

void BinEntries::reload() {
    beginResetModel();
    m_entries.clear();
    m_fields.clear();
    m_atEnd = false;
    try {
        for (const FieldDefinition& field : readFieldDefinitions(m_connection))
            if (m_fields.size() < ShownFields)
                m_fields << field.name;
        readMore();
    } catch (...) {
        m_atEnd = true;
        endResetModel();
        throw;
    }
    endResetModel();
}

int BinEntries::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int BinEntries::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2 + int(m_fields.size());
}

QVariant BinEntries::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == 0)
        return QStringLiteral("ID");
    if (section == 1)
        return QStringLiteral("Deleted");
    return m_fields.value(section - 2);
}

QVariant BinEntries::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    const BinEntry& entry = m_entries[size_t(index.row())];
    if (index.column() == 0)
        return QString::number(entry.id);
    if (index.column() == 1)
        return QDateTime::fromString(entry.deletedAt, Qt::ISODateWithMs)
            .toLocalTime()
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString field = m_fields.value(index.column() - 2);
    for (const auto& [name, value] : entry.values)
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return value.toString();
    return QString();
}

bool BinEntries::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_atEnd;
}

// Called by the view as it is scrolled to the end: a failure ends the list where it is.
void BinEntries::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || m_atEnd)
        return;
    try {
        readMore();
    } catch (const std::exception&) {
        m_atEnd = true;
    }
}

void BinEntries::readMore() {
    const qint64 below =
        m_entries.empty() ? std::numeric_limits<qint64>::max() : m_entries.back().key;
    std::vector<BinEntry> more = RecordBin::entries(m_connection, below, BatchRows);
    m_atEnd = more.size() < size_t(BatchRows);
    if (more.empty())
        return;
    const int first = int(m_entries.size());
    const bool resetting = first == 0;
    if (!resetting)
        beginInsertRows(QModelIndex(), first, first + int(more.size()) - 1);
    for (BinEntry& entry : more)
        m_entries.push_back(std::move(entry));
    if (!resetting)
        endInsertRows();
}

DeletedRecords::DeletedRecords(MessageService& messages, Connection& connection, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_connection(connection) {
    setObjectName(QStringLiteral("DeletedRecords"));
    setWindowTitle(QStringLiteral("Deleted Records"));
    m_entries = new BinEntries(connection, this);
    list = new QTreeView(this);
    list->setObjectName(QStringLiteral("list"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setModel(m_entries);
    restoreButton = new QPushButton(QStringLiteral("Restore"), this);
    restoreButton->setObjectName(QStringLiteral("restoreButton"));
    emptyButton = new QPushButton(QStringLiteral("Empty Bin"), this);
    emptyButton->setObjectName(QStringLiteral("emptyButton"));
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restoreButton);
    buttons->addWidget(emptyButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(buttons);
    resize(640, 400);
    connect(restoreButton, &QPushButton::clicked, this, &DeletedRecords::restoreClicked);
    connect(emptyButton, &QPushButton::clicked, this, &DeletedRecords::emptyClicked);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    load();
}

void DeletedRecords::load() {
    ErrorTrap trap(m_messages, QStringLiteral("DeletedRecords"), QStringLiteral("load"));
    trap([&] { m_entries->reload(); });
}

// The records chosen come back together, or none does.
void DeletedRecords::restoreClicked() {
    ErrorTrap trap(m_messages, QStringLiteral("DeletedRecords"), QStringLiteral("restoreClicked"));
    QModelIndexList rows = list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QStringList moved;
    const bool restored = trap([&] {
        Transaction transaction(m_connection);
        for (const QModelIndex& row : rows) {
            const BinEntry& entry = m_entries->entryAt(row.row());
            const auto back =
                RecordBin::restoreWithin(m_connection, entry.key, RecordBin::WhenIdTaken::NewId);
            if (back.newId)
                moved << QStringLiteral("record %1 as record %2").arg(entry.id).arg(back.id);
        }
        transaction.commit();
    });
    if (!restored)
        return;
    m_changed = true;
    if (!moved.isEmpty())
        m_messages.tell(QStringLiteral("Their ids were taken meanwhile, so these records came back "
                                       "under new ones: %1.")
                            .arg(moved.join(QStringLiteral(", "))));
    load();
}

void DeletedRecords::emptyClicked() {
    ErrorTrap trap(m_messages, QStringLiteral("DeletedRecords"), QStringLiteral("emptyClicked"));
    qint64 count = 0;
    if (!trap([&] { count = RecordBin::count(m_connection); }) || count == 0)
        return;
    if (!m_messages.askYesNoDefaultNo(
            QStringLiteral("Do you really want to delete the %1 records in the bin for good?")
                .arg(count),
            QStringLiteral("Question")))
        return;
    if (trap([&] { RecordBin::empty(m_connection); }))
        m_changed = true;
    load();
}
