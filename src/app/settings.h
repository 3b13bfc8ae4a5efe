#pragma once

#include <QString>

// The per-user settings store: application "Tarnwell", section "Ledgerloom".
QString GetSetting(const QString& key, const QString& defaultValue);
void SaveSetting(const QString& key, const QString& value);

// The two text-box size settings of the record window, with their defaults in one place.
namespace SizeSettings {
inline const QString WidthKey = QStringLiteral("Text3");
inline const QString HeightKey = QStringLiteral("Text4");
QString width();
QString height();
} // namespace SizeSettings
