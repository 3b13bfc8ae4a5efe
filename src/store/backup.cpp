#include "store/backup.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/sqliteengine.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {
const QString FolderName = QStringLiteral("backups");
const QString Suffix = QStringLiteral(".mdb");
// A copy being written; never counted among the copies until it is complete.
const QString PartialSuffix = QStringLiteral(".partial");

[[noreturn]] void fail(const QString& folder, const QString& reason) {
    throw RuntimeError(ErrorNumber::Database,
                       QStringLiteral("No backup copy of the data file could be written to '%1': "
                                      "%2.")
                           .arg(folder, reason));
}

QString prefixFor(const QString& dataFile) {
    return QFileInfo(dataFile).completeBaseName() + QLatin1Char('-');
}

QString newCopyPath(const QString& folder, const QString& dataFile) {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString base = folder + QLatin1Char('/') + prefixFor(dataFile) + stamp;
    QString path = base + Suffix;
    // Two copies within one millisecond still get names that sort in the order written.
    for (int n = 1; QFile::exists(path); ++n)
        path = base + QStringLiteral("-%1").arg(n, 3, 10, QLatin1Char('0')) + Suffix;
    return path;
}

void copyDatabase(sqlite3* source, const QString& target, const QString& folder) {
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(target.toUtf8().constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString reason;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(copy, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (!backup) {
            rc = sqlite3_errcode(copy);
        } else {
            do {
                rc = sqlite3_backup_step(backup, -1);
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                    sqlite3_sleep(50);
            } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
            sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
    }
    if (rc != SQLITE_OK)
        reason = QString::fromUtf8(copy ? sqlite3_errmsg(copy) : sqlite3_errstr(rc));
    if (sqlite3_close(copy) != SQLITE_OK && reason.isEmpty())
        reason = QStringLiteral("the copy could not be closed");
    if (!reason.isEmpty()) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        fail(folder, reason);
    }
}
} // namespace

QString Backups::folderFor(const QString& dataFile) {
    return QFileInfo(dataFile).absolutePath() + QLatin1Char('/') + FolderName;
}

QStringList Backups::list(const QString& dataFile) {
    const QDir folder(folderFor(dataFile));
    QStringList copies;
    for (const QString& name : folder.entryList({prefixFor(dataFile) + QLatin1Char('*') + Suffix},
                                                QDir::Files, QDir::Name))
        copies << folder.filePath(name);
    return copies;
}

QString Backups::write(Connection& connection, int keep) {
    // A server's database is copied by whoever keeps the server; its column changes are
    // transactions of their own.
    if (connection.isServer())
        return QString();
    const QString dataFile = connection.dataSource();
    const QString folder = folderFor(dataFile);
    if (!QDir().mkpath(folder))
        fail(folder, QStringLiteral("the folder cannot be created"));
    // Copies a crash cut short are of no use to anyone.
    const QDir dir(folder);
    for (const QString& stale : dir.entryList({QLatin1Char('*') + PartialSuffix}, QDir::Files))
        QFile::remove(dir.filePath(stale));
    const QString path = newCopyPath(folder, dataFile);
    const QString partial = path + PartialSuffix;
    auto* local = dynamic_cast<SqliteEngine*>(&connection.engine());
    if (!local)
        fail(folder, QStringLiteral("only a local data file has backup copies"));
    copyDatabase(local->database(), partial, folder);
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        fail(folder, QStringLiteral("the finished copy could not be given its name"));
    }
    QStringList copies = list(dataFile);
    while (copies.size() > keep)
        QFile::remove(copies.takeFirst());
    return path;
}
