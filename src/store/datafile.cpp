#include "store/datafile.h"

#include "app/runtimeerror.h"

#include <QFile>
#include <QFileInfo>

namespace {
[[noreturn]] void refuse(const QString& path, const QString& what) {
    throw RuntimeError(
        ErrorNumber::Database,
        QStringLiteral("The data file '%1' %2 It was left as it is.").arg(path, what));
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
    if (head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return;
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        refuse(path, QStringLiteral("is a Microsoft Access database. Ledgerloom keeps its data in "
                                    "SQLite databases and cannot open it."));
    refuse(path, QStringLiteral("is not a database that Ledgerloom can open."));
}
