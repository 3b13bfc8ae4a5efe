#include "store/recordbatches.h"

#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/statement.h"

qint64 BatchRecord::id() const {
    return m_row.columnInt64(0);
}

bool BatchRecord::isNull(int column) const {
    return m_row.isNull(column + 1);
}

std::string_view BatchRecord::text(int column) const {
    return m_row.text(column + 1);
}

namespace {
// The table's own spelling of each name (a data file's names ignore case, a server's do not),
// or Null for a name the table does not have.
QStringList selectList(Connection& connection, const QStringList& columns) {
    const QStringList present = readRecordColumns(connection);
    QStringList list;
    for (const QString& column : columns) {
        qsizetype at = present.indexOf(column);
        for (qsizetype i = 0; at < 0 && i < present.size(); ++i)
            if (present[i].compare(column, Qt::CaseInsensitive) == 0)
                at = i;
        list << (at < 0 ? QStringLiteral("NULL") : Sql::quoteName(present[at]));
    }
    return list;
}
} // namespace

RecordBatches::RecordBatches(Connection& connection, const QStringList& columns, int batchRecords)
    : m_connection(connection), m_batchRecords(batchRecords) {
    const QStringList list = selectList(connection, columns);
    m_first = Sql::selectRecordBatch(list, false);
    m_next = Sql::selectRecordBatch(list, true);
}

int RecordBatches::readBatch(const std::function<void(const BatchRecord&)>& record) {
    Statement batch(m_connection, m_started ? m_next : m_first);
    batch.bind(1, m_batchRecords);
    if (m_started)
        batch.bind(2, m_lastId);
    m_started = true;
    int read = 0;
    const BatchRecord row(batch);
    while (batch.step()) {
        record(row);
        m_lastId = row.id();
        ++read;
    }
    return read;
}
