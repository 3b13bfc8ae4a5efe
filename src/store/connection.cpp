#include "store/connection.h"

#include "app/runtimeerror.h"
#include "store/datafile.h"
#include "store/recordset.h"
#include "store/statement.h"
#include "store/textmatch.h"

#include <sqlite3.h>

namespace {
// How long a write waits for another program's lock before it is reported.
constexpr int BusyTimeoutMs = 3000;

const QString DataSourceKey = QStringLiteral("Data Source=");
const QString SecurityKey = QStringLiteral(";Persist Security Info");

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

Connection::~Connection() {
    if (m_db)
        sqlite3_close_v2(m_db);
}

void Connection::setMode(int mode) {
    if (m_db)
        throw RuntimeError(ErrorNumber::ObjectOpen,
                           QStringLiteral("Operation is not allowed when the object is open."));
    m_mode = mode;
}

sqlite3* Connection::handle() const {
    if (!m_db)
        throw RuntimeError(ErrorNumber::ObjectClosed,
                           QStringLiteral("Operation is not allowed when the object is closed."));
    return m_db;
}

void Connection::Open(const QString& connectionString) {
    if (m_db)
        throw RuntimeError(ErrorNumber::ObjectOpen,
                           QStringLiteral("Operation is not allowed when the object is open."));
    if (!namesKnownProvider(connectionString))
        throw RuntimeError(ErrorNumber::ProviderNotFound,
                           QStringLiteral("Provider cannot be found. It may not be properly "
                                          "installed."));
    const QString path = dataSourceOf(connectionString);
    checkDataFile(path);
    const int flags =
        (m_mode & adModeWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw RuntimeError(
            ErrorNumber::Database,
            QStringLiteral("The data file '%1' cannot be opened: %2.").arg(path, message));
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    installLike(db);
    m_db = db;
    m_dataSource = path;
    try {
        // Reading the schema proves the file is a sound database before any window relies on it.
        Statement check(m_db, QStringLiteral("SELECT count(*) FROM sqlite_schema"));
        check.step();
        Execute(QStringLiteral("PRAGMA synchronous = FULL"));
    } catch (const RuntimeError& e) {
        Close();
        throw RuntimeError(
            e.number(),
            QStringLiteral("The data file '%1' cannot be read: %2").arg(path, e.description()));
    }
}

int Connection::Execute(const QString& sql, const QVariantList& parameters) {
    Statement statement(handle(), sql);
    statement.bindAll(parameters);
    while (statement.step()) {
    }
    return sqlite3_changes(m_db);
}

std::unique_ptr<Recordset> Connection::OpenSchema(int schema) {
    if (schema != adSchemaTables)
        throw RuntimeError(ErrorNumber::General,
                           QStringLiteral("Object or provider is not capable of performing "
                                          "requested operation."));
    Statement read(handle(), QStringLiteral("SELECT type, name FROM sqlite_schema "
                                            "WHERE type IN ('table', 'view') ORDER BY name"));
    std::vector<QVariantList> rows;
    while (read.step()) {
        const QString name = read.column(1).toString();
        QString type = read.column(0).toString() == QLatin1String("view") ? QStringLiteral("VIEW")
                                                                          : QStringLiteral("TABLE");
        if (type == QLatin1String("TABLE") && name.startsWith(QLatin1String("sqlite_")))
            type = QStringLiteral("SYSTEM TABLE");
        rows.push_back({QVariant(), QVariant(), name, type});
    }
    // The built-in schema table is a system table too.
    rows.push_back(
        {QVariant(), QVariant(), QStringLiteral("sqlite_schema"), QStringLiteral("SYSTEM TABLE")});
    auto records = std::make_unique<Recordset>();
    records->openMaterialized({QStringLiteral("TABLE_CATALOG"), QStringLiteral("TABLE_SCHEMA"),
                               QStringLiteral("TABLE_NAME"), QStringLiteral("TABLE_TYPE")},
                              std::move(rows));
    return records;
}

void Connection::Close() {
    if (!m_db)
        throw RuntimeError(ErrorNumber::ObjectClosed,
                           QStringLiteral("Operation is not allowed when the object is closed."));
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

int Connection::maxColumns() const {
    return sqlite3_limit(handle(), SQLITE_LIMIT_COLUMN, -1);
}

void Connection::interrupt() {
    if (m_db)
        sqlite3_interrupt(m_db);
}

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    m_connection.Execute(QStringLiteral("BEGIN IMMEDIATE"));
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

void checkEngine() {
    constexpr int OldestEngine = 3035000;
    if (sqlite3_libversion_number() < OldestEngine || sqlite3_initialize() != SQLITE_OK)
        throw RuntimeError(ErrorNumber::ProviderNotFound,
                           QStringLiteral("Provider cannot be found. It may not be properly "
                                          "installed."));
}
