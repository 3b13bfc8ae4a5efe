#pragma once

#include <QLocale>
#include <QString>

// The kind of field a stored type word names, capitals ignored. A word of no kind gives a field
// without an input, so a newer word in a file leaves an older copy of the program safe.
enum class FieldKind { Textfield, Multiline, Dropdown, Checkbox, Number, Currency, Date, Unknown };
FieldKind fieldKindOf(const QString& typeWord);
// The word the field editor shows and stores for the kind.
QString typeWordOf(FieldKind kind);
// Number, Currency and Date keep their values as canonical text: numbers with "." and no
// grouping ("1234.5", "-0.25"), money with two decimals ("1234.50"), dates as "YYYY-MM-DD",
// with "THH:MM:SS" when a time was given.
bool hasCanonicalForm(FieldKind kind);

// A text read as a value of a kind with a canonical form.
struct ParsedValue {
    QString canonical; // the empty text for an empty input
    QString problem;   // why the text is no value of the kind, as the end of a sentence
    bool ok() const { return problem.isEmpty(); }
};

// Reads the locale's form first, then the canonical one, and for dates the common written forms
// ("8 December 1948", "December 8, 1948", "1948/12/08"). Blanks and direction marks around the
// value are ignored; nothing else is guessed: exponents, NaN, more than 15 digits, a time zone,
// a day the calendar does not have and years outside 1 to 9999 are refused.
ParsedValue parseFieldValue(FieldKind kind, const QString& text, const QLocale& locale);
// A stored value read as a value of the kind: one in the canonical form of the kind it was
// stored under is read as canonical text ("1.234" is no thousand in German); another (from
// before the field had a kind with a canonical form) as the user's input is read.
ParsedValue readStoredValue(FieldKind kind, FieldKind storedKind, const QString& value,
                            const QLocale& locale);
// The canonical text as the user reads it in the locale (no grouping, so it reads back the
// same); a text that is not canonical is shown as it is.
QString displayFieldValue(FieldKind kind, const QString& canonical, const QLocale& locale);
// How many decimals a canonical number has.
int decimalsOf(const QString& canonical);
