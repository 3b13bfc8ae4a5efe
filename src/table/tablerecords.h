#pragma once

#include "store/fieldvalue.h"
#include "store/recordrows.h"
#include "store/recordtable.h"

#include <QStringList>
#include <vector>

class Connection;

// The rows of the table view: the ids of the records asked for, read at once, and their values
// read only when a row is looked at, a chunk of rows at a time, through one connection kept
// until the rows are read afresh. Column 0 is the id, then one column per field of every page,
// the values of numbers, money and dates shown in the user's locale.
class TableRecords : public RecordRows {
    Q_OBJECT
  public:
    // A field's column, its width factor as the field list stores it, and its kind.
    struct Column {
        QString name;
        double lengthFactor = 1;
        FieldKind kind = FieldKind::Textfield;
    };

    // What a read gives: the fields, and the ids of the records the query asks for.
    struct Content {
        std::vector<Column> fields;
        std::vector<qint64> ids;
        qint64 total = 0;
    };

    using RecordRows::RecordRows;
    ~TableRecords() override;

    // Reads the fields and the ids afresh (on any thread): no values yet. With `first` more
    // than 0, only so many ids, the first of the order, and no count.
    static Content readContent(Connection& connection, const TableQuery& query, int first = 0);
    // What is shown now, to be shown again.
    Content content() const;
    // Shows what was read; the values are read from the store as the rows are looked at.
    void show(const Store& store, const TableQuery& query, Content content);
    const TableQuery& query() const { return m_query; }
    const std::vector<Column>& fields() const { return m_fields; }
    // The row of the record with this id, -1 when it is not among the rows.
    int rowOf(qint64 id) const;
    // How many records there are, whether the filters pass them or not.
    qint64 totalRecords() const { return m_total; }
    // The values of a row as shown, the id first.
    QStringList rowValues(int row) const;

    // Numbers and money to the right.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    // The fields by name: the reader's columns are the table's as it read them.
    QStringList pick(const QStringList& columns, const QVariantList& record) const override;

    TableQuery m_query;
    std::vector<Column> m_fields;
    mutable QStringList m_pickedColumns;     // the reader's, as pick() saw them last
    mutable std::vector<qsizetype> m_places; // of each field among them
    qint64 m_total = 0;
};
