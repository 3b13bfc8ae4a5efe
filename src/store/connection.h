#pragma once

#include <QString>
#include <QVariantList>
#include <deque>
#include <memory>
#include <mutex>

class Engine;

// Object states of connections and record cursors.
enum ObjectState { adStateClosed = 0, adStateOpen = 1 };
// Access modes of a connection.
enum ConnectMode { adModeRead = 1, adModeWrite = 2, adModeReadWrite = 3 };

// Engines a store keeps between its connections, for the next one to open.
class IdleEngines {
  public:
    IdleEngines();
    ~IdleEngines();
    // One opened in this mode that is still good, or none.
    std::unique_ptr<Engine> take(int mode);
    // Kept when the engine finds itself worth keeping; the oldest go past a few.
    void keep(std::unique_ptr<Engine> engine, int mode);

  private:
    std::mutex m_mutex;
    std::deque<std::pair<int, std::unique_ptr<Engine>>> m_idle;
};

// A connection to one data file, reached through a connection string; the engine behind it
// does the work.
class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setMode(int mode);
    void Open(const QString& connectionString);
    // The same, taking an engine kept idle when there is one, and giving the engine back there
    // when closed.
    void Open(const QString& connectionString, std::shared_ptr<IdleEngines> idle);
    int State() const { return m_engine ? adStateOpen : adStateClosed; }
    // Runs one statement; values in the statement text are already quoted, or bound here.
    int Execute(const QString& sql, const QVariantList& parameters = {});
    void Close();
    // Stops the statement running on this connection (from any thread); it fails as interrupted.
    void interrupt();

    QString dataSource() const { return m_dataSource; }
    // The string it was opened with, to open another connection to the same store.
    QString connectionString() const { return m_connectionString; }
    // The store for people to read: the data file, or the database and its server.
    QString describe() const;
    // The most columns a table may have here.
    int maxColumns() const;
    // The longest column name here, in UTF-8 bytes.
    int longestColumnName() const;
    // Makes this connection see schema changes other connections made.
    void refreshSchema();
    // The open engine; raises "closed" otherwise.
    Engine& engine() const;

  private:
    std::unique_ptr<Engine> m_engine;
    int m_mode = adModeReadWrite;
    QString m_dataSource;
    QString m_connectionString;
    std::shared_ptr<IdleEngines> m_idle;
};

// Several statements that succeed together or not at all.
class Transaction {
  public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    Connection& m_connection;
    bool m_done = false;
};

// The data file named in a connection string.
QString dataSourceOf(const QString& connectionString);
