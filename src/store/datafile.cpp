#include "store/datafile.h"

#include "app/runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {
[[noreturn]] void refuse(const QString& path, const QString& what) {
    throw RuntimeError(
        ErrorNumber::Database,
        QStringLiteral("The data file '%1' %2 It was left as it is.").arg(path, what));
}

quint32 bigEndianAt(const QByteArray& bytes, int offset) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | quint8(bytes[offset + i]);
    return value;
}

// The header tells the number of pages when the change counter and its copy agree. A file
// shorter than that lost its end. A journal beside it means an interrupted write that the
// engine will roll back first, so the size says nothing yet.
bool isCutOff(const QByteArray& head, const QFileInfo& info) {
    if (head.size() < 100)
        return true;
    if (QFileInfo::exists(info.filePath() + QStringLiteral("-journal")) ||
        QFileInfo::exists(info.filePath() + QStringLiteral("-wal")))
        return false;
    const quint32 pageSize = (quint32(quint8(head[16])) << 8 | quint8(head[17])) == 1
                                 ? 65536
                                 : quint32(quint8(head[16])) << 8 | quint8(head[17]);
    const quint32 pages = bigEndianAt(head, 28);
    if (pages == 0 || bigEndianAt(head, 24) != bigEndianAt(head, 92))
        return false;
    return info.size() < qint64(pages) * pageSize;
}
} // namespace

void checkDataFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(ErrorNumber::Database,
                           QStringLiteral("Could not find file '%1'.").arg(path));
    if (info.isDir())
        refuse(path, QStringLiteral("is a folder, not a database."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(path, QStringLiteral("cannot be read: %1.").arg(file.errorString()));
    const QByteArray head = file.read(100);
    if (head.isEmpty())
        refuse(path, QStringLiteral("is empty, so it is not a Ledgerloom database."));
    if (head.startsWith(QByteArray("SQLite format 3\0", 16))) {
        if (isCutOff(head, info))
            refuse(path, QStringLiteral("was cut off: it is shorter than the database it holds "
                                        "says it is, so part of it is missing."));
        return;
    }
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        refuse(path, QStringLiteral("is a Microsoft Access database. Ledgerloom keeps its data in "
                                    "SQLite databases and cannot open it."));
    refuse(path, QStringLiteral("is not a database that Ledgerloom can open."));
}

bool createPrivateFile(const QString& path) {
    QFile file(path);
    // Nothing is in it yet while others might still read it.
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

bool copyPrivately(const QString& source, const QString& target) {
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        return false;
    // Written beside the target under a name of its own, it takes the target's name complete.
    QTemporaryFile copy(target + QStringLiteral(".XXXXXX"));
    if (!copy.open() || !copy.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return false;
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(1 << 20);
        if (chunk.isEmpty() || copy.write(chunk) != chunk.size())
            return false;
    }
    if (!copy.flush())
        return false;
    copy.close();
    // Refused when the target exists; the temporary file is removed either way.
    return QFile::rename(copy.fileName(), target);
}
