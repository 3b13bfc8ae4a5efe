#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class Connection;

// Field i (counted from 1) of page p (counted from 0) is column p × 26 + i of CustomTable.
constexpr int FieldsPerPage = 26;

// One field as FieldControl describes it. A Null column reads as the empty text.
struct FieldDefinition {
    QString name;   // the caption, and the name of the field's column in CustomTable
    QString type;   // the type word as stored
    QString length; // the width factor as stored
    QString values; // the encoded value list
};

// The rows of FieldControl in the order the fields were made. A field's values are in the
// column of CustomTable that has its name.
std::vector<FieldDefinition> readFieldDefinitions(Connection& connection);

// The names of CustomTable's columns in table order; empty while the table does not exist.
QStringList readRecordColumns(Connection& connection);
