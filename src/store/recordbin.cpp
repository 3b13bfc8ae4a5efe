#include "store/recordbin.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/rowreader.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <utility>

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

RuntimeError notInBin() {
    return RuntimeError(ErrorNumber::RowChanged,
                        QStringLiteral("The deleted record is no longer in the bin: it was "
                                       "restored or the bin emptied meanwhile. Nothing was "
                                       "changed."));
}

RuntimeError idTakenAgain(qint64 id) {
    return RuntimeError(ErrorNumber::RowChanged,
                        QStringLiteral("Record %1 cannot come back: its id has been taken again "
                                       "meanwhile. Nothing was changed.")
                            .arg(id));
}

bool idTaken(Connection& connection, qint64 id) {
    Statement count(connection, Sql::CountRecordsWithId);
    count.bind(1, id);
    return count.step() && count.columnInt64(0) > 0;
}

// Where a record's values go: for each column of the table but the id, under the column's own
// spelling, the value of that name (capitals ignored) by its place among the record's names.
struct ColumnPicks {
    QStringList names;
    QStringList columns;
    std::vector<qsizetype> from;
};

ColumnPicks pickColumns(const QStringList& tableColumns, const QStringList& names) {
    ColumnPicks picks{names, {}, {}};
    for (const QString& column : tableColumns) {
        if (column.compare(IdColumn, Qt::CaseInsensitive) == 0)
            continue;
        for (qsizetype i = 0; i < names.size(); ++i)
            if (names[i].compare(column, Qt::CaseInsensitive) == 0) {
                picks.columns << column;
                picks.from.push_back(i);
                break;
            }
    }
    return picks;
}

// The record as the columns and values of one insert: the id first when it is kept, then the
// values picked. The picks are made anew when the record's names are not those they were made
// for.
void recordColumns(const QStringList& tableColumns, const RecordValues& values, qint64 id,
                   ColumnPicks& picks, QStringList& columns, QVariantList& bound) {
    std::vector<const QVariant*> all;
    all.reserve(values.size());
    for (const auto& [name, value] : values)
        all.push_back(&value);
    if (!std::equal(values.begin(), values.end(), picks.names.begin(), picks.names.end(),
                    [](const auto& value, const QString& name) { return value.first == name; })) {
        QStringList names;
        for (const auto& [name, value] : values)
            names << name;
        picks = pickColumns(tableColumns, names);
    }
    bound.reserve(picks.from.size() + 1);
    if (id != 0) {
        columns << IdColumn;
        bound << id;
    }
    columns += picks.columns;
    for (const qsizetype at : picks.from)
        bound << *all[size_t(at)];
}

void insertRecord(Connection& connection, const RecordValues& values, qint64 id) {
    QStringList columns;
    QVariantList bound;
    ColumnPicks picks;
    recordColumns(readRecordColumns(connection), values, id, picks, columns, bound);
    Statement insert(connection,
                     columns.isEmpty() ? Sql::InsertEmptyRecord : Sql::insertRecord(columns));
    insert.bindAll(bound);
    insert.run();
}

// The time now as the bin keeps it, written anew only once a millisecond.
class DeletedAt {
  public:
    const QString& text() {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        if (now != m_at) {
            m_at = now;
            m_text = now.toString(Qt::ISODateWithMs);
        }
        return m_text;
    }

  private:
    QDateTime m_at;
    QString m_text;
};

// Ids or keys in one statement.
constexpr int Chunk = RowReader::ChunkKeys;

// Writes rows, those with the same columns together, by statements of up to a chunk of rows
// (text(columns, rows) gives one); a full chunk's statement is prepared once per columns. Each
// row a statement gives back is handed to `returned`.
class ChunkWriter {
  public:
    using Text = std::function<QString(const QStringList& columns, int rows)>;
    using Returned = std::function<void(const Statement& row)>;
    ChunkWriter(Connection& connection, Text text, Returned returned = {})
        : m_connection(connection), m_text(std::move(text)), m_returned(std::move(returned)) {}

    void add(const QStringList& columns, const QVariantList& values) {
        if (columns != m_columns) {
            flush();
            m_full.reset();
            m_columns = columns;
        }
        m_values += values;
        if (++m_rows == Chunk)
            flush();
    }
    void flush() {
        if (m_rows == 0)
            return;
        std::unique_ptr<Statement> partial;
        if (m_rows < Chunk)
            partial = std::make_unique<Statement>(m_connection, m_text(m_columns, m_rows));
        else if (!m_full)
            m_full = std::make_unique<Statement>(m_connection, m_text(m_columns, m_rows));
        Statement& statement = partial ? *partial : *m_full;
        statement.bindAll(m_values);
        while (statement.step())
            if (m_returned)
                m_returned(statement);
        statement.reset();
        m_values.clear();
        m_rows = 0;
    }

  private:
    Connection& m_connection;
    Text m_text;
    Returned m_returned;
    QStringList m_columns;
    QVariantList m_values;
    int m_rows = 0;
    std::unique_ptr<Statement> m_full;
};

} // namespace

qint64 RecordBin::moveWithin(Connection& connection, qint64 id) {
    return moveAllWithin(connection, {id}).front();
}

qint64 RecordBin::move(Connection& connection, qint64 id) {
    Transaction transaction(connection);
    const qint64 key = moveWithin(connection, id);
    transaction.commit();
    return key;
}

std::vector<qint64> RecordBin::moveAllWithin(Connection& connection,
                                             const std::vector<qint64>& ids) {
    connection.engine().makeBinIfMissing();
    std::vector<qint64> keys;
    keys.reserve(ids.size());
    std::map<qint64, qint64> keyOfId; // of the chunk
    RowReader read(connection, Sql::CustomTableName, IdColumn);
    ChunkWriter keep(
        connection, [](const QStringList&, int rows) { return Sql::insertIntoBin(rows); },
        [&](const Statement& row) { keyOfId[row.columnInt64(1)] = row.columnInt64(0); });
    Statement remove(connection, Sql::deleteRecordsById(Chunk));
    DeletedAt now;
    for (size_t from = 0; from < ids.size(); from += Chunk) {
        const std::vector<qint64> chunk(ids.begin() + qsizetype(from),
                                        ids.begin() +
                                            qsizetype(std::min(ids.size(), from + Chunk)));
        const std::map<qint64, QVariantList> rows = read.read(chunk);
        const QStringList& columns = read.columns();
        int bound = 0;
        for (const qint64 id : chunk) {
            const auto row = rows.find(id);
            if (row == rows.end())
                continue;
            RecordValues values;
            for (qsizetype i = 0; i < columns.size(); ++i)
                if (columns[i].compare(IdColumn, Qt::CaseInsensitive) != 0)
                    values[columns[i]] = row->second[i];
            keep.add({}, {id, now.text(), encode(values)});
            remove.bind(++bound, id);
        }
        keep.flush();
        remove.run();
        for (const qint64 id : chunk) {
            const auto key = keyOfId.find(id);
            keys.push_back(key == keyOfId.end() ? 0 : key->second);
        }
        keyOfId.clear();
    }
    return keys;
}

RecordBin::Restored RecordBin::restoreWithin(Connection& connection, qint64 key,
                                             WhenIdTaken whenTaken) {
    Restored restored;
    QString record;
    {
        // Taken out first: a second program restoring the same entry waits here, then finds
        // it gone.
        Statement take(connection, Sql::takeFromBin(1));
        take.bind(1, key);
        if (!take.step())
            throw notInBin();
        restored.id = take.columnInt64(0);
        record = take.column(1).toString();
        while (take.step()) {
        }
    }
    if (idTaken(connection, restored.id)) {
        if (whenTaken == WhenIdTaken::Refuse)
            throw idTakenAgain(restored.id);
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

void RecordBin::restoreAllWithin(Connection& connection, const std::vector<qint64>& keys) {
    const QStringList tableColumns = readRecordColumns(connection);
    ColumnPicks picks;
    Statement take(connection, Sql::takeFromBin(Chunk));
    Statement taken(connection, Sql::selectRecordIdsAmong(Chunk));
    ChunkWriter insert(connection, [](const QStringList& columns, int rows) {
        return Sql::insertRecord(columns, rows);
    });
    for (size_t from = 0; from < keys.size(); from += Chunk) {
        const auto begin = keys.begin() + qsizetype(from);
        const auto end = keys.begin() + qsizetype(std::min(keys.size(), from + Chunk));
        std::map<qint64, std::pair<qint64, QString>> entries; // by key: the id and the values
        int bound = 0;
        for (auto key = begin; key != end; ++key)
            take.bind(++bound, *key);
        while (take.step())
            entries[take.columnInt64(2)] = {take.columnInt64(0), take.column(1).toString()};
        take.reset();
        bound = 0;
        for (const auto& [key, entry] : entries)
            taken.bind(++bound, entry.first);
        std::set<qint64> idsTaken;
        while (taken.step())
            idsTaken.insert(taken.columnInt64(0));
        taken.reset();
        for (auto key = begin; key != end; ++key) {
            const auto entry = entries.find(*key);
            if (entry == entries.end())
                throw notInBin();
            const qint64 id = entry->second.first;
            if (idsTaken.count(id))
                throw idTakenAgain(id);
            QStringList columns;
            QVariantList values;
            recordColumns(tableColumns, decode(entry->second.second), id, picks, columns, values);
            insert.add(columns, values);
        }
    }
    insert.flush();
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
