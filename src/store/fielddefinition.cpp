#include "store/fielddefinition.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/schema.h"
#include "store/statement.h"

#include <algorithm>

std::vector<FieldDefinition> readFieldDefinitions(Connection& connection) {
    Statement rows(connection, Sql::selectFieldRows(connection.engine().fieldRowOrder()));
    std::vector<FieldDefinition> fields;
    const auto text = [&rows](int column) { return rows.column(column).toString(); };
    while (rows.step())
        fields.push_back(FieldDefinition{text(0), text(1), text(2), text(3)});
    rows.reset();
    const std::map<QString, FieldChecks> checks = readFieldChecks(connection);
    for (FieldDefinition& field : fields)
        if (const auto found = checks.find(field.name); found != checks.end())
            field.checks = found->second;
    return fields;
}

QHash<QString, FieldKind> readFieldKinds(Connection& connection) {
    QHash<QString, FieldKind> kinds;
    for (const FieldDefinition& field : readFieldDefinitions(connection))
        kinds.insert(field.name.toLower(), fieldKindOf(field.type));
    return kinds;
}

QStringList readFieldColumns(Connection& connection) {
    QStringList rest = readRecordColumns(connection); // left once a field's place is known
    rest.removeIf([](const QString& column) {
        return column.compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0;
    });
    QStringList ordered;
    for (const FieldDefinition& field : readFieldDefinitions(connection)) {
        const auto at = std::find_if(rest.begin(), rest.end(), [&](const QString& column) {
            return column.compare(field.name, Qt::CaseInsensitive) == 0;
        });
        if (at != rest.end()) {
            ordered << *at;
            rest.erase(at);
        }
    }
    return ordered + rest;
}

QStringList readRecordColumns(Connection& connection) {
    QStringList names;
    try {
        Statement columns(connection, Sql::SelectNoRecords);
        columns.step(); // the names are those of the current schema once it has run
        for (int i = 0; i < columns.columnCount(); ++i)
            names << columns.columnName(i);
    } catch (const RuntimeError& e) {
        if (e.number() != ErrorNumber::TableNotFound)
            throw;
    }
    return names;
}
