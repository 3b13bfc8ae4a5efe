#pragma once

#include "store/engine.h"

struct sqlite3;

// How long a write waits for another program's lock before it is reported.
inline constexpr int LockWaitMs = 3000;

// The engine of the local data file: an SQLite 3 database, used with journal mode DELETE and
// synchronous FULL, a bounded wait for other programs' locks, and a like that ignores case for
// every letter.
class SqliteEngine : public Engine {
  public:
    // Opens the file after checking it is an SQLite database; raises an error naming the file.
    static std::unique_ptr<SqliteEngine> open(const QString& path, bool writable);
    ~SqliteEngine() override;

    std::unique_ptr<EngineQuery> prepare(const QString& sql) override;
    qint64 changes() const override;
    qint64 lastInsertId() const override;
    std::vector<TableEntry> tables() override;
    void refreshSchema() override;
    void beginWrite() override;
    void interrupt() override;
    void stopWhen(const std::atomic<bool>* flag) override;
    qint64 lastRecordIdGiven() override;
    void continueRecordIdsAfter(qint64 id) override;
    void makeBinIfMissing() override;
    bool makeKeptFieldsIfMissing() override;
    QString timeAsText(const QString& column) const override { return column; }
    int maxColumns() const override;
    // The rows' own key, which an update keeps.
    QString fieldRowOrder() const override { return QStringLiteral("rowid"); }
    EngineSearch& search() override;
    int longestColumnName() const override;
    // The collation each connection gets, by the locale of the program.
    QString localeTextOrder(const QString& column) override;
    // Through the functions each connection gets (textorder.h).
    QString plainNumber(const QString& text) const override;
    QString plainDate(const QString& column) const override;
    QString idAmongTest() const override;
    QString containsTest(const QString& column) const override;
    QVariant containsArgument(const QString& text) const override;
    QString describe() const override;
    QString titleDetail() const override { return QString(); }
    // A copy of the whole file in the backups folder beside it (backup.h).
    QString backUpBeforeFieldDelete(const std::atomic<bool>* stop) override;
    // The search index is made by the first search, once.
    void tidyAfterBulkWrite() override {}
    // Opening a file again costs next to nothing.
    bool worthKeeping() override { return false; }

  private:
    SqliteEngine(sqlite3* db, const QString& path) : m_db(db), m_path(path) {}
    sqlite3* m_db;
    QString m_path;
};

// Raises the engine's failure as a run-time error with its description.
[[noreturn]] void throwEngineError(sqlite3* db, int code);
