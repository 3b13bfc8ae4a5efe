#include "store/recordrows.h"

#include "store/connection.h"

RecordRows::~RecordRows() = default;

void RecordRows::setRows(const Store& store, const QStringList& headings, std::vector<qint64> ids) {
    m_store = store;
    m_headings = headings;
    m_ids = std::move(ids);
    m_chunks.clear();
}

int RecordRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_ids.size());
}

int RecordRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_store ? 0 : 1 + int(m_headings.size());
}

QVariant RecordRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("ID");
    return section - 1 < m_headings.size() ? QVariant(m_headings[section - 1]) : QVariant();
}

QVariant RecordRows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    if (index.column() == 0)
        return QString::number(m_ids[size_t(index.row())]);
    const QStringList& row = values(index.row());
    return index.column() - 1 < row.size() ? row[index.column() - 1] : QString();
}

const QStringList& RecordRows::values(int row) const {
    return m_chunks.row(row, rowCount(), [this](int first, int count) {
        if (!m_store)
            return std::vector<QStringList>(size_t(count));
        return RowChunks::readRecords(
            *m_store, m_connection, m_ids, first, count,
            [this](const QStringList& columns, const QVariantList& record) {
                return pick(columns, record);
            });
    });
}
