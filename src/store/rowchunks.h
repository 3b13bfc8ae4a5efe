#pragma once

#include <QStringList>
#include <QVariantList>
#include <functional>
#include <list>
#include <memory>
#include <vector>

class Connection;
class Store;

// The values of a long list's rows, read a chunk of rows at a time when a row is first looked
// at, with the chunks used last kept: scrolling back and forth reads nothing twice, and a list
// of a million rows costs a few chunks.
class RowChunks {
  public:
    // Reads `count` rows from row `first` on; a row that cannot be read is empty.
    using Reader = std::function<std::vector<QStringList>(int first, int count)>;

    // The row's values; rowCount is how many rows the list has.
    const QStringList& row(int row, int rowCount, const Reader& read);
    void clear() { m_chunks.clear(); }

    // What a row shows of a record as read (columns: the names of its values).
    using Pick = std::function<QStringList(const QStringList& columns, const QVariantList& record)>;
    // Rows from the records of ids[first] on, read through the connection (opened from the store
    // when there is none, dropped when a read fails so that the next one connects again). A
    // record not there, or not read, gives an empty row: a list is painted from here, where no
    // message box may interrupt.
    static std::vector<QStringList> readRecords(const Store& store,
                                                std::unique_ptr<Connection>& connection,
                                                const std::vector<qint64>& ids, int first,
                                                int count, const Pick& pick);

  private:
    struct Chunk {
        int first = 0;
        std::vector<QStringList> rows;
    };
    std::list<Chunk> m_chunks; // most recently used first
};
