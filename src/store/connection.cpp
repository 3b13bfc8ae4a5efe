#include "store/connection.h"

#include "app/runtimeerror.h"
#include "store/serverengine.h"
#include "store/sqliteengine.h"
#include "store/statement.h"

namespace {
const QString DataSourceKey = QStringLiteral("Data Source=");
const QString SecurityKey = QStringLiteral(";Persist Security Info");

bool namesServer(const QString& connectionString) {
    return connectionString.startsWith(QLatin1String("Provider=PostgreSQL;"), Qt::CaseInsensitive);
}

bool namesKnownProvider(const QString& connectionString) {
    return connectionString.startsWith(QLatin1String("Provider=Microsoft.Jet.OLEDB.4.0;"),
                                       Qt::CaseInsensitive) ||
           connectionString.startsWith(QLatin1String("Provider=Microsoft.ACE.OLEDB.12.0;"),
                                       Qt::CaseInsensitive);
}
} // namespace

QString dataSourceOf(const QString& connectionString) {
    // The path stands unquoted between its key and the last setting, so it may hold ';'.
    const qsizetype start = connectionString.indexOf(DataSourceKey, 0, Qt::CaseInsensitive);
    if (start < 0)
        return QString();
    const qsizetype from = start + DataSourceKey.size();
    qsizetype end = connectionString.lastIndexOf(SecurityKey, -1, Qt::CaseInsensitive);
    if (end < from)
        end = connectionString.indexOf(QLatin1Char(';'), from);
    return connectionString.mid(from, end < 0 ? -1 : end - from);
}

IdleEngines::IdleEngines() = default;
IdleEngines::~IdleEngines() = default;

std::unique_ptr<Engine> IdleEngines::take(int mode) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
        if (it->first != mode)
            continue;
        std::unique_ptr<Engine> engine = std::move(it->second);
        m_idle.erase(it);
        // The server may have closed it meanwhile (a restart).
        if (engine->worthKeeping())
            return engine;
        return nullptr;
    }
    return nullptr;
}

void IdleEngines::keep(std::unique_ptr<Engine> engine, int mode) {
    if (!engine->worthKeeping())
        return;
    engine->stopWhen(nullptr); // the flag was its last user's
    std::lock_guard lock(m_mutex);
    m_idle.emplace_back(mode, std::move(engine));
    constexpr size_t MaxIdle = 4;
    if (m_idle.size() > MaxIdle)
        m_idle.pop_front();
}

Connection::Connection() = default;

Connection::~Connection() {
    if (m_engine && m_idle)
        m_idle->keep(std::move(m_engine), m_mode);
}

void Connection::setMode(int mode) {
    if (m_engine)
        throw Errors::objectOpen();
    m_mode = mode;
}

Engine& Connection::engine() const {
    if (!m_engine)
        throw Errors::objectClosed();
    return *m_engine;
}

void Connection::Open(const QString& connectionString, std::shared_ptr<IdleEngines> idle) {
    if (m_engine)
        throw Errors::objectOpen();
    if (idle)
        m_engine = idle->take(m_mode);
    if (m_engine) {
        m_dataSource = dataSourceOf(connectionString);
        m_connectionString = connectionString;
    } else
        Open(connectionString);
    m_idle = std::move(idle);
}

void Connection::Open(const QString& connectionString) {
    if (m_engine)
        throw Errors::objectOpen();
    const bool server = namesServer(connectionString);
    if (!server && !namesKnownProvider(connectionString))
        throw Errors::providerNotFound();
    const QString source = dataSourceOf(connectionString);
    if (server)
        m_engine = ServerEngine::open(source, m_mode & adModeWrite);
    else
        m_engine = SqliteEngine::open(source, m_mode & adModeWrite);
    m_dataSource = source;
    m_connectionString = connectionString;
}

int Connection::Execute(const QString& sql, const QVariantList& parameters) {
    Statement statement(*this, sql);
    statement.bindAll(parameters);
    while (statement.step()) {
    }
    return int(engine().changes());
}

void Connection::Close() {
    if (!m_engine)
        throw Errors::objectClosed();
    if (m_idle)
        m_idle->keep(std::move(m_engine), m_mode);
    m_engine.reset();
}

QString Connection::describe() const {
    return engine().describe();
}

int Connection::maxColumns() const {
    return engine().maxColumns();
}

int Connection::longestColumnName() const {
    return engine().longestColumnName();
}

void Connection::refreshSchema() {
    engine().refreshSchema();
}

void Connection::interrupt() {
    if (m_engine)
        m_engine->interrupt();
}

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    m_connection.engine().beginWrite();
}

Transaction::~Transaction() {
    if (m_done)
        return;
    try {
        m_connection.Execute(QStringLiteral("ROLLBACK"));
    } catch (const RuntimeError&) {
        // The engine has already rolled back when a statement failed hard.
    }
}

void Transaction::commit() {
    m_connection.Execute(QStringLiteral("COMMIT"));
    m_done = true;
}
