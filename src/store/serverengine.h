#pragma once

#include "store/engine.h"

#include <QByteArray>
#include <optional>

struct pg_conn;
struct pg_result;
struct pg_cancel;

// The engine of a shared store: a PostgreSQL database reached with libpq. Credentials, TLS and
// the like come from libpq's own means (the address, the password and service files, the
// environment); nothing of them is kept by the program.
class ServerEngine : public Engine {
  public:
    // Connects, and creates the two tables in one transaction when the database has none.
    static std::unique_ptr<ServerEngine> open(const QString& address, bool writable);
    ~ServerEngine() override;

    std::unique_ptr<EngineQuery> prepare(const QString& sql) override;
    qint64 changes() const override { return m_changes; }
    qint64 lastInsertId() const override;
    std::vector<TableEntry> tables() override;
    void refreshSchema() override {}
    void beginWrite() override;
    void interrupt() override;
    void stopWhen(const std::atomic<bool>* flag) override { m_stop = flag; }
    qint64 lastRecordIdGiven() override;
    void continueRecordIdsAfter(qint64 id) override;
    void makeBinIfMissing() override;
    bool makeKeptFieldsIfMissing() override;
    void fieldPlacesGiven() override;
    QString timeAsText(const QString& column) const override;
    int maxColumns() const override { return 1600; }
    QString fieldRowOrder() const override { return m_fieldOrder; }
    EngineSearch& search() override;
    // A server cuts longer names without an error (its names hold NAMEDATALEN - 1 bytes).
    int longestColumnName() const override { return 63; }

    // "database ledger on db.example.org", for titles and messages.
    QString describe() const override;
    QString titleDetail() const override { return describe(); }
    // Whoever keeps the server copies its database; a field delete is a transaction of its own.
    QString backUpBeforeFieldDelete(const std::atomic<bool>*) override { return QString(); }
    // The statistics for planning the searches, and the visibility map, without which reading
    // the ids in order visits every record.
    void tidyAfterBulkWrite() override;
    bool worthKeeping() override;
    // The server's ICU collation of the program's locale (or of its language) where it has
    // one, else the database's own.
    QString localeTextOrder(const QString& column) override;
    QString plainNumber(const QString& text) const override;
    QString plainDate(const QString& column) const override;
    QString idAmongTest() const override;
    QString containsTest(const QString& column) const override;
    QVariant containsArgument(const QString& text) const override;
    // Runs one statement with its parameters (Null where absent) and returns its result;
    // raises the server's failure, or the loss of the connection, as a run-time error.
    pg_result* execute(const QByteArray& sql, const std::vector<std::optional<QByteArray>>& values);
    // Runs a select through a cursor, a batch of rows at a time, each row's first column (a
    // whole number) added to `into` in order; inside a transaction of its own where none is
    // open, which ends however the read does.
    void readWholeNumbers(const QByteArray& sql,
                          const std::vector<std::optional<QByteArray>>& values,
                          std::vector<qint64>& into);

  private:
    ServerEngine(pg_conn* connection, const QString& address);
    void reconnectIfLost();
    pg_result* waitForResult();
    [[noreturn]] void raise(pg_result* result);
    bool tablesNeedMaking();
    void createTablesIfMissing();

    pg_conn* m_connection;
    pg_cancel* m_cancel = nullptr;
    QString m_address;
    qint64 m_changes = 0;
    const std::atomic<bool>* m_stop = nullptr;
    bool m_lost = false;
    // Set by interrupt(), for the statements between which no statement runs.
    std::atomic<bool> m_interrupted = false;
    bool m_inTransaction = false;
    QString m_fieldOrder = QStringLiteral("\"FieldOrder\"");
    std::optional<QString> m_collation; // as a COLLATE clause, once looked up
};

// A statement text with the engine-neutral "?" and "?N" parameters as the server's "$N"; tells
// how many parameters it has.
QByteArray serverParameters(const QString& sql, int* parameters = nullptr);
