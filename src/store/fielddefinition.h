#pragma once

#include "store/fieldchecks.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class Connection;

// Field i (counted from 1) of page p (counted from 0) is column p × 26 + i of CustomTable.
constexpr int FieldsPerPage = 26;

// One field as FieldControl describes it. A Null column reads as the empty text.
struct FieldDefinition {
    FieldDefinition() = default;
    FieldDefinition(QString name_, QString type_, QString length_, QString values_,
                    FieldChecks checks_ = {})
        : name(std::move(name_)), type(std::move(type_)), length(std::move(length_)),
          values(std::move(values_)), checks(std::move(checks_)) {}
    QString name;       // the caption, and the name of the field's column in CustomTable
    QString type;       // the type word as stored
    QString length;     // the width factor as stored
    QString values;     // the encoded value list
    FieldChecks checks; // kept apart from FieldControl
};

// The rows of FieldControl in the order the fields were made, each with its checks. A field's
// values are in the column of CustomTable that has its name.
std::vector<FieldDefinition> readFieldDefinitions(Connection& connection);
// The kind of every field, by its name in lower case.
QHash<QString, FieldKind> readFieldKinds(Connection& connection);

// The names of CustomTable's columns in table order; empty while the table does not exist.
QStringList readRecordColumns(Connection& connection);
// The columns of the fields in the order of the field list, as the record window's pages show
// them (a field brought back by undo is the table's last column, not the list's), then any
// column without a field row; the id left out.
QStringList readFieldColumns(Connection& connection);
