#pragma once

#include "store/fielddefinition.h"

#include <QLocale>
#include <QString>
#include <utility>
#include <vector>

class Connection;

// Where a field deleted (or the values a kind change replaced) are kept, in the same store and
// in the deleting transaction: an entry of KeptFields (the field's name, when, and its
// definition, checks and place as a JSON object) with the values by record id in
// KeptFieldValues (Null values are not kept, so Null and "" stay apart).
namespace KeptFields {
// Keeps the field and every value, then drops its column, row and checks, inside the caller's
// transaction; the entry's key (negative when the store does not let this connection make the
// tables that keep it: the field is dropped all the same, and cannot be brought back). Refused
// (ErrorNumber::RowChanged) when there is no such field or, given one, when its definition is no
// longer this one.
qint64 dropWithin(Connection& connection, const QString& name,
                  const FieldDefinition* expected = nullptr);
// Brings the field of the entry back with its column, row at its place, checks and values, and
// removes the entry; its definition. Refused when the entry is gone or a field or column of
// that name is there.
FieldDefinition bringBackWithin(Connection& connection, qint64 key);
// A value a change replaced, and the value it left there.
struct ReplacedValue {
    qint64 id = 0;
    QString before, after;
};
// Keeps values a change of the field replaced, inside the caller's transaction; the entry's key.
qint64 keepReplacedWithin(Connection& connection, const QString& name,
                          const std::vector<ReplacedValue>& values);
// Puts them back and removes the entry; refused when a record there holds another value now.
void putBackWithin(Connection& connection, qint64 key, const QString& name);
} // namespace KeptFields

// One change the user made to the fields, or an import: made by the field windows through the
// functions here, handed back to the record window, which orders it with the record changes.
// Each undo and redo is one transaction that first checks the store is as the change left it;
// when not (the field changed or deleted by another program, a field of its name added), it
// raises a run-time error (ErrorNumber::RowChanged) that says so, and nothing is changed.
class FieldChange {
  public:
    // Adds the field (fieldrules.h) and returns the change.
    static FieldChange add(Connection& connection, const FieldDefinition& field);
    // Rewrites the field's definition, converting its values where its kind asks for it; the
    // values before a conversion are kept for the undo.
    static FieldChange update(Connection& connection, const FieldDefinition& field,
                              const QLocale& locale = QLocale());
    // Deletes the field, keeping its values.
    static FieldChange remove(Connection& connection, const QString& name);
    // An import that appended these records (runs of ids, first and last) and added these fields.
    static FieldChange imported(std::vector<std::pair<qint64, qint64>> idRuns,
                                QStringList fieldsAdded);

    // What it is called where it is offered: "Delete Field City", "Import 120 Records".
    QString text() const;
    void undo(Connection& connection);
    void redo(Connection& connection);
    // Lets go of the fields and values it keeps for its next step, once it will not be stepped
    // again (the list it is on is closed, or a new change takes its place): they would
    // otherwise stay in the store for good. Records an undone import moved into the bin stay.
    void forget(Connection& connection);

  private:
    enum class Kind { Add, Update, Delete, Import };
    FieldChange(Kind kind, FieldDefinition field) : m_kind(kind), m_field(std::move(field)) {}
    void unmakeImport(Connection& connection);
    void remakeImport(Connection& connection);

    Kind m_kind;
    FieldDefinition m_field;  // as the change left it (Update: after)
    FieldDefinition m_before; // Update: before
    qint64 m_keptKey = 0;     // the entry while the field is gone, or of the values converted
    QLocale m_locale;
    std::vector<std::pair<qint64, qint64>> m_idRuns; // Import
    QStringList m_fieldsAdded;
    std::vector<qint64> m_fieldKeys, m_binKeys; // Import, while it is undone
};
