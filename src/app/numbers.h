#pragma once

#include <QString>

// The number a text begins with: leading blanks skipped, a sign, digits, a decimal point and an
// exponent allowed; a text that does not begin with a number reads as 0. Never infinite.
double leadingNumber(const QString& text);

// Whether the whole text (blanks around it allowed) is a number.
bool isNumeric(const QString& text);
