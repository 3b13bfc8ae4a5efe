#pragma once

#include <QString>
#include <memory>

class Connection;

// The server the records are kept on (a libpq address, from LEDGERLOOM_SERVER), or the empty
// text when they are kept in the local data file.
QString serverAddress();
// The connection string for the data file at path; the empty path stands for the store in use:
// the server when there is one, else the standard file.
QString ConnectionString(const QString& path);
// The connection string for a server's database.
QString ServerConnectionString(const QString& address);
// A new connection in read-write mode, open on the standard data file. The caller owns it.
std::unique_ptr<Connection> OpenConnection();
// Whether the store the connection is open on holds a base table of that name (case ignored).
bool TableExists(Connection& connection, const QString& tableName);
