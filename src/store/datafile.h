#pragma once

#include <QString>

// Checks that the file is an SQLite database before the engine touches it, so that a file of
// another kind (an Access file, an empty or a random file) is refused and never overwritten.
// Raises a run-time error that names the file and says what it is.
void checkDataFile(const QString& path);
