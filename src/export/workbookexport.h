#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Connection;
class MessageService;
class QWidget;

// A worksheet has 1,048,576 rows; the first holds the headings.
constexpr qint64 MaxSheetRecords = 1048575;

// Whether that many records fit below the heading row.
bool sheetHolds(qint64 recordCount, qint64 limit = MaxSheetRecords);

// Whether the desktop has a program for files of this type (asked before handing one on).
bool desktopOpens(const QString& mimeType);

struct ExportOptions {
    // Where the workbook goes; empty: the user's documents folder.
    QString folder;
    // Opens the written workbook; false when nothing could. Empty: the desktop's default program.
    std::function<bool(const QString& file)> open;
    qint64 maxRecords = MaxSheetRecords;
    // Records read per statement; between them Cancel is seen.
    int batchRecords = 2000;
};

// "Export To Excel": writes the records of the page shown into a new workbook and opens it,
// the values of each field under its caption, which is its column's name. The caller has
// already refused the export while a record is being edited. Returns the workbook's path, or
// the empty text when nothing was written.
QString exportToWorkbook(MessageService& messages, Connection& connection,
                         const QStringList& captions, QWidget* parent,
                         const ExportOptions& options = ExportOptions());
