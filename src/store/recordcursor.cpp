#include "store/recordcursor.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/recordbin.h"
#include "store/schema.h"
#include "store/statement.h"

#include <algorithm>
#include <utility>

namespace {

// AbsolutePosition without a current record.
enum Position { PositionUnknown = -1, PositionBOF = -2, PositionEOF = -3 };

const QString IdColumn = QStringLiteral("ID");

[[noreturn]] void noCurrentRecord() {
    throw RuntimeError(ErrorNumber::NoCurrentRecord,
                       QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
}

// The kept statement holds no lock between two reads.
struct ResetAfterUse {
    Statement& statement;
    ~ResetAfterUse() { statement.reset(); }
};

} // namespace

QVariant Field::Value() const {
    return m_records.value(m_name);
}

void Field::setValue(const QVariant& value) {
    m_records.setValue(m_name, value);
}

RecordCursor::RecordCursor() = default;
RecordCursor::~RecordCursor() = default;

// ---- opening and closing

void RecordCursor::Open(Connection& connection) {
    if (m_read)
        throw Errors::objectOpen();
    auto read = std::make_unique<Statement>(connection, Sql::SelectRecordById);
    std::vector<qint64> ids;
    Statement readIds(connection, Sql::SelectRecordIds);
    while (readIds.step())
        ids.push_back(readIds.columnInt64(0));
    m_connection = &connection;
    m_read = std::move(read);
    m_ids = std::move(ids);
    moveTo(m_ids.empty() ? -1 : 0);
}

int RecordCursor::State() const {
    return m_read ? adStateOpen : adStateClosed;
}

void RecordCursor::Close() {
    requireOpen();
    m_read.reset();
    m_connection = nullptr;
    m_ids = {};
    m_position = -1;
    m_newRow = false;
    m_currentDeleted = false;
    m_row = Row::NotRead;
    m_pending.clear();
    m_original.clear();
}

void RecordCursor::requireOpen() const {
    if (!m_read)
        throw Errors::objectClosed();
}

void RecordCursor::requireCurrentRow() const {
    if (IsBOF() || IsEOF() || m_currentDeleted)
        noCurrentRecord();
}

// ---- position

bool RecordCursor::IsBOF() const {
    requireOpen();
    return count() == 0 || m_position < 0;
}

bool RecordCursor::IsEOF() const {
    requireOpen();
    return count() == 0 || m_position >= count();
}

long RecordCursor::AbsolutePosition() const {
    requireOpen();
    if (count() == 0 || m_currentDeleted)
        return PositionUnknown;
    if (m_position < 0)
        return PositionBOF;
    if (m_position >= count())
        return PositionEOF;
    return m_position + 1;
}

long RecordCursor::RecordCount() const {
    requireOpen();
    return count() - (m_currentDeleted ? 1 : 0);
}

void RecordCursor::moveTo(long position) {
    m_position = position;
    m_row = Row::NotRead;
}

// Before the position moves: unwritten changes are written, a deleted record leaves the list.
void RecordCursor::leaveRow() {
    if (!m_currentDeleted && (m_newRow || !m_pending.empty()))
        Update();
}

void RecordCursor::settleDeletedRow() {
    if (!m_currentDeleted)
        return;
    m_ids.erase(m_ids.begin() + m_position);
    m_currentDeleted = false;
}

void RecordCursor::MoveFirst() {
    requireOpen();
    leaveRow();
    settleDeletedRow();
    moveTo(count() > 0 ? 0 : -1);
}

void RecordCursor::MoveLast() {
    requireOpen();
    leaveRow();
    settleDeletedRow();
    moveTo(count() > 0 ? count() - 1 : -1);
}

void RecordCursor::MoveNext() {
    if (IsEOF())
        noCurrentRecord();
    leaveRow();
    const bool deleted = m_currentDeleted;
    settleDeletedRow(); // the next record has moved up into the deleted one's place
    moveTo(deleted ? m_position : m_position + 1);
}

void RecordCursor::MovePrevious() {
    if (IsBOF())
        noCurrentRecord();
    leaveRow();
    settleDeletedRow();
    moveTo(m_position - 1);
}

void RecordCursor::Find(qint64 id) {
    requireOpen();
    leaveRow();
    settleDeletedRow();
    moveTo(long(std::find(m_ids.begin(), m_ids.end(), id) - m_ids.begin()));
}

void RecordCursor::Recheck(qint64 id) {
    requireOpen();
    leaveRow();
    settleDeletedRow();
    Statement read(*m_connection, Sql::CountRecordsWithId);
    read.bind(1, id);
    const bool there = read.step() && read.columnInt64(0) > 0;
    const auto at = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    const bool listed = at != m_ids.end() && *at == id;
    if (there && !listed)
        m_ids.insert(at, id);
    else if (!there && listed)
        m_ids.erase(at);
    moveTo(std::clamp(m_position, -1L, count()));
}

// ---- reading

void RecordCursor::readRow() {
    const ResetAfterUse resetAfterUse{*m_read};
    m_read->bind(1, m_ids[size_t(m_position)]);
    if (!m_read->step()) {
        m_row = Row::Gone; // deleted by another program since the ids were read
        return;
    }
    // The names are those of the table as it is now once the statement has run: the engine
    // prepares it again when another connection changed the table.
    const int columns = m_read->columnCount();
    bool same = columns == m_columns.size();
    for (int i = 0; same && i < columns; ++i)
        same = m_read->columnName(i) == m_columns[i];
    if (!same) {
        m_columns.clear();
        m_columnIndex.clear();
        for (int i = 0; i < columns; ++i) {
            m_columns << m_read->columnName(i);
            m_columnIndex.insert(m_columns.back(), i);
        }
    }
    m_values.resize(columns);
    for (int i = 0; i < columns; ++i)
        m_values[i] = m_read->column(i);
    m_row = Row::Read;
}

int RecordCursor::columnOf(const QString& name) const {
    if (const auto found = m_columnIndex.constFind(name); found != m_columnIndex.cend())
        return *found;
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The column of the current record's values, -1 when it has none or the record is gone. A
// column added since the record was read is read then; the values read before stay as they
// were shown, so that a write still checks against those.
int RecordCursor::column(const QString& name) {
    if (m_row == Row::NotRead)
        readRow();
    int at = m_row == Row::Read ? columnOf(name) : -1;
    if (at < 0 && m_row == Row::Read) {
        const QStringList columns = m_columns;
        const QVariantList values = m_values;
        readRow();
        for (int i = 0; m_row == Row::Read && i < columns.size(); ++i)
            if (const int now = columnOf(columns[i]); now >= 0)
                m_values[now] = values[i];
        at = m_row == Row::Read ? columnOf(name) : -1;
    }
    return at;
}

QVariant RecordCursor::value(const QString& name) {
    requireCurrentRow();
    if (const auto pending = m_pending.find(name); pending != m_pending.end())
        return pending->second;
    if (m_newRow)
        return QVariant();
    const int at = column(name);
    if (m_row == Row::Gone)
        throw RuntimeError(ErrorNumber::RowChanged,
                           QStringLiteral("The record was deleted by another program since it "
                                          "was shown."));
    if (at < 0)
        throw Errors::itemNotFound();
    return m_values[at];
}

// ---- writing

void RecordCursor::setValue(const QString& name, const QVariant& value) {
    requireCurrentRow();
    if (name.compare(IdColumn, Qt::CaseInsensitive) == 0)
        throw RuntimeError(ErrorNumber::NotUpdatable,
                           QStringLiteral("Field '%1' is an AutoNumber field and cannot be "
                                          "changed.")
                               .arg(IdColumn));
    QString key = name;
    if (!m_newRow) {
        // A record gone meanwhile is reported by the write, which finds nothing to replace.
        const int at = column(name);
        if (at >= 0)
            key = m_columns[at];
        else if (m_row != Row::Gone)
            throw Errors::itemNotFound();
        if (!m_original.contains(key))
            m_original[key] = at >= 0 ? m_values[at] : QVariant();
    }
    m_pending[key] = value;
}

void RecordCursor::AddNew() {
    requireOpen();
    leaveRow();
    settleDeletedRow();
    m_positionBeforeNew = m_position;
    m_ids.push_back(0);
    moveTo(count() - 1);
    m_newRow = true;
    m_pending.clear();
    m_original.clear();
}

void RecordCursor::Update() {
    requireCurrentRow();
    if (m_newRow || !m_pending.empty())
        write();
}

void RecordCursor::write() {
    QStringList columns;
    QVariantList values;
    for (const auto& [column, value] : m_pending) {
        columns << column;
        values << value;
    }
    qint64& id = m_ids[size_t(m_position)];
    const bool created = m_newRow;
    if (m_newRow) {
        Statement insert(*m_connection,
                         columns.isEmpty() ? Sql::InsertEmptyRecord : Sql::insertRecord(columns));
        insert.bindAll(values);
        insert.step();
        id = m_connection->engine().lastInsertId();
        m_newRow = false;
    } else {
        values << id;
        for (const auto& [column, original] : m_original)
            values << original;
        Statement update(*m_connection, Sql::updateRecordIfUnchanged(columns));
        update.bindAll(values);
        update.step();
        if (m_connection->engine().changes() == 0) {
            readRow();
            if (m_row == Row::Gone)
                throw RuntimeError(ErrorNumber::RowChanged,
                                   QStringLiteral("The record was deleted by another program "
                                                  "since it was shown; your changes were not "
                                                  "saved."));
            throw RuntimeError(ErrorNumber::RowChanged,
                               QStringLiteral("The record was changed by another program since "
                                              "it was shown; your changes were not saved. Cancel "
                                              "to see the stored values."));
        }
    }
    noteWrite(id, created);
    m_pending.clear();
    m_original.clear();
    m_row = Row::NotRead;
}

void RecordCursor::noteWrite(qint64 id, bool created) {
    if (m_written.id != id || created)
        m_written = RecordWrite{id, created, {}, {}};
    for (const auto& [column, value] : m_pending) {
        if (!m_written.created && !m_written.before.contains(column))
            m_written.before[column] = m_original[column];
        m_written.after[column] = value;
    }
}

RecordWrite RecordCursor::takeWrites() {
    return std::exchange(m_written, RecordWrite());
}

qint64 RecordCursor::currentId() const {
    requireCurrentRow();
    return m_ids[size_t(m_position)];
}

void RecordCursor::Delete() {
    requireCurrentRow();
    m_lastBinKey = m_newRow ? 0 : RecordBin::move(*m_connection, m_ids[size_t(m_position)]);
    m_newRow = false;
    m_pending.clear();
    m_original.clear();
    m_currentDeleted = true;
    m_row = Row::NotRead;
}

void RecordCursor::Cancel() {
    requireOpen();
    m_pending.clear();
    m_original.clear();
    if (m_newRow) {
        m_ids.erase(m_ids.begin() + m_position);
        m_newRow = false;
        moveTo(std::clamp(m_positionBeforeNew, -1L, count()));
        return;
    }
    // Shows the stored values again, also those another program may have written meanwhile.
    m_row = Row::NotRead;
}
