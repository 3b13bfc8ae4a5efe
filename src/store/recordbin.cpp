#include "store/recordbin.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString IdColumn = QStringLiteral("ID");

// The values as a JSON object: a text per field, null for Null.
QString encode(const RecordValues& values) {
    QJsonObject object;
    for (const auto& [column, value] : values)
        object.insert(column, value.isValid() && !value.isNull() ? QJsonValue(value.toString())
                                                                 : QJsonValue(QJsonValue::Null));
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

RecordValues decode(const QString& text) {
    RecordValues values;
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    for (auto it = object.begin(); it != object.end(); ++it)
        values[it.key()] = it.value().isString() ? QVariant(it.value().toString()) : QVariant();
    return values;
}

bool idTaken(Connection& connection, qint64 id) {
    Statement count(connection, Sql::CountRecordsWithId);
    count.bind(1, id);
    return count.step() && count.columnInt64(0) > 0;
}

// The record as one insert: the id first when it is kept, then the values of the columns there
// now, each under the column's own spelling.
void insertRecord(Connection& connection, const RecordValues& values, qint64 id) {
    QStringList columns;
    QVariantList bound;
    if (id != 0) {
        columns << IdColumn;
        bound << id;
    }
    for (const QString& column : readRecordColumns(connection)) {
        if (column.compare(IdColumn, Qt::CaseInsensitive) == 0)
            continue;
        for (const auto& [name, value] : values)
            if (name.compare(column, Qt::CaseInsensitive) == 0) {
                columns << column;
                bound << value;
                break;
            }
    }
    Statement insert(connection,
                     columns.isEmpty() ? Sql::InsertEmptyRecord : Sql::insertRecord(columns));
    insert.bindAll(bound);
    insert.run();
}

} // namespace

qint64 RecordBin::moveWithin(Connection& connection, qint64 id) {
    connection.engine().makeBinIfMissing();
    RecordValues values;
    {
        Statement read(connection, Sql::SelectRecordById);
        read.bind(1, id);
        if (!read.step())
            return 0;
        for (int i = 0; i < read.columnCount(); ++i)
            if (read.columnName(i).compare(IdColumn, Qt::CaseInsensitive) != 0)
                values[read.columnName(i)] = read.column(i);
    }
    qint64 key = 0;
    {
        Statement keep(connection, Sql::InsertIntoBin);
        keep.bindAll(
            {id, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), encode(values)});
        keep.step();
        key = keep.columnInt64(0);
    }
    Statement remove(connection, Sql::DeleteRecordById);
    remove.bind(1, id);
    remove.run();
    return key;
}

qint64 RecordBin::move(Connection& connection, qint64 id) {
    Transaction transaction(connection);
    const qint64 key = moveWithin(connection, id);
    transaction.commit();
    return key;
}

RecordBin::Restored RecordBin::restoreWithin(Connection& connection, qint64 key,
                                             WhenIdTaken whenTaken) {
    Restored restored;
    QString record;
    {
        // Taken out first: a second program restoring the same entry waits here, then finds
        // it gone.
        Statement take(connection, Sql::TakeFromBin);
        take.bind(1, key);
        if (!take.step())
            throw RuntimeError(ErrorNumber::RowChanged,
                               QStringLiteral("The deleted record is no longer in the bin: it "
                                              "was restored or the bin emptied meanwhile. "
                                              "Nothing was changed."));
        restored.id = take.columnInt64(0);
        record = take.column(1).toString();
        while (take.step()) {
        }
    }
    if (idTaken(connection, restored.id)) {
        if (whenTaken == WhenIdTaken::Refuse)
            throw RuntimeError(ErrorNumber::RowChanged,
                               QStringLiteral("Record %1 cannot come back: its id has been "
                                              "taken again meanwhile. Nothing was changed.")
                                   .arg(restored.id));
        insertRecord(connection, decode(record), 0);
        restored.id = connection.engine().lastInsertId();
        restored.newId = true;
    } else {
        insertRecord(connection, decode(record), restored.id);
    }
    return restored;
}

RecordBin::Restored RecordBin::restore(Connection& connection, qint64 key, WhenIdTaken whenTaken) {
    Transaction transaction(connection);
    const Restored restored = restoreWithin(connection, key, whenTaken);
    transaction.commit();
    return restored;
}

std::vector<BinEntry> RecordBin::entries(Connection& connection, qint64 beforeKey, int count) {
    std::vector<BinEntry> entries;
    if (!TableExists(connection, Sql::BinTableName))
        return entries;
    Statement read(connection, Sql::selectBinEntries(connection.engine().timeAsText(
                                   QStringLiteral("\"DeletedAt\""))));
    read.bindAll({beforeKey, count});
    while (read.step())
        entries.push_back({read.columnInt64(0), read.columnInt64(1), read.column(2).toString(),
                           decode(read.column(3).toString())});
    return entries;
}

qint64 RecordBin::count(Connection& connection) {
    if (!TableExists(connection, Sql::BinTableName))
        return 0;
    Statement read(connection, Sql::CountBin);
    return read.step() ? read.columnInt64(0) : 0;
}

void RecordBin::empty(Connection& connection) {
    if (TableExists(connection, Sql::BinTableName))
        connection.Execute(Sql::EmptyBin);
}
