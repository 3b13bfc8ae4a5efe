#include "store/fieldrules.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/searchindex.h"

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

void deleteFieldFromTables(Connection& connection, const QString& name) {
    Transaction transaction(connection);
    // The field editor changes columns through its own connection while others stay open.
    connection.refreshSchema();
    const bool indexed = SearchIndex::beforeColumnChange(connection);
    // A field row whose column is missing (a damaged or hand-made file) is still deleted.
    if (readRecordColumns(connection).contains(name, Qt::CaseInsensitive))
        connection.Execute(Sql::dropFieldColumn(name));
    connection.Execute(Sql::DeleteFieldRow, {name});
    deleteFieldChecks(connection, name);
    SearchIndex::afterColumnChange(connection, indexed);
    transaction.commit();
}

void updateFieldDefinition(Connection& connection, const FieldDefinition& field) {
    Transaction transaction(connection);
    updateFieldWithinTransaction(connection, field);
    transaction.commit();
}

void updateFieldWithinTransaction(Connection& connection, const FieldDefinition& field) {
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
