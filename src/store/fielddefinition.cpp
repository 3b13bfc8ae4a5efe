#include "store/fielddefinition.h"

#include "store/connection.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/statement.h"

std::vector<FieldDefinition> readFieldDefinitions(Connection& connection) {
    Recordset rows;
    rows.Open(Sql::SelectFieldControl, connection, adOpenStatic, adLockReadOnly);
    std::vector<FieldDefinition> fields;
    const auto text = [&rows](int column) { return rows.Fields(column).Value().toString(); };
    while (!rows.IsEOF()) {
        fields.push_back(FieldDefinition{text(0), text(1), text(2), text(3)});
        rows.MoveNext();
    }
    rows.Close();
    return fields;
}

QStringList readRecordColumns(Connection& connection) {
    Statement columns(connection.handle(), Sql::SelectCustomTableColumns);
    QStringList names;
    while (columns.step())
        names << columns.column(0).toString();
    return names;
}
