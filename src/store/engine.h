#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

// One prepared statement of an engine. Failures are raised as run-time errors that say what
// the user needs to know (which file, what is wrong with it).
class EngineQuery {
  public:
    virtual ~EngineQuery() = default;
    virtual void bind(int index, const QVariant& value) = 0; // 1-based
    // Text bound without a copy; a null pointer binds Null.
    virtual void bindText(int index, const char* utf8, qsizetype size) = 0;
    // Steps once: true while a row is there.
    virtual bool step() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual QVariant column(int column) const = 0;
    virtual qint64 columnInt64(int column) const = 0;
    virtual bool isNull(int column) const = 0;
    virtual std::string_view text(int column) const = 0;
    // Ready to run again, parameters cleared.
    virtual void reset() = 0;
    // Runs the statement to its end, each row's first column (a whole number) added to `into`
    // in order; an engine may read the rows a batch at a time rather than all at once.
    virtual void readWholeNumbers(std::vector<qint64>& into) {
        while (step())
            into.push_back(columnInt64(0));
    }
};

// A table as the schema rowset lists it; kind is "TABLE", "VIEW" or "SYSTEM TABLE".
struct TableEntry {
    QString name;
    QString kind;
};

class Connection;

// One search of the records: the ids, in id order, of those holding the text in one of the
// columns, ignoring case as the scan's like does.
struct SearchRequest {
    QStringList columns;
    QString text;
    // Opens another connection to the same store, for reading, stopped with this search.
    std::function<void(Connection&)> openForReading;
    // Turns true to stop the search; set by the search itself to stop the rest of its work.
    std::atomic<bool>* interrupted = nullptr;
};

// The search as one engine makes it: its index over the values of every record, kept in step
// whoever writes, and the statements that find a text. The index only narrows a search, so
// every answer is the scan's. Each call is given a connection to a store of this engine.
class EngineSearch {
  public:
    virtual ~EngineSearch() = default;
    // The index can narrow a search for this text (else the search reads every record).
    virtual bool canNarrow(const QString& text) const = 0;
    // The index is there, in step with the record columns of today, for this connection.
    virtual bool isReady(Connection& connection) = 0;
    // Makes the index from the records, inside the caller's transaction; then what may follow
    // only once that is committed.
    virtual void buildWithinTransaction(Connection& connection) = 0;
    virtual void afterBuild(Connection& connection) = 0;
    // Around a change of the record columns, inside its transaction; the first tells whether
    // the index was ready, for the second.
    virtual bool beforeColumnChange(Connection& connection) = 0;
    virtual void afterColumnChange(Connection& connection, bool wasReady) = 0;
    // Around a copy that fills the records of a store that is empty, inside its transaction.
    virtual void beforeCopy(Connection& connection) = 0;
    virtual void afterCopy(Connection& connection) = 0;
    // Through the index where it is ready and can narrow the search (usedIndex says whether it
    // did), else as the scan; `connection` is open for reading.
    virtual std::vector<qint64> find(Connection& connection, const SearchRequest& request,
                                     bool* usedIndex) = 0;
    // Every record read, whatever the index.
    virtual std::vector<qint64> scan(Connection& connection, const SearchRequest& request) = 0;
};

// Everything particular to one database engine stands behind this seam: the connection and
// record cursor layer above it speaks to any engine alike. The local data file is SQLite
// (sqliteengine.h); another engine is another implementation of these two classes.
class Engine {
  public:
    virtual ~Engine() = default;
    virtual std::unique_ptr<EngineQuery> prepare(const QString& sql) = 0;
    // Rows changed by the last statement, and the key the last insert got.
    virtual qint64 changes() const = 0;
    virtual qint64 lastInsertId() const = 0;
    virtual std::vector<TableEntry> tables() = 0;
    // Makes the engine see schema changes made through other connections.
    virtual void refreshSchema() = 0;
    // Starts a transaction that writes.
    virtual void beginWrite() = 0;
    // Stops the statement running (from any thread); it fails as interrupted.
    virtual void interrupt() = 0;
    // Statements fail as interrupted soon after the flag turns true.
    virtual void stopWhen(const std::atomic<bool>* flag) = 0;
    // The most columns a table may have.
    virtual int maxColumns() const = 0;
    // The longest column name, in UTF-8 bytes, that the engine keeps whole.
    virtual int longestColumnName() const = 0;
    // The highest id the records table ever handed out (deleted records count), 0 for none.
    virtual qint64 lastRecordIdGiven() = 0;
    // Makes the records table hand out ids above this one from now on.
    virtual void continueRecordIdsAfter(qint64 id) = 0;
    // What orders the rows of FieldControl as the fields were made, which is the order of the
    // field list: a column or expression that an update of a row does not change.
    virtual QString fieldRowOrder() const = 0;

    // The column (quoted) as an ORDER BY term that orders text as the user's locale does.
    virtual QString localeTextOrder(const QString& column) = 0;
    // The text as a number where it is a plain decimal number ("-12.50": a minus, digits and a
    // point between digits) of at most 40 characters, else Null: every engine reads it alike,
    // each value to the same double. The text is a quoted column, or "?" for a number bound in
    // canonical form.
    virtual QString plainNumber(const QString& text) const = 0;
    // The column (quoted) where it holds a date as "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SS", else
    // Null; compared by the characters' codes, so in the order of time.
    virtual QString plainDate(const QString& column) const = 0;
    // A test that the id is one of those bound to the next "?" as a JSON array ("[1,2]").
    virtual QString idAmongTest() const = 0;
    // A test that the column (quoted) holds the text bound to the next "?" anywhere, as the
    // search matches (every letter in any case, wildcard characters literally), and the value
    // to bind there for the text.
    virtual QString containsTest(const QString& column) const = 0;
    virtual QVariant containsArgument(const QString& text) const = 0;

    // Makes the bin of deleted records (schema.h) in the caller's write transaction when the
    // store has none yet: stores from before it get it with their first delete.
    virtual void makeBinIfMissing() = 0;
    // A time the program wrote (the bin's "DeletedAt", the kept fields' "KeptAt") as text in a
    // select, as it was written: UTC in ISO 8601 with milliseconds ("2024-05-01T12:00:00.123Z").
    virtual QString timeAsText(const QString& column) const = 0;
    // Makes the tables that keep a deleted field (its definition and place, and its values by
    // record id) in the caller's write transaction when the store has none yet; false when they
    // are not there and this connection may not make them.
    virtual bool makeKeptFieldsIfMissing() = 0;
    // After field rows were given places of their own (fieldRowOrder() a column): rows made
    // later still go after every one of them.
    virtual void fieldPlacesGiven() {}

    // The store for people to read: "data file '/home/...'", "database ledger on db.example.org".
    virtual QString describe() const = 0;
    // What the record window's title adds to the program's name, so that whoever shares the
    // records sees where they are; nothing for a file of one's own.
    virtual QString titleDetail() const = 0;
    // Keeps what a field delete is about to drop for good where the user can get it back, and
    // says where (the empty text where the store itself keeps it, in a transaction). Raises a
    // run-time error, leaving nothing half written, when it cannot: then nothing is deleted.
    // Stops soon after stop turns true.
    virtual QString backUpBeforeFieldDelete(const std::atomic<bool>* stop) = 0;
    // After many records came in at once, outside any transaction.
    virtual void tidyAfterBulkWrite() = 0;
    // Whether a store should keep this engine, idle, for its next connection: it is costly to
    // open again, and still connected with no transaction open.
    virtual bool worthKeeping() = 0;
    // The search of the records as this engine makes it.
    virtual EngineSearch& search() = 0;
};
