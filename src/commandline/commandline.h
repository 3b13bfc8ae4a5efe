#pragma once

#include "store/store.h"

#include <QCommandLineParser>
#include <QStringList>

// The program's options, read once from its arguments:
//   --import FILE [--table NAME] [--rename-clashes]    --export-csv FILE    --export-pdf FILE
//   --copy-to ADDRESS    --copy-from ADDRESS    --set-server ADDRESS    --clear-server
//   --server ADDRESS    --help    --version
// and Qt's own options for the window (-platform, -style, ...).
class CommandLine {
  public:
    // The arguments as the program was given them, its own name first.
    explicit CommandLine(const QStringList& arguments);
    CommandLine(int argc, char** argv);

    // Whether the arguments ask for the windows: none, or only --server and Qt's own.
    bool opensWindow() const;
    // Whether the work without a window lays out text (a PDF), which takes the fonts of a
    // graphical application, though no display.
    bool drawsText() const;

    // Where the records are kept for this run: the server given with --server, else the one in
    // LEDGERLOOM_SERVER, else the one the user set with --set-server, else the local data file.
    Store chooseStore() const;

    // Does what the arguments ask without any window (no display needed): prints the help or
    // the version, or the error in the arguments with the usage (exit code 2, nothing
    // touched), or does the work on the store chosen. Messages go to the standard error;
    // returns the exit code.
    int run() const;

  private:
    QCommandLineParser m_parser;
    QString m_error;
};
