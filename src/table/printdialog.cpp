#include "table/printdialog.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

bool runModal(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

void printWithDialog(QWidget* parent, const QString& document, const PrintDialogRunner& run,
                     const PrintPainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(document);
    QPrintDialog dialog(&printer, parent);
    if (run(dialog))
        paint(&printer);
}

void previewWithDialog(QWidget* parent, const QString& document, const PrintDialogRunner& run,
                       const PrintPainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(document);
    QPrintPreviewDialog preview(&printer, parent);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, paint);
    run(preview);
}
