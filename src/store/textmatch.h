#pragma once

#include <QString>

struct sqlite3;

// The engine's like operator, made to ignore case for every letter (not only for ASCII), as
// the windows' searches expect. '%' and '_' are wildcards; the escape character, when given,
// makes the next character literal.
bool likeMatch(const QString& pattern, const QString& value, QChar escape = QChar());

// Replaces the engine's like on this connection.
void installLike(sqlite3* db);
