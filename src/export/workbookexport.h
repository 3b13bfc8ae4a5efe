#pragma once

#include <QStringList>

class Connection;
class MessageService;
class QWidget;

// "Export To Excel": writes the records of the page shown into a new workbook and opens it.
// The caller has already refused the export while a record is being edited.
void exportToWorkbook(MessageService& messages, Connection& connection, const QStringList& captions,
                      int page, QWidget* parent);
