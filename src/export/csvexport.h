#pragma once

#include <QString>
#include <atomic>

class Connection;

// Which fields a CSV export writes.
struct CsvFields {
    int page = -1; // -1: every field; otherwise the 0-based page of 26 fields
};

// Writes the records of the data file to a CSV file (RFC 4180, UTF-8, CR LF between rows):
// a header row of the field names, then one row per record in id order. A value is always
// quoted; a missing value is left empty and unquoted, so that the import tells it from the
// empty text. A check box is written as Yes or No. The file is written under a temporary name and
// takes its name only when complete. Raises a run-time error when it cannot be written; returns the
// records written.
long exportCsv(Connection& connection, const QString& path, CsvFields fields = {},
               const std::atomic<bool>* cancelled = nullptr);
