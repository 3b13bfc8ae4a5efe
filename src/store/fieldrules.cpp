#include "store/fieldrules.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/fieldchange.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "store/statement.h"

void addFieldToTables(Connection& connection, const FieldDefinition& field) {
    Transaction transaction(connection);
    addFieldsWithinTransaction(connection, {field});
    transaction.commit();
}

void addFieldsWithinTransaction(Connection& connection,
                                const std::vector<FieldDefinition>& fields) {
    // A field row must name its column exactly: a name the store would change is refused.
    for (const FieldDefinition& field : fields)
        if (const QString problem = columnNameProblem(connection, field.name); !problem.isEmpty())
            throw RuntimeError(ErrorNumber::General, problem);
    // The field editor changes columns through its own connection while others stay open.
    connection.refreshSchema();
    // Once for all the fields: the index's statements grow with every column.
    const bool indexed = SearchIndex::beforeColumnChange(connection);
    for (const FieldDefinition& field : fields) {
        connection.Execute(Sql::addFieldColumn(field.name));
        connection.Execute(Sql::InsertFieldRow,
                           {field.name, field.type, field.length, field.values});
        writeFieldChecks(connection, field.name, field.checks);
    }
    SearchIndex::afterColumnChange(connection, indexed);
}

qint64 deleteFieldFromTables(Connection& connection, const QString& name) {
    Transaction transaction(connection);
    // The field editor changes columns through its own connection while others stay open.
    connection.refreshSchema();
    const qint64 key = KeptFields::dropWithin(connection, name);
    transaction.commit();
    return key;
}

void deleteFieldWithinTransaction(Connection& connection, const QString& name) {
    const bool indexed = SearchIndex::beforeColumnChange(connection);
    // A field row whose column is missing (a damaged or hand-made file) is still deleted.
    if (readRecordColumns(connection).contains(name, Qt::CaseInsensitive))
        connection.Execute(Sql::dropFieldColumn(name));
    connection.Execute(Sql::DeleteFieldRow, {name});
    deleteFieldChecks(connection, name);
    SearchIndex::afterColumnChange(connection, indexed);
}

void updateFieldDefinition(Connection& connection, const FieldDefinition& field,
                           const QLocale& locale) {
    Transaction transaction(connection);
    updateFieldWithinTransaction(connection, field, locale);
    transaction.commit();
}

namespace {

// What a kind is called in a refusal: "12 values are not numbers".
QString kindPlural(FieldKind kind) {
    switch (kind) {
    case FieldKind::Number:
        return QStringLiteral("numbers");
    case FieldKind::Currency:
        return QStringLiteral("amounts of money");
    default:
        return QStringLiteral("dates");
    }
}

// Reads every value of the field as its kind and against its checks. When the kind changes,
// stores each value in the new kind's canonical form; when a value does not read as the new
// kind, or any value breaks the checks, raises an error listing how many and the first ten and
// changes nothing.
std::vector<KeptFields::ReplacedValue>
checkAndConvertValues(Connection& connection, const QString& name, FieldKind kind,
                      FieldKind storedKind, const FieldChecks& checks, const QLocale& locale) {
    const bool changesKind = kind != storedKind;
    Statement read(connection, QStringLiteral("SELECT \"ID\", %1 FROM \"CustomTable\" ORDER BY "
                                              "\"ID\"")
                                   .arg(Sql::quoteName(name)));
    std::vector<KeptFields::ReplacedValue> converted;
    QStringList notOfKind, breaking;
    qint64 notOfKindCount = 0, breakingCount = 0;
    while (read.step()) {
        const qint64 id = read.columnInt64(0);
        const QString value = read.isNull(1) ? QString() : read.column(1).toString();
        const auto listed = [&](const QString& problem) {
            return QStringLiteral("record %1: \"%2\"%3").arg(id).arg(value.left(100), problem);
        };
        QString canonical = value;
        if (hasCanonicalForm(kind) && !value.isEmpty()) {
            const ParsedValue parsed = readStoredValue(kind, storedKind, value, locale);
            if (!parsed.ok()) {
                // A value that was there before the change is refused only by a new kind.
                if (changesKind && ++notOfKindCount <= 10)
                    notOfKind << listed(QString());
                if (!changesKind && ++breakingCount <= 10)
                    breaking << listed(QLatin1Char(' ') + parsed.problem);
                continue;
            }
            canonical = parsed.canonical;
            if (changesKind && canonical != value)
                converted.push_back({id, value, canonical});
        }
        if (const QString problem = checkProblem(kind, checks, canonical, locale);
            !problem.isEmpty() && ++breakingCount <= 10)
            breaking << listed(QLatin1Char(' ') + problem);
    }
    read.reset();
    const QString more = QStringLiteral(", ...");
    if (notOfKindCount > 0)
        throw ValuesNotOfKind(
            ErrorNumber::General,
            QStringLiteral("The field '") + name + QStringLiteral("' keeps its kind: ") +
                QStringLiteral("%L1 of its values are not %2 (%3%4). Nothing was changed.")
                    .arg(notOfKindCount)
                    .arg(kindPlural(kind), notOfKind.join(QStringLiteral(", ")),
                         notOfKindCount > 10 ? more : QString()));
    if (breakingCount > 0)
        throw ValuesNotOfKind(
            ErrorNumber::General,
            QStringLiteral("The field '") + name +
                QStringLiteral("' keeps its kind and checks: %L1 of its values would break "
                               "them (%2%3). Nothing was changed.")
                    .arg(breakingCount)
                    .arg(breaking.join(QStringLiteral(", ")),
                         breakingCount > 10 ? more : QString()));
    Statement write(connection, QStringLiteral("UPDATE \"CustomTable\" SET %1 = ? WHERE \"ID\" = ?")
                                    .arg(Sql::quoteName(name)));
    for (const KeptFields::ReplacedValue& value : converted) {
        write.bind(1, value.after);
        write.bind(2, value.id);
        write.run();
    }
    return converted;
}

} // namespace

void updateFieldWithinTransaction(Connection& connection, const FieldDefinition& field,
                                  const QLocale& locale, qint64* keptKey) {
    if (keptKey)
        *keptKey = 0;
    const FieldKind kind = fieldKindOf(field.type);
    Statement was(connection, QStringLiteral("SELECT \"FieldType\" FROM \"FieldControl\" WHERE "
                                             "\"fieldname\" = ?"));
    was.bind(1, field.name);
    const FieldKind storedKind = was.step() ? fieldKindOf(was.column(0).toString()) : kind;
    const bool changesKind = storedKind != kind;
    was.reset();
    const auto stored = readFieldChecks(connection);
    const auto storedChecks = stored.find(field.name);
    const bool changesChecks =
        field.checks.any() &&
        (storedChecks == stored.end() ? FieldChecks() : storedChecks->second) != field.checks;
    // Every value is read when the kind or the checks change.
    if ((changesChecks || (changesKind && (hasCanonicalForm(kind) || field.checks.any()))) &&
        readRecordColumns(connection).contains(field.name)) {
        const auto replaced =
            checkAndConvertValues(connection, field.name, kind, storedKind, field.checks, locale);
        if (keptKey && !replaced.empty())
            *keptKey = KeptFields::keepReplacedWithin(connection, field.name, replaced);
    }
    const int changed = connection.Execute(Sql::UpdateFieldRow,
                                           {field.type, field.length, field.values, field.name});
    if (changed == 0)
        throw RuntimeError(ErrorNumber::Database,
                           QStringLiteral("The field '%1' is no longer in the data file, so its "
                                          "definition was not changed.")
                               .arg(field.name));
    writeFieldChecks(connection, field.name, field.checks);
}

QString columnNameProblem(const Connection& connection, const QString& name) {
    const qsizetype bytes = name.toUtf8().size();
    if (bytes > connection.longestColumnName())
        return QStringLiteral("The field caption takes %L1 bytes, but a field name here holds at "
                              "most %L2 (a letter other than A to Z takes two bytes or more). "
                              "Choose a shorter caption.")
            .arg(bytes)
            .arg(connection.longestColumnName());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        // The statement text ends at a NUL, and line breaks or tabs in a column name would
        // break the labels and lists that show it.
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("The field caption holds a control character (a line break, a "
                                  "tab or the like), which a field name cannot hold.");
        // A lone half of a surrogate pair does not survive the way into the data file.
        if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return QStringLiteral("The field caption holds a broken character, which a field "
                                  "name cannot hold.");
    }
    return QString();
}
