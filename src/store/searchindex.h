#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

class Connection;

// A trigram index over the values of every record, so that a search for a text of three or
// more characters reads the few records that may hold it instead of all of them. Triggers on
// the records keep it in step inside each writer's own transaction, whichever program writes.
// The index only narrows the search: every record it gives is checked by the same like as the
// scan, so the results are the scan's. On a server it is a search document per record, kept
// by a trigger, under one pg_trgm index; where the program may not make that, one pg_trgm index
// per field column, which the server keeps in step itself.
namespace SearchIndex {

// The full-text query whose hits include every record holding the text in some value,
// ignoring case; empty when the index cannot narrow the search (fewer than three characters).
QString candidatesQuery(const QString& text);

// The regular expression a server search matches each value against: the text, ignoring case
// as the scan's like does. Bound as the one parameter of Sql::searchServer.
QString serverPattern(const QString& text);

// The most candidates a server search takes from its search document among this many records
// (bound as ?2 of Sql::searchServerDocuments); past them, it reads every record.
qint64 serverCandidateLimit(qint64 records);

// The index is there, with its triggers, made for the record columns of today.
bool isReady(Connection& connection);

// Makes the index anew from the records, all in one transaction: a kill or an interrupt
// leaves the file as it was.
void build(Connection& connection);
// The same inside a transaction of the caller's.
void buildWithinTransaction(Connection& connection);

// Around a change of the record columns, inside its transaction: the triggers name every
// column, so they go before and come back after. An index not ready is dropped instead, so
// that the next search builds it again.
bool beforeColumnChange(Connection& connection);
void afterColumnChange(Connection& connection, bool wasReady);

} // namespace SearchIndex

// One search of the records of a data file: the ids, in id order, of the records holding the
// text in one of the given columns. Through the index when it is ready and can narrow the
// search; else a scan split over two connections, one per core.
class RecordSearch {
  public:
    // The store is named by its connection string.
    RecordSearch(const QString& connectionString, const QStringList& columns, const QString& text);
    std::vector<qint64> run();
    // The scan even when the index could answer.
    std::vector<qint64> scan();
    // Makes a running search fail soon as interrupted; from any thread.
    void interrupt() { m_interrupted = true; }
    bool usedIndex() const { return m_usedIndex; }

  private:
    void openForReading(Connection& connection);
    std::vector<qint64> idsBetween(Connection& connection, qint64 first, qint64 last);
    // Through the search document with at most this many candidates when above 0.
    std::vector<qint64> searchServer(Connection& connection, qint64 candidates);

    QString m_connectionString;
    QStringList m_columns;
    QString m_text;
    std::atomic<bool> m_interrupted = false;
    bool m_usedIndex = false;
};
