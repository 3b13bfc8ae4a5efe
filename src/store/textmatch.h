#pragma once

#include <QString>

struct sqlite3;

// The engine's like operator, made to ignore case for every letter (not only for ASCII), as
// the windows' searches expect. '%' and '_' are wildcards; the escape character, when given,
// makes the next character literal.
bool likeMatch(const QString& pattern, const QString& value, QChar escape = QChar());

// The escape character of containsPattern.
inline constexpr QChar ContainsEscape = u'\\';
// The like pattern for "holds the text anywhere, as typed": its '%', '_' and escape characters
// taken literally.
QString containsPattern(const QString& text);

// Replaces the engine's like on this connection.
void installLike(sqlite3* db);
