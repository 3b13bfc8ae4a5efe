#include "store/access1.h"

#include "app/paths.h"
#include "store/connection.h"
#include "store/recordset.h"

QString serverAddress() {
    return qEnvironmentVariable("LEDGERLOOM_SERVER").trimmed();
}

QString ServerConnectionString(const QString& address) {
    return QStringLiteral("Provider=PostgreSQL;Data Source=") + address +
           QStringLiteral(";Persist Security Info=False");
}

QString ConnectionString(const QString& path) {
    if (path.isEmpty() && !serverAddress().isEmpty())
        return ServerConnectionString(serverAddress());
    const QString file = path.isEmpty() ? standardDataFile() : path;
    if (file.right(5).toLower() == QLatin1String("accdb"))
        return QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + file +
               QStringLiteral(";Persist Security Info=False");
    return QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") + file +
           QStringLiteral(";Persist Security Info=False");
}

std::unique_ptr<Connection> OpenConnection() {
    auto connection = std::make_unique<Connection>();
    connection->setMode(adModeReadWrite);
    connection->Open(ConnectionString(QString()));
    return connection;
}

bool TableExists(const QString& path, const QString& tableName) {
    if (!path.isEmpty() && !FileExists(path))
        return false;
    Connection connection;
    connection.Open(ConnectionString(path));
    std::unique_ptr<Recordset> tables = connection.OpenSchema(adSchemaTables);
    bool found = false;
    const QString wanted = tableName.toUpper();
    while (!tables->IsEOF()) {
        if (tables->Fields(QStringLiteral("TABLE_TYPE")).Value().toString() ==
                QLatin1String("TABLE") &&
            tables->Fields(QStringLiteral("TABLE_NAME")).Value().toString().toUpper() == wanted) {
            found = true;
            break;
        }
        tables->MoveNext();
    }
    tables->Close();
    connection.Close();
    return found;
}
