#pragma once

#include "store/connection.h"

#include <QString>
#include <memory>

// Where the records are kept for this run: a data file, or a database on a shared server.
// Chosen once at start and handed to the windows and the command-line runs, which open their
// connections through it. Copies stand for the same store and share its idle connections.
class Store {
  public:
    static Store dataFile(const QString& path);
    // A libpq address: a connection string or URI.
    static Store server(const QString& address);

    // A new connection, open (read-write unless the mode says otherwise). One the store keeps
    // idle is handed out again where the engine finds that worth it: a server's connection
    // costs it a process and the tables' catalog again. The caller owns it; closing it or
    // letting it go gives the engine back to the store.
    std::unique_ptr<Connection> open(int mode = adModeReadWrite) const;

    // The string a connection opens, for a connection of another thread's own.
    QString connectionString() const { return m_connectionString; }
    // The data file the records are kept in, which start-up makes when it is missing; empty
    // when they are on a server.
    QString localDataFile() const { return m_localDataFile; }

  private:
    Store(const QString& connectionString, const QString& localDataFile);
    QString m_connectionString;
    QString m_localDataFile;
    std::shared_ptr<IdleEngines> m_idle;
};
