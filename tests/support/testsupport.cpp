#include "support/testsupport.h"

#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "support/testserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <algorithm>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/stat.h>

namespace {
template <class T> T takeFront(std::deque<T>& queue) {
    T next = std::move(queue.front());
    queue.pop_front();
    return next;
}
} // namespace

Answer ScriptedMessages::show(const Message& message) {
    shown << message;
    if (!m_actions.empty())
        takeFront(m_actions)();
    if (message.buttons == Message::Buttons::Ok)
        return Answer::Ok;
    if (m_answers.empty())
        return message.secondButtonDefault ? Answer::No : Answer::Yes;
    return takeFront(m_answers);
}

std::optional<QString> ScriptedMessages::input(const QString&, const QString&, const QString&) {
    return m_inputs.empty() ? std::nullopt : takeFront(m_inputs);
}

QStringList ScriptedMessages::texts() const {
    QStringList result;
    for (const Message& m : shown)
        result << m.text;
    return result;
}

bool ScriptedMessages::saidOnce(const QStringList& parts) const {
    const auto said = [this](const QString& part) { return shown[0].text.contains(part); };
    return shown.size() == 1 && std::all_of(parts.begin(), parts.end(), said);
}

namespace {
// The variables that point the program at its folders, and this test's folder for each.
const std::pair<const char*, QString> Variables[] = {
    {"XDG_DATA_HOME", "data"}, {"XDG_CONFIG_HOME", "config"}, {"HOME", "."}};
} // namespace

TestEnvironment::TestEnvironment(StoreKind store) {
    // The program keeps its records where LEDGERLOOM_SERVER says: this test's database or, when
    // empty, the data file; never a server of the machine's.
    m_oldServer = qgetenv("LEDGERLOOM_SERVER");
    if (store == StoreKind::Server && (m_server = TestServer::shared().newDatabase()).isEmpty())
        qFatal("the test server is not available (the warning above says why)");
    qputenv("LEDGERLOOM_SERVER", m_server.toUtf8());
    // The documents folder, where exports go, is the test's own too.
    for (const auto& [variable, folder] : Variables) {
        m_old << qgetenv(variable);
        QDir(m_root.path()).mkpath(folder);
        qputenv(variable, QFile::encodeName(QDir::cleanPath(m_root.path() + '/' + folder)));
    }
    // The settings store keeps the folder it first saw; point it at this test's folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       m_root.path() + QStringLiteral("/config"));
    // The program folder holds what the build puts beside the program.
    const QString built = QFileInfo(QStringLiteral(LEDGERLOOM_BLANK_TEMPLATE)).absolutePath();
    for (const QString& name : {QStringLiteral("dbBlank.mdb"), QStringLiteral("HAND-M.CUR")})
        QFile::copy(built + QLatin1Char('/') + name, m_program.path() + QLatin1Char('/') + name);
    qputenv("LEDGERLOOM_ACCESS_READER", LEDGERLOOM_ACCESS_READER); // not beside a test program
}

TestEnvironment::~TestEnvironment() {
    for (qsizetype i = 0; i < m_old.size(); ++i)
        qputenv(Variables[i].first, m_old[i]);
    qputenv("LEDGERLOOM_SERVER", m_oldServer);
}

Store TestEnvironment::store() const {
    return onServer() ? Store::server(m_server) : Store::dataFile(dataFile());
}

QString TestEnvironment::connectionString() const {
    return store().connectionString();
}

AppPaths TestEnvironment::paths() const {
    return AppPaths{m_program.path(), SpecialFolderPath(CommonAppDataFolder)};
}

void TestEnvironment::createDataFile() const {
    if (onServer()) {
        Connection first; // the program makes its tables on first use
        first.Open(connectionString());
        return;
    }
    QDir().mkpath(paths().dataFolder());
    QFile::copy(QStringLiteral(LEDGERLOOM_BLANK_TEMPLATE), dataFile());
    QFile(dataFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

namespace {
// A raw connection to a database file, apart from the program's own.
class Db {
  public:
    Db(const QString& path, int flags) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
    }
    ~Db() { sqlite3_close(m_db); }
    // One statement's rows, texts bound to its parameters; raises when the engine refuses.
    QList<QVariantList> rows(const QString& sql, const QVariantList& params = {}) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        for (int i = 0; i < params.size(); ++i)
            if (!params[i].isNull())
                sqlite3_bind_text(st, i + 1, params[i].toString().toUtf8().constData(), -1,
                                  SQLITE_TRANSIENT);
        QList<QVariantList> result;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                row << (sqlite3_column_type(st, i) == SQLITE_NULL
                            ? QVariant()
                            : QVariant(QString::fromUtf8(
                                  reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                  sqlite3_column_bytes(st, i))));
            result << row;
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        return result;
    }
    sqlite3* m_db = nullptr;
};

// The same on a server's database, through libpq itself.
class ServerDb {
  public:
    explicit ServerDb(const QString& address)
        : m_connection(PQconnectdb(address.toUtf8().constData())) {}
    ~ServerDb() { PQfinish(m_connection); }
    QList<QVariantList> rows(const QString& sql, const QVariantList& params = {}) {
        std::vector<QByteArray> texts;
        std::vector<const char*> values;
        for (const QVariant& param : params)
            texts.push_back(param.toString().toUtf8());
        for (int i = 0; i < params.size(); ++i)
            values.push_back(params[i].isNull() ? nullptr : texts[size_t(i)].constData());
        PGresult* result = params.isEmpty() ? PQexec(m_connection, sql.toUtf8().constData())
                                            : PQexecParams(m_connection, sql.toUtf8().constData(),
                                                           int(values.size()), nullptr,
                                                           values.data(), nullptr, nullptr, 0);
        const std::string error = PQresultErrorMessage(result);
        QList<QVariantList> rows;
        for (int r = 0; r < PQntuples(result); ++r) {
            rows << QVariantList();
            for (int c = 0; c < PQnfields(result); ++c)
                rows.last() << (PQgetisnull(result, r, c)
                                    ? QVariant()
                                    : QVariant(QString::fromUtf8(PQgetvalue(result, r, c),
                                                                 PQgetlength(result, r, c))));
        }
        PQclear(result);
        if (!error.empty())
            throw std::runtime_error(error);
        return rows;
    }

  private:
    PGconn* m_connection;
};

QString quoted(QString name) {
    return u'"' + name.replace(u'"', QStringLiteral("\"\"")) + u'"';
}
} // namespace

void storeRows() {
    QTest::addColumn<StoreKind>("store");
    for (const auto& [name, store] : Stores)
        QTest::newRow(name) << store;
}

struct OtherProgram::Handle {
    std::optional<ServerDb> server;
    std::optional<Db> file;
};

OtherProgram::OtherProgram(const TestEnvironment& env) : m_handle(std::make_unique<Handle>()) {
    if (env.onServer())
        m_handle->server.emplace(env.server());
    else
        m_handle->file.emplace(env.dataFile(), SQLITE_OPEN_READWRITE);
}

OtherProgram::OtherProgram(const QString& serverAddress) : m_handle(std::make_unique<Handle>()) {
    m_handle->server.emplace(serverAddress);
}

OtherProgram::~OtherProgram() = default;

QList<QVariantList> OtherProgram::rows(const QString& sql, const QVariantList& params) {
    return m_handle->server ? m_handle->server->rows(sql, params)
                            : m_handle->file->rows(sql, params);
}

QList<QVariantList> queryFile(const QString& file, const QString& sql) {
    try {
        return Db(file, SQLITE_OPEN_READONLY).rows(sql);
    } catch (const std::exception& e) {
        qWarning("query failed: %s", e.what());
        return {};
    }
}

void TestEnvironment::addField(const QString& name, const QString& type, const QString& length,
                               const QString& values) const {
    createDataFile();
    execute(QStringLiteral("ALTER TABLE \"CustomTable\" ADD COLUMN %1 TEXT").arg(quoted(name)));
    query(QStringLiteral("INSERT INTO \"FieldControl\" VALUES ($1, $2, $3, $4)"),
          {name, type, length, values});
}

void TestEnvironment::addFields(const QList<QStringList>& fields) const {
    for (const QStringList& field : fields)
        addField(field[0], field[1], field.value(2, "8"), field.value(3));
}

// In one transaction, as the same statements as addField: thousands of fields are made at once.
void TestEnvironment::addFields(int count, const QString& type) const {
    createDataFile();
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 1; i <= count; ++i)
        sql += QStringLiteral("ALTER TABLE \"CustomTable\" ADD COLUMN \"F%1\" TEXT; INSERT INTO "
                              "\"FieldControl\" VALUES ('F%1', '%2', '8', '');")
                   .arg(i)
                   .arg(type);
    execute(sql + QStringLiteral("COMMIT"));
}

void TestEnvironment::addRecords(const QList<QVariantList>& rows) const {
    const QStringList columns = columnsOf(QStringLiteral("CustomTable")).mid(1);
    OtherProgram store(*this);
    store.rows(QStringLiteral("BEGIN"));
    for (const QVariantList& row : rows) {
        QStringList names, marks;
        for (const QString& column : columns.first(row.size())) {
            names << quoted(column);
            marks << QStringLiteral("$%1").arg(marks.size() + 1);
        }
        store.rows(row.isEmpty() ? QStringLiteral("INSERT INTO \"CustomTable\" DEFAULT VALUES")
                                 : QStringLiteral("INSERT INTO \"CustomTable\" (%1) VALUES (%2)")
                                       .arg(names.join(','), marks.join(',')),
                   row);
    }
    store.rows(QStringLiteral("COMMIT"));
}

QList<QVariantList> TestEnvironment::query(const QString& sql,
                                           const QVariantList& parameters) const {
    try {
        return OtherProgram(*this).rows(sql, parameters);
    } catch (const std::exception& e) {
        qWarning("query failed: %s", e.what());
        return {};
    }
}

QStringList TestEnvironment::columnsOf(const QString& table) const {
    const QString sql =
        onServer() ? QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                                    "table_schema = current_schema() AND table_name = $1 ORDER BY "
                                    "ordinal_position")
                   : QStringLiteral("SELECT name FROM pragma_table_info($1)");
    QStringList names;
    for (const QVariantList& row : query(sql, {table}))
        names << row[0].toString();
    return names;
}

void TestEnvironment::execute(const QString& sql) const {
    if (onServer()) {
        OtherProgram(*this).rows(sql);
        return;
    }
    Db db(dataFile(), SQLITE_OPEN_READWRITE);
    if (sqlite3_exec(db.m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.m_db));
}

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int modeOf(const QString& file) {
    struct stat status {};
    return stat(QFile::encodeName(file).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                   : -1;
}

QString writeFile(const QString& file, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("the test cannot write %s", qPrintable(file));
    return file;
}

std::unique_ptr<Form1> startRecordWindow(ScriptedMessages& messages, const TestEnvironment& env) {
    auto window = std::make_unique<Form1>(messages, env.paths(), env.store());
    if (!window->Form_Load())
        return nullptr;
    window->show();
    settle(*window);
    return window;
}

void settle(Form1& window) {
    QCoreApplication::processEvents();
    QTRY_VERIFY_WITH_TIMEOUT(!window.mGenerating(), 10000);
    QCoreApplication::processEvents();
}

void press(QWidget& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

QLineEdit* textBox(Form1& window, int entry) {
    return qobject_cast<QLineEdit*>(window.mInputControls().value(entry));
}
