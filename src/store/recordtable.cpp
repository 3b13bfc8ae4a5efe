#include "store/recordtable.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/fieldvalue.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QHash>
#include <QLocale>
#include <cstring>

namespace {

bool isIdColumn(const QString& column) {
    return column.compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0;
}

// How a column's values are compared: the value of the field's kind, Null for a value that is
// none of it (or a text field's).
struct Comparable {
    FieldKind kind = FieldKind::Textfield;
    QString value;
};

Comparable comparableOf(Engine& engine, const QString& column, FieldKind kind) {
    const QString name = Sql::quoteName(column);
    if (isIdColumn(column))
        return {FieldKind::Number, name};
    if (kind == FieldKind::Number || kind == FieldKind::Currency)
        return {kind, engine.plainNumber(name)};
    if (kind == FieldKind::Date)
        return {kind, engine.plainDate(name)};
    return {kind, QString()};
}

// The terms that order the records by one column: the empty values last whichever the
// direction, then the values of the field's kind in their order, then (of a kind with a
// canonical form) the other values as text in the user's locale's order. The value of the
// kind is worked out once a row: equal values of the kind have the same text.
QStringList orderTerms(Engine& engine, const QString& column, FieldKind kind, bool descending) {
    const QString direction = descending ? QStringLiteral(" DESC") : QString();
    const Comparable comparable = comparableOf(engine, column, kind);
    const QString name = Sql::quoteName(column);
    if (isIdColumn(column))
        return {name + direction};
    QStringList terms{Sql::isEmptyValue(name)};
    if (!comparable.value.isEmpty())
        terms << comparable.value + direction + QStringLiteral(" NULLS LAST");
    return terms << engine.localeTextOrder(QStringLiteral("nullif(%1, '')").arg(name)) + direction;
}

// A filter's text read as a comparison with values of the kind: the lowest and highest value
// passing, each with whether it passes itself; nullopt when the text is none.
struct Range {
    std::optional<QString> low, high;
    bool lowPasses = true, highPasses = true;
};

std::optional<QString> boundOf(FieldKind kind, const QString& text) {
    const ParsedValue parsed = parseFieldValue(kind, text, QLocale());
    if (!parsed.ok() || parsed.canonical.isEmpty())
        return std::nullopt;
    return parsed.canonical;
}

std::optional<Range> rangeOf(FieldKind kind, const QString& filter) {
    const QString text = filter.trimmed();
    for (const char* op : {">=", "<=", ">", "<", "="}) {
        if (!text.startsWith(QLatin1String(op)))
            continue;
        const std::optional<QString> bound = boundOf(kind, text.mid(qsizetype(strlen(op))));
        if (!bound)
            return std::nullopt;
        const QChar first = QLatin1Char(op[0]);
        const bool passes = strlen(op) == 2 || first == u'=';
        Range range;
        if (first != u'<')
            range.low = bound, range.lowPasses = passes;
        if (first != u'>')
            range.high = bound, range.highPasses = passes;
        return range;
    }
    const qsizetype dots = text.indexOf(QLatin1String(".."));
    if (dots < 0)
        return std::nullopt;
    const QString from = text.left(dots).trimmed(), to = text.mid(dots + 2).trimmed();
    Range range;
    if (!from.isEmpty() && !(range.low = boundOf(kind, from)))
        return std::nullopt;
    if (!to.isEmpty() && !(range.high = boundOf(kind, to)))
        return std::nullopt;
    if (!range.low && !range.high)
        return std::nullopt;
    return range;
}

// The test of a range: a date alone stands for every time of its day, which all come after
// it and before it with "T~" added.
QString rangeTest(Engine& engine, const Comparable& comparable, const Range& range,
                  QVariantList& values) {
    QStringList tests;
    const auto compare = [&](const QString& bound, bool below, bool passes) {
        const bool dayLong = comparable.kind == FieldKind::Date && bound.size() == 10;
        // A day passes all of itself or none of it.
        const bool atDayEnd = dayLong && (below == passes);
        const QString op = QLatin1String(below ? "<" : ">") + (passes ? QStringLiteral("=") : "");
        tests << comparable.value + QLatin1Char(' ') + op + QLatin1Char(' ') +
                     (comparable.kind == FieldKind::Date ? QStringLiteral("?")
                                                         : engine.plainNumber(QStringLiteral("?")));
        values << (atDayEnd ? bound + QStringLiteral("T~") : bound);
    };
    if (range.low)
        compare(*range.low, false, range.lowPasses);
    if (range.high)
        compare(*range.high, true, range.highPasses);
    return QLatin1Char('(') + tests.join(QStringLiteral(" AND ")) + QLatin1Char(')');
}

// The ids in the query's order; the first so many only when `first` is more than 0.
std::vector<qint64> readIds(Connection& connection, const TableQuery& query, int first) {
    Engine& engine = connection.engine();
    const QHash<QString, FieldKind> kinds = readFieldKinds(connection);
    QStringList tests;
    QVariantList values;
    for (const TableQuery::Filter& filter : query.filters) {
        if (filter.text.isEmpty())
            continue;
        const FieldKind kind = kinds.value(filter.column.toLower(), FieldKind::Textfield);
        const Comparable comparable = comparableOf(engine, filter.column, kind);
        const std::optional<Range> range =
            comparable.value.isEmpty() ? std::nullopt : rangeOf(comparable.kind, filter.text);
        if (range) {
            tests << rangeTest(engine, comparable, *range, values);
        } else {
            tests << engine.containsTest(Sql::quoteName(filter.column));
            values << engine.containsArgument(filter.text);
        }
    }
    if (query.among) {
        QStringList ids;
        for (qint64 id : *query.among)
            ids << QString::number(id);
        tests << engine.idAmongTest();
        values << QStringLiteral("[%1]").arg(ids.join(QLatin1Char(',')));
    }
    const QStringList order =
        query.orderColumn.isEmpty()
            ? QStringList()
            : orderTerms(engine, query.orderColumn,
                         kinds.value(query.orderColumn.toLower(), FieldKind::Textfield),
                         query.descending);
    Statement read(connection, first > 0 ? Sql::selectFirstTableIds(tests, order)
                                         : Sql::selectTableIds(tests, order));
    if (first > 0)
        values << first;
    read.bindAll(values);
    return readIds(read);
}

} // namespace

std::vector<qint64> selectTableIds(Connection& connection, const TableQuery& query) {
    return readIds(connection, query, 0);
}

std::vector<qint64> selectFirstTableIds(Connection& connection, const TableQuery& query,
                                        int count) {
    return readIds(connection, query, std::max(count, 1));
}

qint64 countRecords(Connection& connection) {
    Statement count(connection, Sql::CountRecords);
    return count.step() ? count.columnInt64(0) : 0;
}
