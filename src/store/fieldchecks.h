#pragma once

#include "store/fieldvalue.h"

#include <QString>
#include <map>

class Connection;

// What a field's values must keep to, beyond being of the field's kind. Kept in the table
// FieldChecks, one row per field with a check, made with the first check set; a store without
// it has no checks, and FieldControl keeps its four columns and their meaning.
struct FieldChecks {
    bool required = false; // a value must be given
    // For Number and Currency: canonical bounds (empty for none) and the most decimals (-1 for
    // no limit).
    QString minimum;
    QString maximum;
    int decimals = -1;
    bool any() const {
        return required || !minimum.isEmpty() || !maximum.isEmpty() || decimals >= 0;
    }
    bool operator==(const FieldChecks&) const = default;
};

// Why a value (canonical, or the text of a field without a canonical form) breaks the checks,
// as the end of a sentence that names the field ("must be given", "is below the minimum 5");
// the empty text when it keeps them.
QString checkProblem(FieldKind kind, const FieldChecks& checks, const QString& value,
                     const QLocale& locale);

// Why a value as stored (the empty text for Null) breaks the field's kind or its checks, as
// checkProblem words it; the empty text when it keeps them. A value of a kind with a canonical
// form that is not canonical (stored before the field had its kind) is read as the input reads
// a typed one.
QString storedValueProblem(FieldKind kind, const FieldChecks& checks, const QString& stored,
                           const QLocale& locale);

// The checks as read after the field's kind ("required, 0 to 100, 2 decimals"), bounds in the
// locale's form; the empty text for none.
QString describeChecks(FieldKind kind, const FieldChecks& checks, const QLocale& locale);

// The checks of every field that has any, by field name.
std::map<QString, FieldChecks> readFieldChecks(Connection& connection);
// Replaces the field's checks, inside the caller's transaction; the table is made when the
// first check is set.
void writeFieldChecks(Connection& connection, const QString& name, const FieldChecks& checks);
// Drops the field's checks, inside the caller's transaction.
void deleteFieldChecks(Connection& connection, const QString& name);
