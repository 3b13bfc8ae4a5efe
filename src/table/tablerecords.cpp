#include "table/tablerecords.h"

#include "app/numbers.h"
#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/rowreader.h"
#include "store/schema.h"

#include <QHash>
#include <algorithm>
#include <map>

namespace {
constexpr int ChunkRows = 256;
// A screenful or two while scrolling back and forth.
constexpr size_t KeptChunks = 8;
} // namespace

TableRecords::~TableRecords() = default;

TableRecords::Content TableRecords::readContent(Connection& connection, const TableQuery& query) {
    Content content;
    // The schema may have changed through another connection (the record window's).
    connection.refreshSchema();
    if (!TableExists(connection, Sql::CustomTableName))
        return content;
    std::map<QString, double> factors;
    for (const FieldDefinition& field : readFieldDefinitions(connection)) {
        const double factor = leadingNumber(field.length);
        factors[field.name.toLower()] = factor > 0 ? factor : 1;
    }
    for (const QString& name : readRecordColumns(connection)) {
        if (name.compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0)
            continue;
        const auto factor = factors.find(name.toLower());
        content.fields.push_back({name, factor == factors.end() ? 1 : factor->second});
    }
    content.ids = selectTableIds(connection, query);
    // Counting reads the whole table again: only when the filters left some records out.
    const bool filtered =
        std::any_of(query.filters.begin(), query.filters.end(),
                    [](const TableQuery::Filter& f) { return !f.text.isEmpty(); });
    content.total = filtered ? countRecords(connection) : qint64(content.ids.size());
    return content;
}

void TableRecords::show(const Store& store, const TableQuery& query, Content content) {
    beginResetModel();
    m_chunks.clear();
    m_store = store;
    m_query = query;
    m_fields = std::move(content.fields);
    m_ids = std::move(content.ids);
    m_total = content.total;
    try {
        if (m_connection)
            m_connection->refreshSchema();
    } catch (const RuntimeError&) {
        m_connection.reset();
    }
    endResetModel();
}

int TableRecords::rowOf(qint64 id) const {
    const auto found = std::find(m_ids.begin(), m_ids.end(), id);
    return found == m_ids.end() ? -1 : int(found - m_ids.begin());
}

int TableRecords::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_ids.size());
}

int TableRecords::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_store ? 0 : 1 + int(m_fields.size());
}

QVariant TableRecords::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("ID");
    return section - 1 < int(m_fields.size()) ? QVariant(m_fields[size_t(section - 1)].name)
                                              : QVariant();
}

QVariant TableRecords::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    if (index.column() == 0)
        return QString::number(m_ids[size_t(index.row())]);
    const Chunk& chunk = chunkFor(index.row());
    const QStringList& row = chunk.rows[size_t(index.row() - chunk.first)];
    return index.column() - 1 < row.size() ? row[index.column() - 1] : QString();
}

QStringList TableRecords::rowValues(int row) const {
    const Chunk& chunk = chunkFor(row);
    QStringList values = chunk.rows[size_t(row - chunk.first)];
    while (values.size() < int(m_fields.size()))
        values << QString();
    values.prepend(QString::number(m_ids[size_t(row)]));
    return values;
}

const TableRecords::Chunk& TableRecords::chunkFor(int row) const {
    const int first = row - row % ChunkRows;
    const auto found = std::find_if(m_chunks.begin(), m_chunks.end(),
                                    [first](const Chunk& c) { return c.first == first; });
    if (found != m_chunks.end()) {
        m_chunks.splice(m_chunks.begin(), m_chunks, found);
        return m_chunks.front();
    }
    Chunk chunk;
    chunk.first = first;
    chunk.rows = readRows(first, std::min(ChunkRows, rowCount() - first));
    m_chunks.push_front(std::move(chunk));
    if (m_chunks.size() > KeptChunks)
        m_chunks.pop_back();
    return m_chunks.front();
}

// A row that cannot be read (the store gone meanwhile) shows empty values, and the next read
// connects again: the table is painted from here, where no message box may interrupt.
std::vector<QStringList> TableRecords::readRows(int first, int count) const {
    std::vector<QStringList> rows(static_cast<size_t>(count));
    try {
        if (!m_connection && m_store)
            m_connection = m_store->open(adModeRead);
        if (!m_connection)
            return rows;
        RowReader reader(*m_connection, Sql::CustomTableName, QStringLiteral("ID"));
        for (int from = 0; from < count; from += RowReader::ChunkKeys) {
            const auto begin = m_ids.begin() + first + from;
            const std::vector<qint64> keys(begin,
                                           begin + std::min(RowReader::ChunkKeys, count - from));
            const std::map<qint64, QVariantList> read = reader.read(keys);
            // The fields by name: the reader's columns are the table's as it read them.
            QHash<QString, int> placeOf;
            for (int c = 0; c < reader.columns().size(); ++c)
                placeOf.insert(reader.columns()[c], c);
            for (size_t k = 0; k < keys.size(); ++k) {
                const auto found = read.find(keys[k]);
                if (found == read.end())
                    continue;
                QStringList& values = rows[size_t(from) + k];
                for (const Column& field : m_fields)
                    values << found->second.value(placeOf.value(field.name, -1)).toString();
            }
        }
    } catch (const RuntimeError&) {
        m_connection.reset();
    }
    return rows;
}
