#pragma once

#include <QString>

class Connection;

// The connection string for the data file at path.
QString ConnectionString(const QString& path);
// The connection string for a server's database.
QString ServerConnectionString(const QString& address);
// Whether the store the connection is open on holds a base table of that name (case ignored).
bool TableExists(Connection& connection, const QString& tableName);
