#pragma once

#include <QStringList>
#include <functional>
#include <vector>

class PdfDocument;
class QPagedPaintDevice;

// Pages of rows in columns, for a printer or a PDF file: the title and the date at the top of
// every page, then the headings (when there are any), the rows, and "Page n of m" at the foot.
// A value too long for its column is wrapped within it, at the words where it can be.
struct Report {
    QString title;
    // Repeated at the top of every page; none for a report without headings.
    QStringList headings;
    // Each column's width as wanted, in points. Columns wider together than the page go on in
    // bands of pages after the first, each band with the first column again.
    std::vector<double> widths;
    // The values and headings of these columns (by index) to the right of theirs, as numbers.
    std::vector<bool> rightAligned;
    // The first column's values stand out (the captions of a form).
    bool firstColumnBold = false;
    int rows = 0;
    // The values of a row, one per column: asked for once for a PDF file; for a printer once
    // while the pages are counted and once for each band of pages.
    std::function<QStringList(int)> row;
};

// Turns the page on its side when the columns are wider than it is upright, and paints the
// report on the device; the number of pages.
int printReport(QPagedPaintDevice& device, const Report& report);
// The same pages, written to the PDF file; 0 when it cannot be written (see
// PdfDocument::lackedFont()).
int writeReport(PdfDocument& pdf, const Report& report);
