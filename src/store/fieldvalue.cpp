#include "store/fieldvalue.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <optional>

namespace {

// Doubles hold every number of this many digits exactly, so a workbook or a sort reads it whole.
constexpr int MostDigits = 15;
// And so many decimals, which keeps the smallest number far from what a double cannot hold.
constexpr int MostDecimals = 20;

const QString NotANumber = QStringLiteral("is not a number");
const QString NotADate = QStringLiteral("is not a date");

bool isDirectionMark(QChar c) {
    const char16_t u = c.unicode();
    return u == 0x200E || u == 0x200F || u == 0x061C || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

QString withoutMarks(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isDirectionMark(c))
            out += c;
    return out.trimmed();
}

struct Decimal {
    bool negative = false;
    QString whole; // ASCII digits
    QString fraction;
};

bool isGroupLike(QChar c, const QString& group) {
    if (group.contains(c))
        return true;
    // A locale grouping with a space of some kind takes any of them, as typed or pasted.
    const bool spaceGroup = !group.isEmpty() && group.front().isSpace();
    return spaceGroup && c.isSpace();
}

// Digits of any script with an optional sign, point and grouping; groups after the first hold
// three digits.
std::optional<Decimal> readDecimal(const QString& text, const QString& point, const QString& group,
                                   const QLocale& locale) {
    Decimal d;
    qsizetype i = 0;
    if (text.startsWith(locale.negativeSign()) && !locale.negativeSign().isEmpty()) {
        d.negative = true;
        i = locale.negativeSign().size();
    } else if (!text.isEmpty() && (text[0] == u'-' || text[0] == QChar(0x2212))) {
        d.negative = true;
        i = 1;
    } else if (!text.isEmpty() && text[0] == u'+') {
        i = 1;
    }
    bool inFraction = false;
    int groupDigits = -1; // digits since the last group separator; -1 before any
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit()) {
            (inFraction ? d.fraction : d.whole) += QChar(u'0' + c.digitValue());
            if (groupDigits >= 0)
                ++groupDigits;
        } else if (!inFraction && text.mid(i, point.size()) == point) {
            if (groupDigits >= 0 && groupDigits != 3)
                return std::nullopt;
            inFraction = true;
            i += point.size() - 1;
        } else if (!inFraction && !group.isEmpty() && isGroupLike(c, group)) {
            if (d.whole.isEmpty() || (groupDigits >= 0 && groupDigits != 3))
                return std::nullopt;
            groupDigits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (groupDigits >= 0 && !inFraction && groupDigits != 3)
        return std::nullopt;
    if (d.whole.isEmpty() && d.fraction.isEmpty())
        return std::nullopt;
    return d;
}

ParsedValue canonicalNumber(Decimal d, bool money) {
    while (d.whole.size() > 1 && d.whole.front() == u'0')
        d.whole.remove(0, 1);
    if (d.whole.isEmpty())
        d.whole = QStringLiteral("0");
    while (!d.fraction.isEmpty() && d.fraction.back() == u'0')
        d.fraction.chop(1);
    // Zeros after the point and before the first other digit do not count.
    const QString all = (d.whole == QLatin1String("0") ? QString() : d.whole) + d.fraction;
    qsizetype first = 0;
    while (first < all.size() && all[first] == u'0')
        ++first;
    if (all.size() - first > MostDigits)
        return {QString(), QStringLiteral("has more than %1 digits").arg(MostDigits)};
    if (d.fraction.size() > MostDecimals)
        return {QString(), QStringLiteral("has more than %1 decimals").arg(MostDecimals)};
    if (money && d.fraction.size() > 2)
        return {QString(), QStringLiteral("has more than two decimals")};
    if (money)
        d.fraction = d.fraction.leftJustified(2, u'0');
    const bool zero = d.whole == QLatin1String("0") && d.fraction.count(u'0') == d.fraction.size();
    QString out = (d.negative && !zero) ? QStringLiteral("-") : QString();
    out += d.whole;
    if (!d.fraction.isEmpty())
        out += u'.' + d.fraction;
    return {out, QString()};
}

ParsedValue parseNumber(const QString& text, const QLocale& locale, bool money) {
    std::optional<Decimal> d =
        readDecimal(text, locale.decimalPoint(), locale.groupSeparator(), locale);
    if (!d)
        d = readDecimal(text, QStringLiteral("."), QString(), locale);
    if (!d)
        return {QString(), NotANumber};
    return canonicalNumber(*d, money);
}

QString dateText(const QDate& date) {
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

ParsedValue dateValue(const QDate& date, std::optional<QTime> time) {
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return {QString(), QStringLiteral("is not a date between the years 1 and 9999")};
    QString out = dateText(date);
    if (time)
        out += u'T' + time->toString(QStringLiteral("HH:mm:ss"));
    return {out, QString()};
}

// The locale's short date with the year in four digits, as shown and as typed.
QString fullYearFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

const QStringList& timeFormats() {
    static const QStringList formats = {QStringLiteral("HH:mm:ss"),   QStringLiteral("HH:mm"),
                                        QStringLiteral("H:mm:ss"),    QStringLiteral("H:mm"),
                                        QStringLiteral("h:mm:ss AP"), QStringLiteral("h:mm AP")};
    return formats;
}

// A date, or a date and a time after a blank, in one of the formats.
std::optional<ParsedValue> dateInFormats(const QString& text, const QStringList& dateFormats,
                                         const QLocale& locale) {
    for (const QString& format : dateFormats) {
        // The marks were taken out of the text; a locale's format may hold them (Arabic).
        const QString df = withoutMarks(format);
        QDate date = locale.toDate(text, df);
        if (date.isValid()) {
            // Two digits of a year stand for the hundred years up to twenty years ahead.
            if (df.contains(QLatin1String("yy")) && !df.contains(QLatin1String("yyyy")) &&
                date.year() + 100 <= QDate::currentDate().year() + 20)
                date = date.addYears(100);
            return dateValue(date, std::nullopt);
        }
        for (const QString& tf : timeFormats()) {
            const QDateTime at = locale.toDateTime(text, df + u' ' + tf);
            if (at.isValid())
                return dateValue(at.date(), at.time());
        }
    }
    return std::nullopt;
}

ParsedValue parseDate(const QString& text, const QLocale& locale) {
    static const QRegularExpression canonical(QStringLiteral(
        "^([0-9]{4})-([0-9]{2})-([0-9]{2})(?:[T ]([0-9]{2}):([0-9]{2})(?::([0-9]{2}))?)?$"));
    if (const auto m = canonical.match(text); m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (m.captured(4).isEmpty())
            return dateValue(date, std::nullopt);
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (!time.isValid())
            return {QString(), QStringLiteral("is not a time of day")};
        return dateValue(date, time);
    }
    QStringList localeFormats = {fullYearFormat(locale), locale.dateFormat(QLocale::ShortFormat),
                                 locale.dateFormat(QLocale::LongFormat)};
    if (auto parsed = dateInFormats(text, localeFormats, locale))
        return *parsed;
    static const QStringList written = {
        QStringLiteral("d MMMM yyyy"), QStringLiteral("MMMM d, yyyy"), QStringLiteral("d MMM yyyy"),
        QStringLiteral("MMM d, yyyy"), QStringLiteral("yyyy/M/d"),     QStringLiteral("d.M.yyyy")};
    if (auto parsed = dateInFormats(text, written, QLocale::c()))
        return *parsed;
    return {QString(), NotADate};
}

} // namespace

FieldKind fieldKindOf(const QString& typeWord) {
    static const FieldKind kinds[] = {
        FieldKind::Textfield, FieldKind::Multiline, FieldKind::Dropdown, FieldKind::Checkbox,
        FieldKind::Number,    FieldKind::Currency,  FieldKind::Date};
    for (FieldKind kind : kinds)
        if (typeWord.compare(typeWordOf(kind), Qt::CaseInsensitive) == 0)
            return kind;
    return FieldKind::Unknown;
}

QString typeWordOf(FieldKind kind) {
    switch (kind) {
    case FieldKind::Textfield:
        return QStringLiteral("Textfield");
    case FieldKind::Multiline:
        return QStringLiteral("Multiline Textfield");
    case FieldKind::Dropdown:
        return QStringLiteral("Dropdown");
    case FieldKind::Checkbox:
        return QStringLiteral("Checkbox");
    case FieldKind::Number:
        return QStringLiteral("Number");
    case FieldKind::Currency:
        return QStringLiteral("Currency");
    case FieldKind::Date:
        return QStringLiteral("Date");
    case FieldKind::Unknown:
        break;
    }
    return QString();
}

bool hasCanonicalForm(FieldKind kind) {
    return kind == FieldKind::Number || kind == FieldKind::Currency || kind == FieldKind::Date;
}

ParsedValue parseFieldValue(FieldKind kind, const QString& text, const QLocale& locale) {
    const QString value = withoutMarks(text);
    if (value.isEmpty() || !hasCanonicalForm(kind))
        return {value.isEmpty() ? QString(QLatin1String("")) : text, QString()};
    if (kind == FieldKind::Date)
        return parseDate(value, locale);
    return parseNumber(value, locale, kind == FieldKind::Currency);
}

ParsedValue readStoredValue(FieldKind kind, FieldKind storedKind, const QString& value,
                            const QLocale& locale) {
    if (hasCanonicalForm(storedKind)) {
        const ParsedValue stored = parseFieldValue(storedKind, value, QLocale::c());
        if (stored.ok() && stored.canonical == value)
            return parseFieldValue(kind, value, QLocale::c());
    }
    return parseFieldValue(kind, value, locale);
}

QString displayFieldValue(FieldKind kind, const QString& canonical, const QLocale& locale) {
    if (!hasCanonicalForm(kind) || canonical.isEmpty())
        return canonical;
    // Only a text that reads back as itself is canonical; anything else is shown as stored.
    const ParsedValue parsed = parseFieldValue(kind, canonical, QLocale::c());
    if (!parsed.ok() || parsed.canonical != canonical)
        return canonical;
    if (kind == FieldKind::Date) {
        const QDate date = QDate::fromString(canonical.left(10), Qt::ISODate);
        QString shown = locale.toString(date, fullYearFormat(locale));
        if (canonical.size() > 10)
            shown += u' ' + canonical.mid(11);
        return shown;
    }
    QString shown;
    for (QChar c : canonical) {
        if (c == u'-')
            shown += locale.negativeSign();
        else if (c == u'.')
            shown += locale.decimalPoint();
        else
            shown += locale.toString(c.digitValue());
    }
    return shown;
}

int decimalsOf(const QString& canonical) {
    const qsizetype point = canonical.indexOf(u'.');
    return point < 0 ? 0 : int(canonical.size() - point - 1);
}
