#pragma once

#include <QString>
#include <functional>

class Connection;
class MessageService;
class TableSource;

// Runs work that may take long and can be cancelled; false when it was. The windows pass one
// that shows progress with Cancel (runLongWork), the command line one that just runs it.
using LongWorkRunner = std::function<bool(const QString& label, const std::function<void()>& work,
                                          const std::function<void()>& cancel)>;

// "Import...": brings the file at path into the connection's data file: a CSV file, or one
// table of an Access database (the one named, the only one, or the one the user types). Asks
// whether clashing names are renamed; tells the user the outcome. Returns the records
// imported, or -1 when nothing was imported (the data file is then as it was). A CSV file is
// read in the encoding named, or in the one found from the file.
long importFile(MessageService& messages, Connection& connection, const QString& path,
                const QString& tableName, const LongWorkRunner& run,
                const QString& encoding = QString());

// The same for a table already opened.
long importSource(MessageService& messages, Connection& connection, TableSource& source,
                  const LongWorkRunner& run);

class QWidget;
// The runner of the windows: progress with Cancel over parent after about a second.
LongWorkRunner windowRunner(QWidget* parent);
