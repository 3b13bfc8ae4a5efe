#include "store/searchindex.h"

#include "store/connection.h"
#include "store/engine.h"

namespace {

EngineSearch& searchOf(Connection& connection) {
    return connection.engine().search();
}

} // namespace

bool SearchIndex::canNarrow(Connection& connection, const QString& text) {
    return searchOf(connection).canNarrow(text);
}

bool SearchIndex::isReady(Connection& connection) {
    return searchOf(connection).isReady(connection);
}

void SearchIndex::build(Connection& connection) {
    {
        Transaction transaction(connection);
        buildWithinTransaction(connection);
        transaction.commit();
    }
    searchOf(connection).afterBuild(connection);
}

void SearchIndex::buildWithinTransaction(Connection& connection) {
    searchOf(connection).buildWithinTransaction(connection);
}

bool SearchIndex::beforeColumnChange(Connection& connection) {
    return searchOf(connection).beforeColumnChange(connection);
}

void SearchIndex::afterColumnChange(Connection& connection, bool wasReady) {
    searchOf(connection).afterColumnChange(connection, wasReady);
}

void SearchIndex::beforeCopy(Connection& connection) {
    searchOf(connection).beforeCopy(connection);
}

void SearchIndex::afterCopy(Connection& connection) {
    searchOf(connection).afterCopy(connection);
}

RecordSearch::RecordSearch(const Store& store, const QStringList& columns, const QString& text)
    : m_store(store), m_columns(columns), m_text(text) {}

// A connection of the search's own beside the one the store hands out, for a scan in parts.
void RecordSearch::openForReading(Connection& connection) {
    connection.setMode(adModeRead);
    connection.Open(m_store.connectionString());
    connection.engine().stopWhen(&m_interrupted);
}

std::vector<qint64> RecordSearch::run() {
    return search(false);
}

std::vector<qint64> RecordSearch::scan() {
    return search(true);
}

std::vector<qint64> RecordSearch::search(bool everyRecord) {
    m_usedIndex = false;
    const auto opened = m_store.open(adModeRead);
    Connection& connection = *opened;
    connection.engine().stopWhen(&m_interrupted);
    const SearchRequest request{
        m_columns, m_text, [this](Connection& other) { openForReading(other); }, &m_interrupted};
    EngineSearch& search = searchOf(connection);
    return everyRecord ? search.scan(connection, request)
                       : search.find(connection, request, &m_usedIndex);
}
