#pragma once

#include <QStringList>

// Whether the program's arguments ask for an import or an export rather than the windows.
bool isCommandLineRun(int argc, char** argv);

// Runs the import or export on the standard data file without any window (no display needed):
//   --import FILE [--table NAME] [--rename-clashes]    --export-csv FILE
// Messages go to the standard error; returns the exit code.
int runCommandLine(const QStringList& arguments);
