#pragma once

#include <QString>

struct sqlite3;

// The name of the collation that orders text as the program's locale does (QCollator).
inline const QString LocaleCollation = QStringLiteral("LOCALE");

// Gives the connection that collation, by the locale of the program when it is opened.
void installLocaleCollation(sqlite3* db);

// The names of the functions that read a text as a plain decimal number (a double, else Null)
// and as a canonical date (the text, else Null), as the engine's seam describes them.
inline const QString PlainNumberFunction = QStringLiteral("ledgerloom_plain_number");
inline const QString PlainDateFunction = QStringLiteral("ledgerloom_plain_date");

// Gives the connection those functions.
void installValueReaders(sqlite3* db);
