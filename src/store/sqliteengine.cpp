#include "store/sqliteengine.h"

#include "app/runtimeerror.h"
#include "store/datafile.h"
#include "store/enginecheck.h"
#include "store/schema.h"
#include "store/sqlitebackup.h"
#include "store/sqlitesearch.h"
#include "store/textmatch.h"
#include "store/textorder.h"

#include <QRegularExpression>
#include <sqlite3.h>

namespace {

RuntimeError missingTableError(const QString& message) {
    static const QRegularExpression table(QStringLiteral("no such table: (?:\\w+\\.)?(.+)$"));
    const auto match = table.match(message);
    const QString name = match.hasMatch() ? match.captured(1) : message;
    return Errors::tableNotFound(name, QStringLiteral("data file"));
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
        throw Errors::inUse(message);
    }
    if (const QString problem = fileProblem(db, code); !problem.isEmpty())
        throw RuntimeError(ErrorNumber::Database, problem);
    throw RuntimeError(ErrorNumber::Database, message);
}

namespace {

class SqliteQuery : public EngineQuery {
  public:
    SqliteQuery(sqlite3* db, const QString& sql);
    ~SqliteQuery() override;
    void bind(int index, const QVariant& value) override;
    void bindText(int index, const char* utf8, qsizetype size) override;
    bool step() override;
    int columnCount() const override;
    QString columnName(int column) const override;
    QVariant column(int column) const override;
    qint64 columnInt64(int column) const override;
    bool isNull(int column) const override;
    std::string_view text(int column) const override;
    void reset() override;

  private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

SqliteQuery::SqliteQuery(sqlite3* db, const QString& sql) : m_db(db) {
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

SqliteQuery::~SqliteQuery() {
    sqlite3_finalize(m_stmt);
}

void SqliteQuery::bind(int index, const QVariant& value) {
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

void SqliteQuery::bindText(int index, const char* utf8, qsizetype size) {
    const int rc = utf8 ? sqlite3_bind_text(m_stmt, index, utf8, int(size), SQLITE_STATIC)
                        : sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK)
        throwEngineError(m_db, rc);
}

bool SqliteQuery::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::string_view SqliteQuery::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return bytes ? std::string_view(bytes, size_t(sqlite3_column_bytes(m_stmt, column)))
                 : std::string_view();
}

bool SqliteQuery::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    throwEngineError(m_db, rc);
}

int SqliteQuery::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

QString SqliteQuery::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QVariant SqliteQuery::column(int column) const {
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

qint64 SqliteQuery::columnInt64(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

void SqliteQuery::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

} // namespace

std::unique_ptr<SqliteEngine> SqliteEngine::open(const QString& path, bool writable) {
    checkDataFile(path);
    const int flags =
        (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
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
    sqlite3_busy_timeout(db, LockWaitMs);
    installLike(db);
    installLocaleCollation(db);
    installValueReaders(db);
    // A name in double quotes is a name, never a text, as on every other engine.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    std::unique_ptr<SqliteEngine> engine(new SqliteEngine(db, path));
    try {
        // Reading the schema proves the file is a sound database before any window relies on it.
        SqliteQuery check(db, QStringLiteral("SELECT count(*) FROM sqlite_schema"));
        check.step();
        SqliteQuery full(db, QStringLiteral("PRAGMA synchronous = FULL"));
        full.step();
    } catch (const RuntimeError& e) {
        throw RuntimeError(
            e.number(),
            QStringLiteral("The data file '%1' cannot be read: %2").arg(path, e.description()));
    }
    return engine;
}

QString SqliteEngine::localeTextOrder(const QString& column) {
    return column + QStringLiteral(" COLLATE ") + LocaleCollation;
}

QString SqliteEngine::plainNumber(const QString& text) const {
    return PlainNumberFunction + QLatin1Char('(') + text + QLatin1Char(')');
}

QString SqliteEngine::plainDate(const QString& column) const {
    return PlainDateFunction + QLatin1Char('(') + column + QLatin1Char(')');
}

QString SqliteEngine::idAmongTest() const {
    return QStringLiteral("\"ID\" IN (SELECT value FROM json_each(?))");
}

QString SqliteEngine::containsTest(const QString& column) const {
    return column + QStringLiteral(" like ? escape ") + Sql::quoteText(QString(ContainsEscape));
}

QVariant SqliteEngine::containsArgument(const QString& text) const {
    return containsPattern(text);
}

SqliteEngine::~SqliteEngine() {
    sqlite3_close_v2(m_db);
}

QString SqliteEngine::describe() const {
    return QStringLiteral("data file '%1'").arg(m_path);
}

QString SqliteEngine::backUpBeforeFieldDelete(const std::atomic<bool>* stop) {
    return Backups::write(m_db, m_path, stop);
}

std::unique_ptr<EngineQuery> SqliteEngine::prepare(const QString& sql) {
    return std::make_unique<SqliteQuery>(m_db, sql);
}

qint64 SqliteEngine::changes() const {
    return sqlite3_changes64(m_db);
}

qint64 SqliteEngine::lastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

std::vector<TableEntry> SqliteEngine::tables() {
    SqliteQuery read(m_db, QStringLiteral("SELECT type, name FROM sqlite_schema "
                                          "WHERE type IN ('table', 'view') ORDER BY name"));
    std::vector<TableEntry> tables;
    while (read.step()) {
        const QString name = read.column(1).toString();
        QString kind = read.column(0).toString() == QLatin1String("view") ? QStringLiteral("VIEW")
                                                                          : QStringLiteral("TABLE");
        if (kind == QLatin1String("TABLE") && name.startsWith(QLatin1String("sqlite_")))
            kind = QStringLiteral("SYSTEM TABLE");
        tables.push_back({name, kind});
    }
    // The built-in schema table is a system table too.
    tables.push_back({QStringLiteral("sqlite_schema"), QStringLiteral("SYSTEM TABLE")});
    return tables;
}

// SQLite looks up the column of an ALTER TABLE in the schema it last read, and does not notice
// when another connection has changed the table since. Reading the schema table inside the
// transaction makes it reload a changed schema first.
void SqliteEngine::refreshSchema() {
    SqliteQuery read(m_db, QStringLiteral("SELECT 1 FROM sqlite_schema LIMIT 0"));
    read.step();
}

void SqliteEngine::beginWrite() {
    SqliteQuery begin(m_db, QStringLiteral("BEGIN IMMEDIATE"));
    begin.step();
}

void SqliteEngine::interrupt() {
    sqlite3_interrupt(m_db);
}

void SqliteEngine::stopWhen(const std::atomic<bool>* flag) {
    // Looked at every thousand steps of the engine's machine: often enough, and cheap.
    sqlite3_progress_handler(
        m_db, 1000,
        [](void* stop) { return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0; },
        const_cast<std::atomic<bool>*>(flag));
}

qint64 SqliteEngine::lastRecordIdGiven() {
    SqliteQuery read(
        m_db, QStringLiteral("SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = "
                             "'CustomTable'), 0), coalesce((SELECT max(\"ID\") FROM "
                             "\"CustomTable\"), 0))"));
    read.step();
    return read.columnInt64(0);
}

void SqliteEngine::continueRecordIdsAfter(qint64 id) {
    SqliteQuery raise(m_db, QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE "
                                           "name = 'CustomTable'"));
    raise.bind(1, id);
    raise.step();
    if (changes() > 0)
        return;
    SqliteQuery add(m_db, QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES "
                                         "('CustomTable', ?1)"));
    add.bind(1, id);
    add.step();
}

// The time is kept as the text it was written as, which sorts as it reads.
void SqliteEngine::makeBinIfMissing() {
    SqliteQuery make(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS \"DeletedRecords\" "
                                          "(\"BinKey\" INTEGER PRIMARY KEY AUTOINCREMENT, \"ID\" "
                                          "INTEGER NOT NULL, \"DeletedAt\" TEXT NOT NULL, "
                                          "\"Record\" TEXT NOT NULL)"));
    make.step();
}

// The values in the order of their field's entry and then of the records, without a row id of
// their own: a field's values are kept and read back in one sweep.
bool SqliteEngine::makeKeptFieldsIfMissing() {
    for (const char* sql :
         {"CREATE TABLE IF NOT EXISTS \"KeptFields\" (\"FieldKey\" INTEGER PRIMARY KEY "
          "AUTOINCREMENT, \"fieldname\" TEXT NOT NULL, \"KeptAt\" TEXT NOT NULL, \"Definition\" "
          "TEXT NOT NULL)",
          "CREATE TABLE IF NOT EXISTS \"KeptFieldValues\" (\"FieldKey\" INTEGER NOT NULL, \"ID\" "
          "INTEGER NOT NULL, \"Value\" TEXT NOT NULL, \"Now\" TEXT, PRIMARY KEY (\"FieldKey\", "
          "\"ID\")) WITHOUT ROWID"})
        SqliteQuery(m_db, QString::fromUtf8(sql)).step();
    return true;
}

int SqliteEngine::maxColumns() const {
    return sqlite3_limit(m_db, SQLITE_LIMIT_COLUMN, -1);
}

// A name is as long as the statement that holds it may be.
int SqliteEngine::longestColumnName() const {
    return sqlite3_limit(m_db, SQLITE_LIMIT_SQL_LENGTH, -1);
}

// Dropping a column needs SQLite 3.35, IS NOT DISTINCT FROM 3.39.
void checkEngine() {
    constexpr int OldestEngine = 3039000;
    if (sqlite3_libversion_number() < OldestEngine || sqlite3_initialize() != SQLITE_OK)
        throw Errors::providerNotFound();
}

EngineSearch& SqliteEngine::search() {
    static SqliteSearch search;
    return search;
}
