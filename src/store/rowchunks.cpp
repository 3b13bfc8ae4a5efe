#include "store/rowchunks.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/rowreader.h"
#include "store/schema.h"
#include "store/store.h"

#include <algorithm>
#include <map>

namespace {
constexpr int ChunkRows = 256;
// A screenful or two while scrolling back and forth; a few hundred kilobytes at most.
constexpr size_t KeptChunks = 8;
} // namespace

const QStringList& RowChunks::row(int row, int rowCount, const Reader& read) {
    const int first = row - row % ChunkRows;
    auto found = std::find_if(m_chunks.begin(), m_chunks.end(),
                              [first](const Chunk& c) { return c.first == first; });
    if (found != m_chunks.end()) {
        m_chunks.splice(m_chunks.begin(), m_chunks, found);
    } else {
        m_chunks.push_front(Chunk{first, read(first, std::min(ChunkRows, rowCount - first))});
        if (m_chunks.size() > KeptChunks)
            m_chunks.pop_back();
    }
    return m_chunks.front().rows[size_t(row - first)];
}

std::vector<QStringList> RowChunks::readRecords(const Store& store,
                                                std::unique_ptr<Connection>& connection,
                                                const std::vector<qint64>& ids, int first,
                                                int count, const Pick& pick) {
    std::vector<QStringList> rows(static_cast<size_t>(count));
    try {
        if (!connection)
            connection = store.open(adModeRead);
        RowReader reader(*connection, Sql::CustomTableName, QStringLiteral("ID"));
        for (int from = 0; from < count; from += RowReader::ChunkKeys) {
            const auto begin = ids.begin() + first + from;
            const std::vector<qint64> keys(begin,
                                           begin + std::min(RowReader::ChunkKeys, count - from));
            const std::map<qint64, QVariantList> read = reader.read(keys);
            for (size_t k = 0; k < keys.size(); ++k)
                if (const auto found = read.find(keys[k]); found != read.end())
                    rows[size_t(from) + k] = pick(reader.columns(), found->second);
        }
    } catch (const RuntimeError&) {
        connection.reset();
    }
    return rows;
}
