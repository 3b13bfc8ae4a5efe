#include "fields/fieldschema.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/searchindex.h"

namespace {
// The engine looks up the column of an ALTER TABLE in the schema it last read, and does not
// notice when another connection has changed the table since (the field editor adds columns
// through its own connection while the field list's stays open). Reading the schema table
// inside the transaction makes it reload a changed schema first.
void readCurrentSchema(Connection& connection) {
    connection.Execute(QStringLiteral("SELECT 1 FROM sqlite_schema LIMIT 0"));
}
} // namespace

void addFieldToTables(Connection& connection, const FieldDefinition& field) {
    Transaction transaction(connection);
    readCurrentSchema(connection);
    const bool indexed = SearchIndex::beforeColumnChange(connection);
    connection.Execute(Sql::addFieldColumn(field.name));
    connection.Execute(Sql::insertFieldRow(field.name, field.type, field.length, field.values));
    SearchIndex::afterColumnChange(connection, indexed);
    transaction.commit();
}

void deleteFieldFromTables(Connection& connection, const QString& name) {
    Transaction transaction(connection);
    readCurrentSchema(connection);
    const bool indexed = SearchIndex::beforeColumnChange(connection);
    connection.Execute(Sql::dropFieldColumn(name));
    connection.Execute(Sql::deleteFieldRow(name));
    SearchIndex::afterColumnChange(connection, indexed);
    transaction.commit();
}

void updateFieldDefinition(Connection& connection, const FieldDefinition& field) {
    const int changed =
        connection.Execute(Sql::updateFieldRow(field.name, field.type, field.length, field.values));
    if (changed == 0)
        throw RuntimeError(ErrorNumber::Database,
                           QStringLiteral("The field '%1' is no longer in the data file, so its "
                                          "definition was not changed.")
                               .arg(field.name));
}

QString columnNameProblem(const QString& name) {
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
