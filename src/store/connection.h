#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

class Engine;

// Object states of connections and record cursors.
enum ObjectState { adStateClosed = 0, adStateOpen = 1 };
// Access modes of a connection.
enum ConnectMode { adModeRead = 1, adModeWrite = 2, adModeReadWrite = 3 };

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
    // The records are on a shared server rather than in a local file.
    bool isServer() const;
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
