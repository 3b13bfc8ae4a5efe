#include "support/testserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

namespace {
const QString User = "ledgerloom_user";
const QString Superuser = "postgres";

// The folder of initdb and pg_ctl: on the path, else the newest Debian server version.
QString serverPrograms() {
    QStringList folders{QFileInfo(QStandardPaths::findExecutable("initdb")).absolutePath()};
    for (const QString& version : QDir("/usr/lib/postgresql").entryList(QDir::Dirs, QDir::Name))
        folders.insert(1, "/usr/lib/postgresql/" + version + "/bin");
    for (const QString& folder : folders)
        if (QFile::exists(folder + "/initdb"))
            return folder;
    return {};
}
} // namespace

TestServer& TestServer::shared() {
    static TestServer server;
    return server;
}

bool TestServer::run(const QString& program, const QStringList& arguments) {
    QStringList command = QStringList{m_bin + '/' + program} + arguments;
    // initdb and the server refuse to run as root.
    if (geteuid() == 0)
        command = QStringList{"runuser", "-u", Superuser, "--"} + command;
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.takeFirst(), command);
    const bool ok = process.waitForFinished(120000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok)
        m_error = program + " failed: " +
                  (process.error() == QProcess::FailedToStart ? process.errorString() + '\n' : "") +
                  QString::fromLocal8Bit(process.readAll());
    return ok;
}

bool TestServer::available(QString* why) {
    if (!m_tried) {
        m_tried = true;
        m_bin = serverPrograms();
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/ledgerloom-pg-XXXXXX");
        // Stop while Qt is still whole; the destructor is the fallback without an application.
        if (QCoreApplication::instance())
            qAddPostRoutine([] { shared().stop(), shared().m_dir.reset(); });
        const passwd* owner = getpwnam(qPrintable(Superuser));
        const QString data = m_dir->filePath("data");
        m_port = 50000 + getpid() % 10000;
        if (m_bin.isEmpty())
            m_error = "no PostgreSQL server programs (initdb, pg_ctl) found";
        else if (!m_dir->isValid())
            m_error = "no temporary folder: " + m_dir->errorString();
        // As root the folder belongs to the postgres user; root still reaches the socket in it.
        else if (geteuid() == 0 &&
                 (!owner || chown(qPrintable(m_dir->path()), owner->pw_uid, owner->pw_gid) != 0))
            m_error = "running as root, but the postgres user cannot own " + m_dir->path();
        else if (run("initdb", {"-D", data, "-U", Superuser, "-A", "trust", "-E", "UTF8",
                                "--locale=C", "--no-sync"})) {
            QFile conf(data + "/postgresql.conf");
            if (conf.open(QIODevice::Append))
                conf.write(QString("listen_addresses = ''\nunix_socket_directories = '%1'\n"
                                   "port = %2\nfsync = off\nfull_page_writes = off\n"
                                   "synchronous_commit = off\nshared_buffers = 16MB\n%3")
                               .arg(m_dir->path())
                               .arg(m_port)
                               .arg(m_settings)
                               .toUtf8());
            conf.close();
            m_running = start() &&
                        superuserExec(Superuser, "CREATE ROLE " + User +
                                                     " LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE");
        }
    }
    const bool up = m_running && PQping(qPrintable(connection(Superuser, Superuser))) == PQPING_OK;
    if (why)
        *why = up ? QString() : m_running ? "the server does not answer" : m_error;
    return up;
}

QString TestServer::connection(const QString& database, const QString& user) const {
    return QString("host=%1 port=%2 dbname=%3 user=%4")
        .arg(m_dir->path())
        .arg(m_port)
        .arg(database, user);
}

bool TestServer::superuserExec(const QString& database, const QString& sql) {
    PGconn* conn = PQconnectdb(qPrintable(connection(database, Superuser)));
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok)
        m_error = sql + ": " + QString::fromUtf8(PQerrorMessage(conn));
    PQclear(result);
    PQfinish(conn);
    return ok;
}

QString TestServer::newDatabase() {
    QString why;
    if (!available(&why))
        return qWarning("no test server: %s", qPrintable(why)), QString();
    const QString name = QString("ledgerloom_test_%1").arg(++m_databases);
    if (!superuserExec(Superuser, "CREATE DATABASE " + name + " OWNER " + User) ||
        !superuserExec(name, "CREATE EXTENSION pg_trgm"))
        return qWarning("%s", qPrintable(m_error)), QString();
    return connection(name, User);
}

QString TestServer::superuserConnection(const QString& database) const {
    return QString(database).replace("user=" + User, "user=" + Superuser);
}

bool TestServer::start() {
    if (!m_tried)
        return available();
    const QString log = m_dir->filePath("server.log");
    m_running = run("pg_ctl", {"start", "-w", "-D", m_dir->filePath("data"), "-l", log});
    QFile file(log);
    if (!m_running && file.open(QIODevice::ReadOnly))
        m_error += QString::fromLocal8Bit(file.readAll());
    return m_running;
}

bool TestServer::stop() {
    m_running = false;
    m_error = "the server was stopped";
    return !m_dir || !QFile::exists(m_dir->filePath("data/postmaster.pid")) ||
           run("pg_ctl", {"stop", "-m", "fast", "-w", "-D", m_dir->filePath("data")});
}
