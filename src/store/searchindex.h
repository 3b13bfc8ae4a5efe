#pragma once

#include "store/store.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

class Connection;

// An index over the values of every record, so that a search for a text of three or more
// characters reads the few records that may hold it instead of all of them. It is kept in step
// inside each writer's own transaction, whichever program writes. The index only narrows the
// search: every record it gives is checked as the scan checks it, so the results are the
// scan's. Each engine makes it its own way (its search, behind the engine).
namespace SearchIndex {

// The index can narrow a search for this text in this store; else the search reads every
// record, and building the index for it is of no use.
bool canNarrow(Connection& connection, const QString& text);

// The index is there, in step with the record columns of today.
bool isReady(Connection& connection);

// Makes the index anew from the records, all in one transaction: a kill or an interrupt
// leaves the store as it was.
void build(Connection& connection);
// The same inside a transaction of the caller's.
void buildWithinTransaction(Connection& connection);

// Around a change of the record columns, inside its transaction, so that the index stays in
// step (or, where it was not ready, is made again by the next search).
bool beforeColumnChange(Connection& connection);
void afterColumnChange(Connection& connection, bool wasReady);

// Around a copy that fills the records of a store that is empty, inside its transaction: the
// index is made after it where the engine makes it at once rather than on the first search.
void beforeCopy(Connection& connection);
void afterCopy(Connection& connection);

} // namespace SearchIndex

// One search of the records of a store: the ids, in id order, of the records holding the
// text in one of the given columns. Through the index when it is ready and can narrow the
// search; else a scan of every record.
class RecordSearch {
  public:
    RecordSearch(const Store& store, const QStringList& columns, const QString& text);
    std::vector<qint64> run();
    // The scan even when the index could answer.
    std::vector<qint64> scan();
    // Makes a running search fail soon as interrupted; from any thread.
    void interrupt() { m_interrupted = true; }
    bool usedIndex() const { return m_usedIndex; }

  private:
    void openForReading(Connection& connection);
    std::vector<qint64> search(bool everyRecord);

    Store m_store;
    QStringList m_columns;
    QString m_text;
    std::atomic<bool> m_interrupted = false;
    bool m_usedIndex = false;
};
