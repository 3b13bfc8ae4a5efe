#pragma once

#include "store/recordtable.h"
#include "store/store.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <list>
#include <memory>
#include <optional>
#include <vector>

class Connection;

// The rows of the table view: the ids of the records asked for, read at once, and their values
// read only when a row is looked at, a chunk of rows at a time, through one connection kept
// until the rows are read afresh. Column 0 is the id, then one column per field of every page.
class TableRecords : public QAbstractTableModel {
    Q_OBJECT
  public:
    // A field's column and its width factor as the field list stores it.
    struct Column {
        QString name;
        double lengthFactor = 1;
    };

    // What a read gives: the fields, and the ids of the records the query asks for.
    struct Content {
        std::vector<Column> fields;
        std::vector<qint64> ids;
        qint64 total = 0;
    };

    using QAbstractTableModel::QAbstractTableModel;
    ~TableRecords() override;

    // Reads the fields and the ids afresh (on any thread): no values yet.
    static Content readContent(Connection& connection, const TableQuery& query);
    // Shows what was read; the values are read from the store as the rows are looked at.
    void show(const Store& store, const TableQuery& query, Content content);
    const TableQuery& query() const { return m_query; }
    const std::vector<Column>& fields() const { return m_fields; }
    qint64 idAt(int row) const { return m_ids[size_t(row)]; }
    // The row of the record with this id, -1 when it is not among the rows.
    int rowOf(qint64 id) const;
    // How many records there are, whether the filters pass them or not.
    qint64 totalRecords() const { return m_total; }
    // The values of a row as shown, the id first.
    QStringList rowValues(int row) const;

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

    std::optional<Store> m_store;
    mutable std::unique_ptr<Connection> m_connection;
    TableQuery m_query;
    std::vector<Column> m_fields;
    std::vector<qint64> m_ids;
    qint64 m_total = 0;
    mutable std::list<Chunk> m_chunks; // most recently used first
};
