#include "store/access1.h"

#include "store/connection.h"
#include "store/engine.h"

QString ServerConnectionString(const QString& address) {
    return QStringLiteral("Provider=PostgreSQL;Data Source=") + address +
           QStringLiteral(";Persist Security Info=False");
}

QString ConnectionString(const QString& file) {
    if (file.right(5).toLower() == QLatin1String("accdb"))
        return QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + file +
               QStringLiteral(";Persist Security Info=False");
    return QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") + file +
           QStringLiteral(";Persist Security Info=False");
}

bool TableExists(Connection& connection, const QString& tableName) {
    for (const TableEntry& table : connection.engine().tables())
        if (table.kind == QLatin1String("TABLE") &&
            table.name.compare(tableName, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
