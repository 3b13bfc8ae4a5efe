#include "search/searchresults.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/rowreader.h"
#include "store/schema.h"

#include <algorithm>
#include <map>

namespace {
constexpr int ChunkRows = 256;
// A screenful or two while scrolling back and forth; a few hundred kilobytes at most.
constexpr size_t KeptChunks = 8;
} // namespace

void SearchResults::reset(const QStringList& captions, int page, const Store& store,
                          std::vector<qint64> ids) {
    beginResetModel();
    m_captions = captions;
    m_page = page;
    m_store = store;
    m_connection.reset();
    m_ids = std::move(ids);
    m_chunks.clear();
    m_searched = true;
    endResetModel();
}

int SearchResults::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_ids.size());
}

int SearchResults::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_searched ? 0 : 1 + int(m_captions.size());
}

QVariant SearchResults::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == 0)
        return QStringLiteral("ID");
    return section - 1 < m_captions.size() ? QVariant(m_captions[section - 1]) : QVariant();
}

QVariant SearchResults::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    if (index.column() == 0)
        return QString::number(m_ids[size_t(index.row())]);
    const Chunk& chunk = chunkFor(index.row());
    const QStringList& row = chunk.rows[size_t(index.row() - chunk.first)];
    return index.column() - 1 < row.size() ? row[index.column() - 1] : QString();
}

const SearchResults::Chunk& SearchResults::chunkFor(int row) const {
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

// A row that cannot be read (the file gone meanwhile) shows empty values, and the next read
// connects again: the list is painted from here, where no message box may interrupt.
std::vector<QStringList> SearchResults::readRows(int first, int count) const {
    std::vector<QStringList> rows(static_cast<size_t>(count));
    try {
        if (!m_connection && m_store)
            m_connection = m_store->open(adModeRead);
        if (!m_connection)
            return rows;
        RowReader reader(*m_connection, Sql::CustomTableName, QStringLiteral("ID"));
        const int firstColumn = m_page * FieldsPerPage + 1;
        for (int from = 0; from < count; from += RowReader::ChunkKeys) {
            const auto begin = m_ids.begin() + first + from;
            const std::vector<qint64> keys(begin,
                                           begin + std::min(RowReader::ChunkKeys, count - from));
            const std::map<qint64, QVariantList> read = reader.read(keys);
            for (size_t k = 0; k < keys.size(); ++k) {
                const auto found = read.find(keys[k]);
                if (found == read.end())
                    continue;
                QStringList& values = rows[size_t(from) + k];
                for (int j = 0; j < m_captions.size(); ++j)
                    values << found->second.value(firstColumn + j).toString();
            }
        }
    } catch (const RuntimeError&) {
        m_connection.reset();
    }
    return rows;
}
