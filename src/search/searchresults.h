#pragma once

#include "store/store.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The rows of ListView1: the ids of the matching records, with the values of the page shown
// read from the data file only when a row is looked at, a chunk of rows at a time, so that a
// search matching a million records costs a list of ids and no more.
class SearchResults : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // Column 0 is "ID"; then one column per caption, holding the column at page × 26 + j.
    void reset(const QStringList& captions, int page, const Store& store, std::vector<qint64> ids);

    qint64 idAt(int row) const { return m_ids[size_t(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    struct Chunk {
        int first = 0;
        std::vector<QStringList> rows;
    };
    const Chunk& chunkFor(int row) const;
    std::vector<QStringList> readRows(int first, int count) const;

    QStringList m_captions;
    int m_page = 0;
    std::optional<Store> m_store;
    // Opened for the first rows read, kept for the next, until the list is reset.
    mutable std::unique_ptr<Connection> m_connection;
    std::vector<qint64> m_ids;
    bool m_searched = false;           // no columns before the first search
    mutable std::list<Chunk> m_chunks; // most recently used first
};
