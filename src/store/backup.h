#pragma once

#include <QString>
#include <QStringList>

class Connection;

// Copies of the data file kept in a "backups" folder beside it, named by date and time so that
// their names sort as their ages do.
namespace Backups {

constexpr int Kept = 5;

// The folder the copies of this data file go to.
QString folderFor(const QString& dataFile);
// The copies there, oldest first.
QStringList list(const QString& dataFile);
// Writes a consistent copy of the connection's data file with the engine's online backup (a
// plain file copy could catch a write half done) and keeps only the newest copies. Returns
// the new copy's path; raises a run-time error naming the folder and the reason otherwise,
// leaving no partial copy behind.
QString write(Connection& connection, int keep = Kept);

} // namespace Backups
