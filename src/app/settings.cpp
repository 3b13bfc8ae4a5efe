#include "app/settings.h"

#include <QSettings>

namespace {
QString fullKey(const QString& key) {
    return QStringLiteral("Ledgerloom/") + key;
}
} // namespace

QString GetSetting(const QString& key, const QString& defaultValue) {
    QSettings store(QStringLiteral("Tarnwell"), QStringLiteral("Ledgerloom"));
    return store.value(fullKey(key), defaultValue).toString();
}

void SaveSetting(const QString& key, const QString& value) {
    QSettings store(QStringLiteral("Tarnwell"), QStringLiteral("Ledgerloom"));
    store.setValue(fullKey(key), value);
}

QString SizeSettings::width() {
    return GetSetting(WidthKey, QStringLiteral("0"));
}
QString SizeSettings::height() {
    return GetSetting(HeightKey, QStringLiteral("0"));
}
