#pragma once

#include <QStringList>

// Whether the program's arguments ask for work without a window rather than the windows.
bool isCommandLineRun(int argc, char** argv);

// Chooses where the records are kept for this run: the server given with --server ADDRESS,
// else the one in LEDGERLOOM_SERVER, else the one the user set with --set-server, else the
// local data file. The choice is put in LEDGERLOOM_SERVER for every part of the program.
void chooseStore(int argc, char** argv);

// Runs the work on the store in use without any window (no display needed):
//   --import FILE [--table NAME] [--rename-clashes]    --export-csv FILE
//   --copy-to ADDRESS    --copy-from ADDRESS    --set-server ADDRESS    --clear-server
// Messages go to the standard error; returns the exit code.
int runCommandLine(const QStringList& arguments);
