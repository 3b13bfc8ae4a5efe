#pragma once

#include "table/report.h"

class TableRecords;

// Widths in points of the table's columns, as the table view shows them: the id's, then a
// field's by its size, within bounds.
double idColumnPoints();
double fieldColumnPoints(double lengthFactor);

// The rows of the table as shown (filters and order applied), each value in its field's column.
Report listReport(const TableRecords& records);
// One record as a form: a row per field, its caption and its value.
Report recordForm(qint64 id, const QStringList& captions, const QStringList& values);
// Writes the report as a PDF file; raises a run-time error naming the file when it cannot.
void writePdf(const QString& file, const Report& report);
