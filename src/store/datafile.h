#pragma once

#include <QString>

// Checks that the file is an SQLite database before the engine touches it, so that a file of
// another kind (an Access file, an empty or a random file) is refused and never overwritten.
// Raises a run-time error that names the file and says what it is.
void checkDataFile(const QString& path);

// Creates the new, empty file only its owner may read and write (mode 0600, whatever the
// umask): a data file or a copy of one holds every record. False when it exists already or
// cannot be made.
bool createPrivateFile(const QString& path);
// Copies the file to a new one made as above (whatever the source's own mode), whole or not at
// all, never over an existing file. False when it cannot.
bool copyPrivately(const QString& source, const QString& target);
