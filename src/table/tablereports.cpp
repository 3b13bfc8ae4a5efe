#include "table/tablereports.h"

#include "app/runtimeerror.h"
#include "export/pdfdocument.h"
#include "table/tablerecords.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QPdfWriter>
#include <algorithm>

namespace {
// A field's column is as wide as its input in the record window, within bounds (points).
constexpr double PointsPerLengthUnit = 20;
constexpr double NarrowestColumn = 36;
constexpr double WidestColumn = 288;
constexpr double IdColumn = 48;
// A form's captions, and the room its values have.
constexpr double CaptionColumn = 140;
constexpr double ValueColumn = 360;
} // namespace

double idColumnPoints() {
    return IdColumn;
}

double fieldColumnPoints(double lengthFactor) {
    return std::clamp(PointsPerLengthUnit * lengthFactor, NarrowestColumn, WidestColumn);
}

Report listReport(const TableRecords& records) {
    Report report;
    report.title = QStringLiteral("Records");
    report.headings << QStringLiteral("ID");
    report.widths.push_back(idColumnPoints());
    report.rightAligned.push_back(false);
    for (const TableRecords::Column& field : records.fields()) {
        report.headings << field.name;
        report.widths.push_back(fieldColumnPoints(field.lengthFactor));
        report.rightAligned.push_back(field.kind == FieldKind::Number ||
                                      field.kind == FieldKind::Currency);
    }
    report.rows = records.rowCount();
    report.row = [&records](int row) { return records.rowValues(row); };
    return report;
}

Report recordForm(qint64 id, const QStringList& captions, const QStringList& stored,
                  const QHash<QString, FieldKind>& kinds) {
    const QLocale locale;
    QStringList values;
    for (int i = 0; i < captions.size(); ++i)
        values << displayFieldValue(kinds.value(captions[i].toLower(), FieldKind::Textfield),
                                    stored.value(i), locale);
    Report report;
    report.title = QStringLiteral("Record %1").arg(id);
    report.widths = {CaptionColumn, ValueColumn};
    report.firstColumnBold = true;
    report.rows = int(captions.size());
    report.row = [captions, values](int row) {
        return QStringList{captions.value(row), values.value(row)};
    };
    return report;
}

void writePdf(const QString& file, const Report& report) {
    const QPageSize paper(QLocale().measurementSystem() == QLocale::ImperialUSSystem
                              ? QPageSize::Letter
                              : QPageSize::A4);
    PdfDocument pdf(file);
    pdf.setTitle(report.title);
    pdf.setCreator(QCoreApplication::applicationName());
    QPageLayout layout = pdf.pageLayout();
    layout.setPageSize(paper);
    pdf.setPageLayout(layout);
    if (writeReport(pdf, report) > 0)
        return;
    // Qt's own writer embeds any font, at a tenth of the speed.
    if (pdf.lackedFont()) {
        QPdfWriter writer(file);
        writer.setTitle(report.title);
        writer.setCreator(QCoreApplication::applicationName());
        writer.setPageSize(paper);
        if (printReport(writer, report) > 0) {
            QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            return;
        }
    }
    throw RuntimeError(ErrorNumber::General,
                       QStringLiteral("The file '%1' cannot be written.").arg(file));
}
