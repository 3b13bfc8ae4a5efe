#pragma once

#include <QString>
#include <QStringList>
#include <atomic>

struct sqlite3;

// Copies of the data file kept in a "backups" folder beside it, named by date and time. Which
// are the oldest their files' own times tell, not their names: the clock or the time zone may
// have changed since a copy was named.
namespace Backups {

constexpr int Kept = 5;

// The folder the copies of this data file go to.
QString folderFor(const QString& dataFile);
// The copies there, oldest first; other files in the folder are none of them.
QStringList list(const QString& dataFile);
// Writes a consistent copy of the data file open as db with the engine's online backup (a
// plain file copy could catch a write half done), readable by the user alone, and keeps only
// the newest copies, never pruning the new one. Another program's lock on the file is waited
// for as long as a write waits; the copy stops soon after stop turns true. Returns the new
// copy's path once it is there; raises a run-time error saying why otherwise (for a lock the
// usual one), leaving no partial copy behind.
QString write(sqlite3* db, const QString& dataFile, const std::atomic<bool>* stop = nullptr,
              int keep = Kept);

} // namespace Backups
