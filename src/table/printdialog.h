#pragma once

#include <QString>
#include <functional>

class QDialog;
class QPrinter;
class QWidget;

// Shows a print dialog or a print preview, modal; whether the user accepted it. The table view
// and the record window each show theirs through one of these, which tests answer in the user's
// place.
using PrintDialogRunner = std::function<bool(QDialog& dialog)>;
bool runModal(QDialog& dialog);

// Paints a document's pages on a printer.
using PrintPainter = std::function<void(QPrinter* printer)>;
// Print...: the print dialog for a document of this name; the pages are painted on the printer
// chosen when the user accepts it.
void printWithDialog(QWidget* parent, const QString& document, const PrintDialogRunner& run,
                     const PrintPainter& paint);
// Print Preview...: the preview, which has the pages painted as it asks for them.
void previewWithDialog(QWidget* parent, const QString& document, const PrintDialogRunner& run,
                       const PrintPainter& paint);
