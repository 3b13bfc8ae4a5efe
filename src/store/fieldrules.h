#pragma once

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
// Drops the field's column and its row, likewise all or nothing.
void deleteFieldFromTables(Connection& connection, const QString& name);
// Rewrites the field's type, size, values and checks; the column is not touched. Raises an error
// when no row of that name is there, so nothing claims a change that was not stored.
void updateFieldDefinition(Connection& connection, const FieldDefinition& field);
// The same inside a transaction the caller holds.
void updateFieldWithinTransaction(Connection& connection, const FieldDefinition& field);

// Why the store could not hold this caption as a column name, or the empty text when it can.
// The caption is already trimmed and known not to be empty.
QString columnNameProblem(const Connection& connection, const QString& name);
