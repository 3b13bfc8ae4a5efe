#include "store/statement.h"

#include "app/runtimeerror.h"
#include "store/connection.h"

#include <QRegularExpression>
#include <sqlite3.h>

namespace {

RuntimeError missingTableError(const QString& message) {
    static const QRegularExpression table(QStringLiteral("no such table: (?:\\w+\\.)?(.+)$"));
    const auto match = table.match(message);
    const QString name = match.hasMatch() ? match.captured(1) : message;
    return RuntimeError(
        ErrorNumber::TableNotFound,
        QStringLiteral("The table or query '%1' cannot be found in the data file. "
                       "Make sure it exists and that its name is spelled correctly.")
            .arg(name));
}

// Failures of the file itself rather than of one statement: the user must learn which file
// and what is wrong with it.
QString fileProblem(sqlite3* db, int code) {
    const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!file || !*file)
        return QString();
    const QString name = QString::fromUtf8(file);
    switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("The data file '%1' is damaged and cannot be read. Nothing more "
                              "was written to it; restore a backup copy.")
            .arg(name);
    case SQLITE_FULL:
        return QStringLiteral("The data file '%1' cannot be written: the disk is full. Nothing "
                              "was changed.")
            .arg(name);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return QStringLiteral("The data file '%1' cannot be written: the file or its folder "
                              "may only be read. Nothing was changed.")
            .arg(name);
    case SQLITE_IOERR:
        return QStringLiteral("The data file '%1' cannot be written: the disk reported an "
                              "error (%2). Nothing was changed.")
            .arg(name, QString::fromUtf8(sqlite3_errstr(code)));
    default:
        return QString();
    }
}

} // namespace

void throwEngineError(sqlite3* db, int code) {
    const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    if (message.startsWith(QLatin1String("no such table")))
        throw missingTableError(message);
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
        throw RuntimeError(ErrorNumber::Database,
                           QStringLiteral("The data file is in use by another program (%1). "
                                          "Try again in a moment.")
                               .arg(message));
    }
    if (const QString problem = fileProblem(db, code); !problem.isEmpty())
        throw RuntimeError(ErrorNumber::Database, problem);
    throw RuntimeError(ErrorNumber::Database, message);
}

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db), m_sql(sql) {
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throwEngineError(db, rc);
    }
    if (!m_stmt)
        throw RuntimeError(ErrorNumber::General, QStringLiteral("The statement is empty."));
}

Statement::Statement(Connection& connection, const QString& sql)
    : Statement(connection.handle(), sql) {}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()),
                                   SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        throwEngineError(m_db, rc);
}

void Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

void Statement::bindText(int index, const char* utf8, qsizetype size) {
    const int rc = utf8 ? sqlite3_bind_text(m_stmt, index, utf8, int(size), SQLITE_STATIC)
                        : sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK)
        throwEngineError(m_db, rc);
}

void Statement::run() {
    while (step()) {
    }
    sqlite3_reset(m_stmt);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::string_view Statement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return bytes ? std::string_view(bytes, size_t(sqlite3_column_bytes(m_stmt, column)))
                 : std::string_view();
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    throwEngineError(m_db, rc);
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QVariant Statement::column(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        const int size = sqlite3_column_bytes(m_stmt, column);
        return QVariant(text ? QString::fromUtf8(text, size) : QString(QLatin1String("")));
    }
    }
}

qint64 Statement::columnInt64(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}
