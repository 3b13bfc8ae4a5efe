#pragma once

#include <QString>

struct sqlite3;

// The name of the collation that orders text as the program's locale does (QCollator).
inline const QString LocaleCollation = QStringLiteral("LOCALE");

// Gives the connection that collation, by the locale of the program when it is opened.
void installLocaleCollation(sqlite3* db);
