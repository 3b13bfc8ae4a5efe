#pragma once

#include "store/engine.h"

// The search of a data file. Its index is an FTS5 table of trigrams over the values of every
// record, so that a search for a text of three or more characters reads the few records that
// may hold it instead of all of them. Triggers on the records keep it in step inside each
// writer's own transaction, whichever program writes; they name every column, so they go
// before a change of the columns and come back after it. Without the index, the search reads
// every record, split over two connections, one per core.
class SqliteSearch final : public EngineSearch {
  public:
    bool canNarrow(const QString& text) const override;
    bool isReady(Connection& connection) override;
    void buildWithinTransaction(Connection& connection) override;
    void afterBuild(Connection&) override {}
    bool beforeColumnChange(Connection& connection) override;
    void afterColumnChange(Connection& connection, bool wasReady) override;
    // The index is made by the first search that can use it.
    void beforeCopy(Connection&) override {}
    void afterCopy(Connection&) override {}
    std::vector<qint64> find(Connection& connection, const SearchRequest& request,
                             bool* usedIndex) override;
    std::vector<qint64> scan(Connection& connection, const SearchRequest& request) override;

    // The full-text query whose hits include every record holding the text in some value,
    // ignoring case; empty when the index cannot narrow the search (fewer than three
    // characters).
    static QString candidatesQuery(const QString& text);
    // The scan's statement: the ids, in id order, of the records whose given columns contain
    // the text, as typed, ignoring case; the text's wildcard characters and quotes are matched
    // literally. Only ids between the parameters ?1 and ?2 are looked at.
    static QString scanStatement(const QStringList& columns, const QString& text);
    // The same among the records the index gives for the full-text query ?1.
    static QString candidatesStatement(const QStringList& columns, const QString& text);
    // The index of an empty records table with these columns after the id, and its triggers.
    static QStringList indexStatements(const QStringList& columns);
};
