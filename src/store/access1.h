#pragma once

#include <QString>
#include <memory>

class Connection;

// The connection string for the data file at path; the empty path stands for the standard file.
QString ConnectionString(const QString& path);
// A new connection in read-write mode, open on the standard data file. The caller owns it.
std::unique_ptr<Connection> OpenConnection();
// Whether the data file at path holds a base table of that name (case ignored).
bool TableExists(const QString& path, const QString& tableName);
