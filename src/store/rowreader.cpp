#include "store/rowreader.h"

#include "store/schema.h"
#include "store/statement.h"

RowReader::RowReader(Connection& connection, const QString& table, const QString& keyColumn)
    : m_connection(connection), m_keyColumn(keyColumn) {
    // Preparing a statement that reads every column costs more than running it, so it is kept;
    // parameters left unbound are Null and match no row.
    const QStringList marks(ChunkKeys, QStringLiteral("?"));
    m_statement = std::make_unique<Statement>(
        connection,
        QStringLiteral("SELECT * FROM %1 WHERE %2 IN (%3)")
            .arg(Sql::quoteName(table), Sql::quoteName(keyColumn), marks.join(QLatin1Char(','))));
}

RowReader::~RowReader() = default;

std::map<qint64, QVariantList> RowReader::read(const std::vector<qint64>& keys) {
    struct ResetAfterUse {
        Statement& statement;
        ~ResetAfterUse() { statement.reset(); }
    } resetAfterUse{*m_statement};
    int bound = 0;
    for (qint64 key : keys)
        if (bound < ChunkKeys)
            m_statement->bind(++bound, key);
    std::map<qint64, QVariantList> rows;
    bool more = m_statement->step();
    // The names are those of the current schema only once the statement has run: the engine
    // prepares it again then when another connection changed the table.
    m_columns.clear();
    for (int i = 0; i < m_statement->columnCount(); ++i)
        m_columns << m_statement->columnName(i);
    const int keyIndex = int(m_columns.indexOf(m_keyColumn));
    for (; more; more = m_statement->step()) {
        QVariantList row;
        row.reserve(m_statement->columnCount());
        for (int i = 0; i < m_statement->columnCount(); ++i)
            row << m_statement->column(i);
        rows[m_statement->columnInt64(keyIndex)] = std::move(row);
    }
    return rows;
}
