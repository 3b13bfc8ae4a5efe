#include "app/settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
QString fullKey(const QString& key) {
    return QStringLiteral("Ledgerloom/") + key;
}

// Qt settles the folder of its default settings file once per process, so a changed
// XDG_CONFIG_HOME would be ignored. The same file is therefore named here on each use.
QSettings openStore() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return QSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Tarnwell/Ledgerloom.conf"),
                     QSettings::IniFormat);
#else
    return QSettings(QStringLiteral("Tarnwell"), QStringLiteral("Ledgerloom"));
#endif
}
} // namespace

QString GetSetting(const QString& key, const QString& defaultValue) {
    const QSettings store = openStore();
    return store.value(fullKey(key), defaultValue).toString();
}

void SaveSetting(const QString& key, const QString& value) {
    QSettings store = openStore();
    store.setValue(fullKey(key), value);
}

QString SizeSettings::width() {
    return GetSetting(WidthKey, QStringLiteral("0"));
}
QString SizeSettings::height() {
    return GetSetting(HeightKey, QStringLiteral("0"));
}
