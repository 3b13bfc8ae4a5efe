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

Connection::Connection() = default;
Connection::~Connection() = default;

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
    m_engine.reset();
}

QString Connection::describe() const {
    if (const auto* server = dynamic_cast<const ServerEngine*>(m_engine.get()))
        return server->describe();
    return m_dataSource;
}

bool Connection::isServer() const {
    return dynamic_cast<const ServerEngine*>(m_engine.get()) != nullptr;
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
