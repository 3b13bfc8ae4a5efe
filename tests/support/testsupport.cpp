#include "support/testsupport.h"

#include "record/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
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

bool ScriptedMessages::saidOnce(const QStringList& parts) const {
    if (shown.size() != 1)
        return false;
    for (const QString& part : parts)
        if (!shown[0].text.contains(part))
            return false;
    return true;
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

QString quoted(QString name) {
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}
} // namespace

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
    Db db(dataFile(), SQLITE_OPEN_READWRITE);
    db.rows(QStringLiteral("ALTER TABLE CustomTable ADD COLUMN %1 TEXT").arg(quoted(name)));
    db.rows(QStringLiteral("INSERT INTO FieldControl VALUES (?,?,?,?)"),
            {name, type, length, values});
}

void TestEnvironment::addFields(int count, const QString& type) const {
    for (int i = 1; i <= count; ++i)
        addField(QStringLiteral("F%1").arg(i), type);
}

void TestEnvironment::addRecords(const QList<QVariantList>& rows) const {
    const QStringList columns = columnsOf(QStringLiteral("CustomTable")).mid(1);
    Db db(dataFile(), SQLITE_OPEN_READWRITE);
    db.rows(QStringLiteral("BEGIN"));
    for (const QVariantList& row : rows) {
        QStringList names, marks;
        for (int i = 0; i < row.size(); ++i) {
            names << quoted(columns[i]);
            marks << QStringLiteral("?");
        }
        db.rows(names.isEmpty() ? QStringLiteral("INSERT INTO CustomTable DEFAULT VALUES")
                                : QStringLiteral("INSERT INTO CustomTable (%1) VALUES (%2)")
                                      .arg(names.join(','), marks.join(',')),
                row);
    }
    db.rows(QStringLiteral("COMMIT"));
}

QList<QVariantList> TestEnvironment::query(const QString& sql) const {
    return queryFile(dataFile(), sql);
}

QStringList TestEnvironment::columnsOf(const QString& table) const {
    QStringList names;
    for (const QVariantList& row :
         query(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table)))
        names << row[0].toString();
    return names;
}

void TestEnvironment::execute(const QString& sql) const {
    Db db(dataFile(), SQLITE_OPEN_READWRITE);
    if (sqlite3_exec(db.m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.m_db));
}

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeFile(const QString& file, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("the test cannot write %s", qPrintable(file));
    return file;
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

void press(QWidget& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

QLineEdit* textBox(Form1& window, int entry) {
    return qobject_cast<QLineEdit*>(window.mInputControls().value(entry));
}
