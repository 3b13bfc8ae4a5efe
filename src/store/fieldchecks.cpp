#include "store/fieldchecks.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/statement.h"

#include <QStringList>

namespace {

const QString ChecksTable = QStringLiteral("FieldChecks");

bool hasChecksTable(Connection& connection) {
    // Asked of the catalogue: a failed read would end a server's transaction.
    for (const TableEntry& table : connection.engine().tables())
        if (table.name.compare(ChecksTable, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QString checkProblem(FieldKind kind, const FieldChecks& checks, const QString& value,
                     const QLocale& locale) {
    const bool empty = kind == FieldKind::Checkbox ? false : value.trimmed().isEmpty();
    if (empty)
        return checks.required ? QStringLiteral("must be given") : QString();
    if (kind != FieldKind::Number && kind != FieldKind::Currency)
        return QString();
    const double number = value.toDouble();
    if (!checks.minimum.isEmpty() && number < checks.minimum.toDouble())
        return QStringLiteral("is below its minimum, %1")
            .arg(displayFieldValue(kind, checks.minimum, locale));
    if (!checks.maximum.isEmpty() && number > checks.maximum.toDouble())
        return QStringLiteral("is above its maximum, %1")
            .arg(displayFieldValue(kind, checks.maximum, locale));
    // Money always shows two decimals; only those beyond the limit that are not zero count.
    QString digits = value;
    while (kind == FieldKind::Currency && digits.endsWith(u'0') && digits.contains(u'.'))
        digits.chop(1);
    if (checks.decimals >= 0 && decimalsOf(digits) > checks.decimals)
        return checks.decimals == 0
                   ? QStringLiteral("must be a whole number")
                   : QStringLiteral("has more than %1 decimals").arg(checks.decimals);
    return QString();
}

QString storedValueProblem(FieldKind kind, const FieldChecks& checks, const QString& stored,
                           const QLocale& locale) {
    QString value = stored;
    if (hasCanonicalForm(kind) && !value.isEmpty()) {
        const ParsedValue parsed = readStoredValue(kind, kind, value, locale);
        if (!parsed.ok())
            return parsed.problem;
        value = parsed.canonical;
    }
    return checkProblem(kind, checks, value, locale);
}

QString describeChecks(FieldKind kind, const FieldChecks& checks, const QLocale& locale) {
    QStringList parts;
    if (checks.required)
        parts << QStringLiteral("required");
    const QString minimum = displayFieldValue(kind, checks.minimum, locale);
    const QString maximum = displayFieldValue(kind, checks.maximum, locale);
    if (!minimum.isEmpty() && !maximum.isEmpty())
        parts << QStringLiteral("%1 to %2").arg(minimum, maximum);
    else if (!minimum.isEmpty())
        parts << QStringLiteral("at least %1").arg(minimum);
    else if (!maximum.isEmpty())
        parts << QStringLiteral("at most %1").arg(maximum);
    if (checks.decimals == 0)
        parts << QStringLiteral("whole numbers");
    else if (checks.decimals > 0)
        parts << (checks.decimals == 1 ? QStringLiteral("1 decimal")
                                       : QStringLiteral("%1 decimals").arg(checks.decimals));
    return parts.join(QStringLiteral(", "));
}

std::map<QString, FieldChecks> readFieldChecks(Connection& connection) {
    std::map<QString, FieldChecks> all;
    if (!hasChecksTable(connection))
        return all;
    Statement rows(connection,
                   QStringLiteral("SELECT \"fieldname\", \"Required\", \"Minimum\", \"Maximum\", "
                                  "\"Decimals\" FROM \"FieldChecks\""));
    while (rows.step()) {
        FieldChecks checks;
        checks.required = rows.columnInt64(1) != 0;
        checks.minimum = rows.column(2).toString();
        checks.maximum = rows.column(3).toString();
        checks.decimals = rows.isNull(4) ? -1 : int(rows.columnInt64(4));
        all[rows.column(0).toString()] = checks;
    }
    return all;
}

void writeFieldChecks(Connection& connection, const QString& name, const FieldChecks& checks) {
    if (!checks.any() && !hasChecksTable(connection))
        return;
    connection.Execute(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"FieldChecks\" (\"fieldname\" TEXT PRIMARY KEY, \"Required\" "
        "INTEGER NOT NULL DEFAULT 0, \"Minimum\" TEXT, \"Maximum\" TEXT, \"Decimals\" INTEGER)"));
    deleteFieldChecks(connection, name);
    if (!checks.any())
        return;
    const auto textOrNull = [](const QString& text) {
        return text.isEmpty() ? QVariant() : QVariant(text);
    };
    connection.Execute(
        QStringLiteral("INSERT INTO \"FieldChecks\" (\"fieldname\", \"Required\", "
                       "\"Minimum\", \"Maximum\", \"Decimals\") VALUES (?, ?, ?, ?, ?)"),
        {name, checks.required ? 1 : 0, textOrNull(checks.minimum), textOrNull(checks.maximum),
         checks.decimals < 0 ? QVariant() : QVariant(checks.decimals)});
}

void deleteFieldChecks(Connection& connection, const QString& name) {
    if (hasChecksTable(connection))
        connection.Execute(QStringLiteral("DELETE FROM \"FieldChecks\" WHERE \"fieldname\" = ?"),
                           {name});
}
