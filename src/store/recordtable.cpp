#include "store/recordtable.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/schema.h"
#include "store/statement.h"

namespace {

// The terms that order the records by one column: the empty values (missing or the empty
// text, all alike, so ties by id) last whichever the direction, then the values in the order
// of their kind. Every
// value is text for now, in the user's locale's order.
QStringList orderTerms(Engine& engine, const QString& column, bool descending) {
    const QString name = Sql::quoteName(column);
    if (column.compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0)
        return {descending ? name + QStringLiteral(" DESC") : name};
    return {QStringLiteral("coalesce(%1, '') = ''").arg(name),
            engine.localeTextOrder(QStringLiteral("nullif(%1, '')").arg(name)) +
                (descending ? QStringLiteral(" DESC") : QString())};
}

} // namespace

std::vector<qint64> selectTableIds(Connection& connection, const TableQuery& query) {
    Engine& engine = connection.engine();
    QStringList tests;
    QVariantList values;
    for (const TableQuery::Filter& filter : query.filters) {
        if (filter.text.isEmpty())
            continue;
        tests << engine.containsTest(Sql::quoteName(filter.column));
        values << engine.containsArgument(filter.text);
    }
    const QStringList order = query.orderColumn.isEmpty()
                                  ? QStringList()
                                  : orderTerms(engine, query.orderColumn, query.descending);
    Statement read(connection, Sql::selectTableIds(tests, order));
    read.bindAll(values);
    std::vector<qint64> ids;
    while (read.step())
        ids.push_back(read.columnInt64(0));
    return ids;
}

qint64 countRecords(Connection& connection) {
    Statement count(connection, Sql::CountRecords);
    return count.step() ? count.columnInt64(0) : 0;
}
