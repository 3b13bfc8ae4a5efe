#include "support/testsupport.h"

#include "record/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <sqlite3.h>
#include <stdexcept>

Answer ScriptedMessages::show(const Message& message) {
    shown << message;
    if (!m_actions.empty()) {
        auto action = std::move(m_actions.front());
        m_actions.pop_front();
        action();
    }
    if (message.buttons == Message::Buttons::Ok)
        return Answer::Ok;
    if (m_answers.empty())
        return message.secondButtonDefault ? Answer::No : Answer::Yes;
    const Answer next = m_answers.front();
    m_answers.pop_front();
    return next;
}

std::optional<QString> ScriptedMessages::input(const QString& prompt, const QString& title,
                                               const QString&) {
    prompts << prompt + QLatin1Char('|') + title;
    if (m_inputs.empty())
        return std::nullopt;
    const QVariant next = m_inputs.front();
    m_inputs.pop_front();
    if (!next.isValid())
        return std::nullopt;
    return next.toString();
}

QStringList ScriptedMessages::texts() const {
    QStringList result;
    for (const Message& m : shown)
        result << m.text;
    return result;
}

TestEnvironment::TestEnvironment() {
    m_oldData = qgetenv("XDG_DATA_HOME");
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    m_oldHome = qgetenv("HOME");
    QDir(m_root.path()).mkpath(QStringLiteral("data"));
    // The documents folder, where exports go, is the test's own too.
    qputenv("HOME", QFile::encodeName(m_root.path()));
    QDir(m_root.path()).mkpath(QStringLiteral("config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root.path() + QStringLiteral("/config")));
    // The settings store keeps the folder it first saw; point it at this test's folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       m_root.path() + QStringLiteral("/config"));
    // The program folder holds what the build puts beside the program.
    const QString built = QFileInfo(QStringLiteral(LEDGERLOOM_BLANK_TEMPLATE)).absolutePath();
    for (const QString& name : {QStringLiteral("dbBlank.mdb"), QStringLiteral("HAND-M.CUR")})
        QFile::copy(built + QLatin1Char('/') + name, m_program.path() + QLatin1Char('/') + name);
}

TestEnvironment::~TestEnvironment() {
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("HOME", m_oldHome);
}

AppPaths TestEnvironment::paths() const {
    return AppPaths{m_program.path(), SpecialFolderPath(CommonAppDataFolder)};
}

void TestEnvironment::createDataFile() const {
    QDir().mkpath(paths().dataFolder());
    if (!QFile::exists(dataFile()))
        QFile::copy(QStringLiteral(LEDGERLOOM_BLANK_TEMPLATE), dataFile());
    QFile(dataFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

namespace {
struct Db {
    explicit Db(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            throw std::runtime_error("cannot open test data file");
    }
    ~Db() { sqlite3_close(db); }
    void exec(const QString& sql, const QVariantList& params = {}) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        for (int i = 0; i < params.size(); ++i) {
            if (params[i].isNull())
                sqlite3_bind_null(st, i + 1);
            else
                sqlite3_bind_text(st, i + 1, params[i].toString().toUtf8().constData(), -1,
                                  SQLITE_TRANSIENT);
        }
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    sqlite3* db = nullptr;
};
} // namespace

void TestEnvironment::addField(const QString& name, const QString& type, const QString& length,
                               const QString& values) const {
    createDataFile();
    Db db(dataFile());
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    db.exec(QStringLiteral("ALTER TABLE CustomTable ADD COLUMN \"%1\" TEXT").arg(quoted));
    db.exec(QStringLiteral("INSERT INTO FieldControl VALUES (?,?,?,?)"),
            {name, type, length, values});
}

void TestEnvironment::addFields(int count, const QString& type) const {
    for (int i = 1; i <= count; ++i)
        addField(QStringLiteral("F%1").arg(i), type);
}

void TestEnvironment::addRecords(const QList<QVariantList>& rows) const {
    Db db(dataFile());
    const QStringList columns = columnsOf(QStringLiteral("CustomTable")).mid(1);
    db.exec(QStringLiteral("BEGIN"));
    for (const QVariantList& row : rows) {
        QStringList names, marks;
        for (int i = 0; i < row.size(); ++i) {
            names << QLatin1Char('"') + columns[i] + QLatin1Char('"');
            marks << QStringLiteral("?");
        }
        db.exec(names.isEmpty() ? QStringLiteral("INSERT INTO CustomTable DEFAULT VALUES")
                                : QStringLiteral("INSERT INTO CustomTable (%1) VALUES (%2)")
                                      .arg(names.join(','), marks.join(',')),
                row);
    }
    db.exec(QStringLiteral("COMMIT"));
}

QList<QVariantList> TestEnvironment::query(const QString& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dataFile().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QList<QVariantList> rows;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_NULL)
                    row << QVariant();
                else
                    row << QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                        sqlite3_column_bytes(st, i));
            }
            rows << row;
        }
    } else {
        qWarning("query failed: %s", sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

void TestEnvironment::execute(const QString& sql) const {
    Db(dataFile()).exec(sql);
}

QStringList TestEnvironment::columnsOf(const QString& table) const {
    QStringList names;
    for (const QVariantList& row :
         query(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table)))
        names << row[0].toString();
    return names;
}

std::unique_ptr<Form1> startRecordWindow(ScriptedMessages& messages, const TestEnvironment& env) {
    auto window = std::make_unique<Form1>(messages, env.paths());
    if (!window->Form_Load())
        return nullptr;
    window->show();
    QCoreApplication::processEvents();
    settle(*window);
    return window;
}

void settle(Form1& window) {
    QCoreApplication::processEvents();
    QTRY_VERIFY_WITH_TIMEOUT(!window.mGenerating(), 10000);
    QCoreApplication::processEvents();
}
