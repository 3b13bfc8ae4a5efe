#include "store/recordset.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/rowreader.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

constexpr long ChunkSize = RowReader::ChunkKeys;

[[noreturn]] void noCurrentRecord() {
    throw RuntimeError(ErrorNumber::NoCurrentRecord,
                       QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
}

// "select * from TABLE [where ...]": the table and the condition.
struct SimpleSource {
    QString table;
    QString condition;
};

std::optional<SimpleSource> parseSource(const QString& source) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+(\\[[^\\]]+\\]|`[^`]+`|\"(?:[^\"]|\"\")+\"|"
                       "[A-Za-z_][A-Za-z0-9_]*)\\s*(?:where\\s+(.*))?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto match = pattern.match(source);
    if (!match.hasMatch())
        return std::nullopt;
    QString table = match.captured(1);
    if (table.size() >= 2 && (table.front() == '[' || table.front() == '`'))
        table = table.mid(1, table.size() - 2);
    else if (table.size() >= 2 && table.front() == '"')
        table =
            table.mid(1, table.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return SimpleSource{table, match.captured(2).trimmed()};
}

} // namespace

// ---- Field

QVariant Field::Value() const {
    return m_records.valueAt(m_index);
}
void Field::setValue(const QVariant& value) {
    m_records.setValueAt(m_index, value);
}
QString Field::Name() const {
    m_records.requireOpen();
    if (m_index < 0 || m_index >= m_records.fieldCount())
        throw Errors::itemNotFound();
    return m_records.m_columns[m_index];
}

Field Recordset::Fields(const QString& name) {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return Field(*this, i);
    return Field(*this, -1);
}

// ---- opening and closing

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(const QString& source, Connection& connection, int cursorType, int lockType,
                     const QVariantList& parameters) {
    if (m_open)
        throw Errors::objectOpen();
    if (connection.State() != adStateOpen)
        throw Errors::objectClosed();
    reset();
    m_connection = &connection;
    Q_UNUSED(cursorType);
    const auto simple = parseSource(source);
    const QString key = simple ? connection.engine().integerKeyOf(simple->table) : QString();
    if (simple && !key.isEmpty()) {
        m_table = simple->table;
        m_keyColumn = key;
        Statement columns(connection, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(tableSql()));
        columns.step(); // see adoptColumnsOf: the names are current only once it has run
        for (int i = 0; i < columns.columnCount(); ++i)
            m_columns << columns.columnName(i);
        QString keys = QStringLiteral("SELECT %1 FROM %2").arg(Sql::quoteName(key), tableSql());
        if (!simple->condition.isEmpty())
            keys += QStringLiteral(" WHERE ") + simple->condition;
        keys += QStringLiteral(" ORDER BY %1").arg(Sql::quoteName(key));
        Statement read(connection, keys);
        read.bindAll(parameters);
        while (read.step())
            m_keys.push_back(read.columnInt64(0));
        m_updatable = lockType != adLockReadOnly;
    } else {
        // A table with no whole-number key and any other query is read whole.
        if (!parseSource(source) &&
            !source.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive))
            throw RuntimeError(ErrorNumber::General,
                               QStringLiteral("The source of a record set must be a query."));
        Statement read(connection, source);
        read.bindAll(parameters);
        bool more = read.step();
        for (int i = 0; i < read.columnCount(); ++i)
            m_columns << read.columnName(i);
        for (; more; more = read.step()) {
            QVariantList row;
            row.reserve(read.columnCount());
            for (int i = 0; i < read.columnCount(); ++i)
                row << read.column(i);
            m_rows.push_back(std::move(row));
        }
        m_updatable = false;
    }
    m_open = true;
    m_position = rowCount() > 0 ? 0 : -1;
}

void Recordset::openMaterialized(const QStringList& columns, std::vector<QVariantList> rows) {
    reset();
    m_columns = columns;
    m_rows = std::move(rows);
    m_open = true;
    m_position = rowCount() > 0 ? 0 : -1;
}

int Recordset::State() const {
    return m_open ? adStateOpen : adStateClosed;
}

void Recordset::Close() {
    requireOpen();
    reset();
}

void Recordset::reset() {
    m_connection = nullptr;
    m_open = false;
    m_updatable = false;
    m_table.clear();
    m_keyColumn.clear();
    m_columns.clear();
    m_keys.clear();
    m_keys.shrink_to_fit();
    m_rows.clear();
    m_position = -1;
    m_chunk.clear();
    m_chunkRead.reset();
    m_pending.clear();
    m_original.clear();
    m_newRow = false;
    m_positionBeforeNew = -1;
    m_currentDeleted = false;
}

void Recordset::requireOpen() const {
    if (!m_open)
        throw Errors::objectClosed();
}

void Recordset::requireCurrentRow() const {
    requireOpen();
    if (IsBOF() || IsEOF() || m_currentDeleted)
        noCurrentRecord();
}

void Recordset::requireUpdatable() const {
    requireOpen();
    if (!m_updatable)
        throw RuntimeError(ErrorNumber::NotUpdatable,
                           QStringLiteral("Current Recordset does not support updating. This may "
                                          "be a limitation of the provider, or of the selected "
                                          "locktype."));
}

long Recordset::rowCount() const {
    return isKeyed() ? long(m_keys.size()) : long(m_rows.size());
}

// ---- position

bool Recordset::IsBOF() const {
    requireOpen();
    return rowCount() == 0 || m_position < 0;
}

bool Recordset::IsEOF() const {
    requireOpen();
    return rowCount() == 0 || m_position >= rowCount();
}

long Recordset::AbsolutePosition() const {
    requireOpen();
    if (rowCount() == 0 || m_currentDeleted)
        return adPosUnknown;
    if (m_position < 0)
        return adPosBOF;
    if (m_position >= rowCount())
        return adPosEOF;
    return m_position + 1;
}

long Recordset::RecordCount() const {
    requireOpen();
    return rowCount() - (m_currentDeleted ? 1 : 0);
}

qint64 Recordset::currentKey() const {
    requireCurrentRow();
    return isKeyed() ? m_keys[size_t(m_position)] : m_position + 1;
}

// Before the position moves: unwritten changes are written, a deleted row leaves the list.
void Recordset::leaveRow() {
    if (!m_currentDeleted && (m_newRow || !m_pending.empty()))
        Update();
}

void Recordset::settleDeletedRow() {
    if (!m_currentDeleted)
        return;
    m_keys.erase(m_keys.begin() + m_position);
    m_currentDeleted = false;
}

void Recordset::MoveFirst() {
    requireOpen();
    leaveRow();
    settleDeletedRow();
    m_position = rowCount() > 0 ? 0 : -1;
}

void Recordset::MoveLast() {
    requireOpen();
    leaveRow();
    settleDeletedRow();
    m_position = rowCount() > 0 ? rowCount() - 1 : -1;
}

void Recordset::MoveNext() {
    requireOpen();
    if (IsEOF())
        noCurrentRecord();
    leaveRow();
    if (m_currentDeleted)
        settleDeletedRow(); // the next row has moved up into the deleted one's place
    else
        ++m_position;
}

void Recordset::MovePrevious() {
    requireOpen();
    if (IsBOF())
        noCurrentRecord();
    leaveRow();
    settleDeletedRow();
    --m_position;
}

// ---- reading

const QVariantList& Recordset::currentRow() {
    static const QVariantList none;
    if (!isKeyed())
        return m_rows[size_t(m_position)];
    const qint64 key = m_keys[size_t(m_position)];
    if (m_newRow)
        return none;
    auto found = m_chunk.find(key);
    if (found != m_chunk.end() && key != m_freshKey) {
        // Someone else may have saved the row since its chunk was read: the row moved to is
        // read again, so each move shows what is stored now.
        QVariantList fresh = readRowByKey(key);
        m_chunk[key] = std::move(fresh);
        found = m_chunk.find(key);
    }
    m_freshKey = key;
    if (found == m_chunk.end()) {
        loadChunkAround(m_position);
        found = m_chunk.find(key);
        if (found == m_chunk.end()) {
            // Deleted by another program since the keys were read.
            m_chunk[key] = QVariantList();
            found = m_chunk.find(key);
        }
    }
    return found->second;
}

QString Recordset::tableSql() const {
    return Sql::quoteName(m_table);
}

void Recordset::loadChunkAround(long position) {
    // Read the rows the user is likely to visit next: forward from a row past the chunk,
    // backward from one before it.
    long first = position;
    if (!m_chunk.empty() && !m_keys.empty() && m_keys[size_t(position)] < m_chunk.begin()->first)
        first = std::max(0L, position - ChunkSize + 1);
    const long last = std::min(rowCount() - 1, first + ChunkSize - 1);
    m_chunk.clear();
    std::vector<qint64> keys;
    for (long i = first; i <= last; ++i)
        if (m_keys[size_t(i)] != 0)
            keys.push_back(m_keys[size_t(i)]);
    if (keys.empty())
        return;
    if (!m_chunkRead || &m_chunkRead->connection() != m_connection)
        m_chunkRead = std::make_unique<RowReader>(*m_connection, m_table, m_keyColumn);
    std::map<qint64, QVariantList> rows = m_chunkRead->read(keys);
    adoptColumns(m_chunkRead->columns());
    m_chunk = std::move(rows);
}

// Another window may have added or dropped a column since the rows were read: rows read in the
// old shape no longer line up with the new column list, so they are read again when needed.
// A statement prepared before this connection saw the change names the old columns until its
// first step has run (the engine prepares it again then), so this is called after that step.
void Recordset::adoptColumnsOf(const Statement& read) {
    QStringList columns;
    for (int i = 0; i < read.columnCount(); ++i)
        columns << read.columnName(i);
    adoptColumns(columns);
}

void Recordset::adoptColumns(const QStringList& columns) {
    if (columns == m_columns)
        return;
    m_columns = columns;
    m_chunk.clear();
}

QVariantList Recordset::readRowByKey(qint64 key) {
    Statement read(*m_connection, QStringLiteral("SELECT * FROM %1 WHERE %2 = ?")
                                      .arg(tableSql(), Sql::quoteName(m_keyColumn)));
    read.bind(1, key);
    const bool found = read.step();
    adoptColumnsOf(read);
    QVariantList row;
    if (found)
        for (int i = 0; i < read.columnCount(); ++i)
            row << read.column(i);
    return row;
}

QVariant Recordset::valueAt(int index) {
    requireOpen();
    if (index < 0 || index >= fieldCount())
        throw Errors::itemNotFound();
    requireCurrentRow();
    if (auto pending = m_pending.find(index); pending != m_pending.end())
        return pending->second;
    const QVariantList& row = currentRow();
    if (row.isEmpty() && !m_newRow)
        throw RuntimeError(ErrorNumber::RowChanged,
                           QStringLiteral("The record was deleted by another program since it "
                                          "was shown."));
    return index < row.size() ? row[index] : QVariant();
}

// ---- writing

void Recordset::setValueAt(int index, const QVariant& value) {
    requireUpdatable();
    if (index < 0 || index >= fieldCount())
        throw Errors::itemNotFound();
    requireCurrentRow();
    if (index == m_columns.indexOf(m_keyColumn))
        throw RuntimeError(ErrorNumber::NotUpdatable,
                           QStringLiteral("Field '%1' is an AutoNumber field and cannot be "
                                          "changed.")
                               .arg(m_keyColumn));
    if (!m_newRow && !m_original.contains(index)) {
        const QVariantList& row = currentRow();
        m_original[index] = index < row.size() ? row[index] : QVariant();
    }
    m_pending[index] = value;
}

void Recordset::AddNew() {
    requireUpdatable();
    leaveRow();
    settleDeletedRow();
    m_positionBeforeNew = m_position;
    m_keys.push_back(0);
    m_position = rowCount() - 1;
    m_newRow = true;
    m_pending.clear();
    m_original.clear();
}

void Recordset::Update() {
    requireUpdatable();
    requireCurrentRow();
    if (!m_newRow && m_pending.empty())
        return;
    writePendingRow();
}

void Recordset::writePendingRow() {
    QStringList names;
    QVariantList values;
    for (const auto& [index, value] : m_pending) {
        names << Sql::quoteName(m_columns[index]);
        values << value;
    }
    qint64 key = m_keys[size_t(m_position)];
    if (m_newRow) {
        QString sql =
            names.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(tableSql())
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(tableSql(), names.join(QLatin1Char(',')),
                           QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        Statement insert(*m_connection, sql);
        insert.bindAll(values);
        insert.step();
        key = m_connection->engine().lastInsertId();
        m_keys[size_t(m_position)] = key;
        m_newRow = false;
    } else {
        // Optimistic locking: the row is written only if the values being replaced are still
        // the ones that were read.
        QStringList sets, checks;
        QVariantList bound = values;
        for (const auto& [index, value] : m_pending) {
            sets << Sql::quoteName(m_columns[index]) + QStringLiteral(" = ?");
            checks << Sql::quoteName(m_columns[index]) + QStringLiteral(" IS NOT DISTINCT FROM ?");
        }
        bound << key;
        for (const auto& [index, original] : m_original)
            bound << original;
        Statement update(*m_connection, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ? AND %4")
                                            .arg(tableSql(), sets.join(QStringLiteral(", ")),
                                                 Sql::quoteName(m_keyColumn),
                                                 checks.join(QStringLiteral(" AND "))));
        update.bindAll(bound);
        update.step();
        if (m_connection->engine().changes() == 0)
            checkLatestRowUnchanged(key);
    }
    m_pending.clear();
    m_original.clear();
    QVariantList written = readRowByKey(key);
    m_chunk[key] = std::move(written);
}

void Recordset::checkLatestRowUnchanged(qint64 key) {
    m_chunk.erase(key);
    if (readRowByKey(key).isEmpty())
        throw RuntimeError(ErrorNumber::RowChanged,
                           QStringLiteral("The record was deleted by another program since it "
                                          "was shown; your changes were not saved."));
    throw RuntimeError(ErrorNumber::RowChanged,
                       QStringLiteral("The record was changed by another program since it was "
                                      "shown; your changes were not saved. Cancel to see the "
                                      "stored values."));
}

void Recordset::Delete() {
    requireUpdatable();
    requireCurrentRow();
    if (!m_newRow) {
        const qint64 key = m_keys[size_t(m_position)];
        Statement remove(*m_connection, QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                                            .arg(tableSql(), Sql::quoteName(m_keyColumn)));
        remove.bind(1, key);
        remove.step();
        m_chunk.erase(key);
    }
    m_newRow = false;
    m_pending.clear();
    m_original.clear();
    m_currentDeleted = true;
}

void Recordset::Cancel() {
    requireOpen();
    m_pending.clear();
    m_original.clear();
    if (m_newRow) {
        m_keys.erase(m_keys.begin() + m_position);
        m_newRow = false;
        m_position = std::clamp(m_positionBeforeNew, -1L, rowCount());
        return;
    }
    // Show the stored values again, also those another program may have written meanwhile.
    if (isKeyed() && !IsBOF() && !IsEOF() && !m_currentDeleted)
        m_chunk.erase(m_keys[size_t(m_position)]);
}

void Recordset::Find(const QString& criteria) {
    requireOpen();
    // The windows look a record up by its id: "id=N".
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\w+)\\s*=\\s*(-?\\d+)\\s*$"));
    const auto match = pattern.match(criteria);
    if (!match.hasMatch() || !isKeyed() ||
        match.captured(1).compare(m_keyColumn, Qt::CaseInsensitive) != 0)
        throw RuntimeError(ErrorNumber::General,
                           QStringLiteral("Arguments are of the wrong type, are out of acceptable "
                                          "range, or are in conflict with one another."));
    leaveRow();
    settleDeletedRow();
    const qint64 key = match.captured(2).toLongLong();
    const auto begin = m_keys.begin() + std::min(std::max(0L, m_position), rowCount());
    const auto found = std::find(begin, m_keys.end(), key);
    m_position = found == m_keys.end() ? rowCount() : long(found - m_keys.begin());
}
