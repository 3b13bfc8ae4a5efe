#pragma once

#include "store/rowchunks.h"
#include "store/store.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// A list of records by their ids: column 0 the id, then one column per heading, the values read
// from the store only when a row is looked at, a chunk of rows at a time, through one connection
// kept until the rows are set afresh. A list of a million records costs a list of ids.
class RecordRows : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;
    ~RecordRows() override;

    qint64 idAt(int row) const { return m_ids[size_t(row)]; }
    const std::vector<qint64>& ids() const { return m_ids; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  protected:
    // Between beginResetModel and endResetModel.
    void setRows(const Store& store, const QStringList& headings, std::vector<qint64> ids);
    // The values of a row but its id.
    const QStringList& values(int row) const;
    // What a row shows of its record as read (columns: the names of the record's values).
    virtual QStringList pick(const QStringList& columns, const QVariantList& record) const = 0;
    // The connection the values are read through, when one is open.
    Connection* connection() const { return m_connection.get(); }
    void dropConnection() const { m_connection.reset(); }

  private:
    std::optional<Store> m_store;
    mutable std::unique_ptr<Connection> m_connection;
    QStringList m_headings;
    std::vector<qint64> m_ids;
    mutable RowChunks m_chunks;
};
