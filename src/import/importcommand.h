#pragma once

#include <QString>
#include <atomic>
#include <functional>

#include "import/importer.h"

class Connection;
class MessageService;

// Runs work that may take long and can be cancelled; false when it was. The windows pass one
// that shows progress with Cancel (runLongWork), the command line one that just runs it.
using LongWorkRunner = std::function<bool(const QString& label, const std::function<void()>& work,
                                          const std::function<void()>& cancel)>;

// Reads the table being imported ahead on its own reading of the file, on any thread: how many
// records and what kind of field each column makes (surveyTable). Raises a run-time error where
// the table is bad input.
using TableSurveyor = std::function<TableSurvey(const std::atomic<bool>& stop)>;

// Shows where each column of the table named label goes, and the kind of each new field, and
// lets the user change them, before anything is written; false when nothing is to be imported.
// The windows pass one that shows a dialog; without one, the plan is taken as it is (columns
// matched by name, new fields of the kinds their values make).
using ImportChooser =
    std::function<bool(ImportPlan& plan, const QString& label, const TableSurveyor& survey)>;

// "Import...": brings the file at path into the connection's data file: a CSV file, or one
// table of an Access database (the one named, the only one, or the one the user types). Tells
// the user the outcome: where each column went, and the values that do not fit their field.
// Returns the records imported, or -1 when nothing was imported (the data file is then as it
// was). A CSV file is read in the encoding named, or in the one found from the file. Given
// done, it gets what the import did.
long importFile(MessageService& messages, Connection& connection, const QString& path,
                const QString& tableName, const LongWorkRunner& run,
                const ImportChooser& choose = {}, const QString& encoding = QString(),
                ImportResult* done = nullptr);

// The same for a table already opened.
long importSource(MessageService& messages, Connection& connection, TableSource& source,
                  const LongWorkRunner& run, const ImportChooser& choose = {},
                  const TableSurveyor& survey = {}, ImportResult* done = nullptr);

class QWidget;
// The runner of the windows: progress with Cancel over parent after about a second.
LongWorkRunner windowRunner(QWidget* parent);
