#include "store/fielddefinition.h"

#include "store/recordset.h"
#include "store/schema.h"

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
