#pragma once

#include "store/fieldvalue.h"
#include "table/report.h"

#include <QHash>

class TableRecords;

// Widths in points of the table's columns, as the table view shows them: the id's, then a
// field's by its size, within bounds.
double idColumnPoints();
double fieldColumnPoints(double lengthFactor);

// The rows of the table as shown (filters and order applied), each value in its field's column.
Report listReport(const TableRecords& records);
// One record as a form: a row per field, its caption and its value as stored, shown in the
// user's locale by the field's kind (kinds by the captions in lower case).
Report recordForm(qint64 id, const QStringList& captions, const QStringList& values,
                  const QHash<QString, FieldKind>& kinds);
// Writes the report as a PDF file; raises a run-time error naming the file when it cannot.
void writePdf(const QString& file, const Report& report);
