#include "app/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString join(const QString& folder, const QString& name) {
    return folder + QDir::separator() + name;
}
} // namespace

QString SpecialFolderPath(int folder) {
    if (folder != CommonAppDataFolder)
        return QString();
    // Linux has no folder that every user may write; the user's data folder stands in for it.
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    path.remove(QChar(0));
    return QDir::toNativeSeparators(path.trimmed());
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

AppPaths AppPaths::standard() {
    return AppPaths{QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
                    SpecialFolderPath(CommonAppDataFolder)};
}

QString AppPaths::companyFolder() const {
    return join(commonDataFolder, QStringLiteral("Tarnwell"));
}
QString AppPaths::dataFolder() const {
    return join(companyFolder(), QStringLiteral("Ledgerloom"));
}
QString AppPaths::dataFile() const {
    return join(dataFolder(), QStringLiteral("dbData.mdb"));
}
QString AppPaths::customizedTemplate() const {
    return join(programFolder, QStringLiteral("Customized.mdb"));
}
QString AppPaths::blankTemplate() const {
    return join(programFolder, QStringLiteral("dbBlank.mdb"));
}
QString AppPaths::handCursor() const {
    return join(programFolder, QStringLiteral("HAND-M.CUR"));
}
QString AppPaths::skinFile() const {
    return join(join(programFolder, QStringLiteral("x")), QStringLiteral("o.cjs"));
}

QString standardDataFile() {
    return AppPaths{QString(), SpecialFolderPath(CommonAppDataFolder)}.dataFile();
}
