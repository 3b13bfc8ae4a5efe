#pragma once

#include "app/runtimeerror.h"

#include <QLocale>
#include <QString>
#include <vector>

class Connection;
struct FieldDefinition;

// The schema changes of the field windows. The column of CustomTable and the row of
// FieldControl change together or not at all, so the two tables always stay paired.

// Appends the field's column and its row. Refuses a name the store cannot hold as it is (see
// columnNameProblem); raises the engine's error and leaves both tables as they were when either
// statement fails.
void addFieldToTables(Connection& connection, const FieldDefinition& field);
// The same for several fields, inside a transaction the caller holds (an import adds many).
void addFieldsWithinTransaction(Connection& connection, const std::vector<FieldDefinition>& fields);
// Drops the field's column and its row, likewise all or nothing. Its definition and values are
// kept (fieldchange.h) in the same transaction; the key they are kept under.
qint64 deleteFieldFromTables(Connection& connection, const QString& name);
// Drops them inside a transaction the caller holds, keeping nothing.
void deleteFieldWithinTransaction(Connection& connection, const QString& name);
// Rewrites the field's type, size, values and checks. Raises an error when no row of that name
// is there, so nothing claims a change that was not stored. A change to Number, Currency or
// Date stores every value in the kind's canonical form (read in the locale's form, the
// canonical one, or for dates a common written form); when a value does not read as one, the
// error says how many and lists the first ten (record id and value), and nothing changes.
// Back to text the values stay as they are. A change of the kind or of the checks reads every
// value against the checks too (a value must be given; minimum, maximum, decimals): when any
// breaks them, the error says how many and lists the first ten, and nothing changes.
// The error of a kind or checks change that values refuse, for the editor to tell as a refusal.
class ValuesNotOfKind : public RuntimeError {
  public:
    using RuntimeError::RuntimeError;
};
void updateFieldDefinition(Connection& connection, const FieldDefinition& field,
                           const QLocale& locale = QLocale());
// The same inside a transaction the caller holds. Given keptKey, the values a conversion
// replaced are kept (fieldchange.h) and the key set, else it is set to 0.
void updateFieldWithinTransaction(Connection& connection, const FieldDefinition& field,
                                  const QLocale& locale = QLocale(), qint64* keptKey = nullptr);

// Why the store could not hold this caption as a column name, or the empty text when it can.
// The caption is already trimmed and known not to be empty.
QString columnNameProblem(const Connection& connection, const QString& name);
