#include "app/numbers.h"

#include <QRegularExpression>
#include <cmath>

double leadingNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[ \\t\\r\\n]*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const auto match = number.match(text);
    if (!match.hasMatch())
        return 0.0;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (value == 0.0)
        return 0.0; // "-0" reads as 0, not as a negative zero that would be written out as "-0"
    if (std::isfinite(value))
        return value;
    // Out of range: the text's sign decides which end it stands at.
    return match.captured(1).startsWith(QLatin1Char('-')) ? -1.0e308 : 1.0e308;
}

bool isNumeric(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eEdD][+-]?\\d+)?\\s*$"));
    return number.match(text).hasMatch();
}
