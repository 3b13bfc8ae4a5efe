#include "store/sqlitebackup.h"

#include "app/runtimeerror.h"
#include "store/datafile.h"
#include "store/sqliteengine.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <sqlite3.h>

namespace {
const QString FolderName = QStringLiteral("backups");
const QString Suffix = QStringLiteral(".mdb");
// A copy being written; never counted among the copies until it is complete.
const QString PartialSuffix = QStringLiteral(".partial");
// Pages copied in one step; a stop is seen between steps.
constexpr int PagesPerStep = 1024;

[[noreturn]] void fail(const QString& folder, const QString& reason) {
    throw RuntimeError(ErrorNumber::Database,
                       QStringLiteral("No backup copy of the data file could be written to '%1': "
                                      "%2.")
                           .arg(folder, reason));
}

QString prefixFor(const QString& dataFile) {
    return QFileInfo(dataFile).completeBaseName() + QLatin1Char('-');
}

// The names this program gives the copies of that data file, and only those.
QRegularExpression copyNames(const QString& dataFile, const QString& suffix) {
    return QRegularExpression(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(prefixFor(dataFile)) +
        QStringLiteral("\\d{8}-\\d{6}-\\d{3}(?:-\\d{3,})?") + QRegularExpression::escape(suffix)));
}

QString newCopyPath(const QString& folder, const QString& dataFile) {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString base = folder + QLatin1Char('/') + prefixFor(dataFile) + stamp;
    QString path = base + Suffix;
    // Two copies within one millisecond still get names of their own.
    for (int n = 1; QFile::exists(path); ++n)
        path = base + QStringLiteral("-%1").arg(n, 3, 10, QLatin1Char('0')) + Suffix;
    return path;
}

// Waits for another program's lock as the engine does for every write, but no longer than
// until the stop flag turns true.
struct LockWait {
    QDeadlineTimer deadline;
    const std::atomic<bool>* stop;
};

int waitForLock(void* data, int) {
    const auto* wait = static_cast<const LockWait*>(data);
    if ((wait->stop && *wait->stop) || wait->deadline.hasExpired())
        return 0;
    sqlite3_sleep(20);
    return 1;
}

// Keeps the data file open for reading while it is copied, so that no other program's write
// makes the copy start over; copying in steps then leaves room to stop between them.
class ReadLock {
  public:
    ReadLock(sqlite3* db, const std::atomic<bool>* stop) {
        LockWait wait{QDeadlineTimer(LockWaitMs), stop};
        sqlite3_busy_handler(db, waitForLock, &wait);
        int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema", -1, &m_read, nullptr);
        // A statement stepped to its row holds the read until it is finished.
        if (rc == SQLITE_OK)
            rc = sqlite3_step(m_read);
        sqlite3_busy_timeout(db, LockWaitMs);
        if (rc != SQLITE_ROW) {
            sqlite3_finalize(m_read);
            throwEngineError(db, rc);
        }
    }
    ~ReadLock() { sqlite3_finalize(m_read); }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

  private:
    sqlite3_stmt* m_read = nullptr;
};

void copyDatabase(sqlite3* source, const QString& target, const QString& folder,
                  const std::atomic<bool>* stop) {
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(target.toUtf8().constData(), &copy, SQLITE_OPEN_READWRITE, nullptr);
    QString reason;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(copy, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (!backup) {
            rc = sqlite3_errcode(copy);
        } else {
            do {
                rc = sqlite3_backup_step(backup, PagesPerStep);
            } while (rc == SQLITE_OK && !(stop && *stop));
            sqlite3_backup_finish(backup);
            if (rc == SQLITE_OK)
                reason = QStringLiteral("the copy was stopped");
            else if (rc == SQLITE_DONE)
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
    const QRegularExpression names = copyNames(dataFile, Suffix);
    QFileInfoList copies;
    for (const QFileInfo& file : QDir(folderFor(dataFile)).entryInfoList(QDir::Files, QDir::Name))
        if (names.match(file.fileName()).hasMatch())
            copies << file;
    std::stable_sort(copies.begin(), copies.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() < b.lastModified();
    });
    QStringList paths;
    for (const QFileInfo& copy : copies)
        paths << copy.filePath();
    return paths;
}

QString Backups::write(sqlite3* db, const QString& dataFile, const std::atomic<bool>* stop,
                       int keep) {
    const QString folder = folderFor(dataFile);
    if (!QDir().mkpath(folder))
        fail(folder, QStringLiteral("the folder cannot be created"));
    // Copies a crash cut short are of no use to anyone.
    const QDir dir(folder);
    const QRegularExpression partials = copyNames(dataFile, Suffix + PartialSuffix);
    for (const QString& name : dir.entryList(QDir::Files))
        if (partials.match(name).hasMatch())
            QFile::remove(dir.filePath(name));
    const QString path = newCopyPath(folder, dataFile);
    const QString partial = path + PartialSuffix;
    {
        const ReadLock lock(db, stop);
        // The engine would let everyone the umask lets read it; it holds every record.
        if (!createPrivateFile(partial))
            fail(folder, QStringLiteral("the file for the copy cannot be created"));
        copyDatabase(db, partial, folder, stop);
    }
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        fail(folder, QStringLiteral("the finished copy could not be given its name"));
    }
    QStringList older = list(dataFile);
    older.removeAll(path);
    while (!older.isEmpty() && older.size() >= keep)
        QFile::remove(older.takeFirst());
    // What the caller is about to change for good relies on it.
    if (!QFileInfo::exists(path))
        fail(folder, QStringLiteral("the new copy is gone"));
    return path;
}
