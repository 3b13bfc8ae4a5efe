#pragma once

#include "store/engine.h"

// The search on a PostgreSQL server. Its index is a search document per record holding all
// its values, kept by a trigger whoever writes, under one pg_trgm index: one index scan finds
// the candidates, and each is confirmed by its id with the columns' regular expressions, so the
// results are exact. The trigger takes any columns, so a field added or deleted changes nothing
// of it. The document is made with the tables, or by the first search in a database of an older
// version, whose field columns' own pg_trgm indexes then go; a role that may not make it
// searches through what is there. Without pg_trgm, the search reads every record.
class ServerSearch final : public EngineSearch {
  public:
    bool canNarrow(const QString& text) const override;
    bool isReady(Connection& connection) override;
    void buildWithinTransaction(Connection& connection) override;
    void afterBuild(Connection& connection) override;
    // Nothing to do: the document's trigger takes any columns, and a column's own index of an
    // older version goes with its column.
    bool beforeColumnChange(Connection&) override { return false; }
    void afterColumnChange(Connection&, bool) override {}
    // The document is made once the records are in, which is quicker than keeping it in step
    // record by record through the trigger.
    void beforeCopy(Connection& connection) override;
    void afterCopy(Connection& connection) override { buildWithinTransaction(connection); }
    std::vector<qint64> find(Connection& connection, const SearchRequest& request,
                             bool* usedIndex) override;
    std::vector<qint64> scan(Connection& connection, const SearchRequest& request) override;

    // The regular expression each value is matched against: the text, ignoring case as the
    // scan's like does. Bound as ?1 of the two statements below.
    static QString pattern(const QString& text);
    // The ids, in id order, of the records where one of the columns matches ?1.
    static QString scanStatement(const QStringList& columns);
    // The same among the records whose search document matches it, when there are fewer than
    // ?2 of those; else one row, Null, after the ids: the caller scans instead.
    static QString documentStatement(const QStringList& columns);
    // The most candidates a search takes from the documents among this many records (bound as
    // ?2 above); past them, it reads every record.
    static qint64 candidateLimit(qint64 records);
    // The statements that make the search document, or make it again from the records, in one
    // transaction; names in its trigger's function are looked up in `schema` alone.
    static QStringList makeDocument(const QString& schema);
    // The name of a field column's own pg_trgm index, which older versions made where the
    // document is now.
    static QString columnIndexName(const QString& column);
};
