#include "table/report.h"

#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <numeric>

namespace {

constexpr double BodyPoints = 9;
constexpr double TitlePoints = 13;
constexpr double CellPadPoints = 3;

// Lays the text out within the width, at the words where it can and anywhere in a word wider
// than that, each line break kept; paints it at the point when a painter is given. Its height.
double layText(QString text, const QFont& font, QPaintDevice& device, double width,
               QPainter* painter = nullptr, QPointF at = {}) {
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    QTextLayout layout(text, font, &device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    if (painter)
        layout.draw(painter, at);
    return height;
}

class Painter {
  public:
    Painter(QPagedPaintDevice& device, const Report& report)
        : m_device(device), m_report(report), m_painter(&device),
          m_unit(device.logicalDpiY() / 72.0) {
        m_body.setPointSizeF(BodyPoints);
        m_bold = m_body;
        m_bold.setBold(true);
        m_title = m_bold;
        m_title.setPointSizeF(TitlePoints);
        const QRectF page = device.pageLayout().paintRect(QPageLayout::Point);
        m_width = page.width() * m_unit;
        m_height = page.height() * m_unit;
        m_pad = CellPadPoints * m_unit;
        // Columns wider together than the page go on in bands of pages after the first, each
        // beginning with the first column again (the id), so that no column is narrowed.
        std::vector<Column> band;
        double left = 0;
        for (size_t c = 0; c < report.widths.size(); ++c) {
            const double width = std::min(report.widths[c] * m_unit, m_width);
            if (c > 1 && left + width > m_width) {
                m_bands.push_back(band);
                band = {band.front()};
                left = band.front().width;
            }
            band.push_back({int(c), left, width});
            left += width;
        }
        m_bands.push_back(band);
    }

    int bands() const { return int(m_bands.size()); }

    bool active() const { return m_painter.isActive(); }

    // The first row of each page of a band.
    std::vector<int> layOut(int band) {
        m_columns = m_bands[size_t(band)];
        std::vector<int> firsts{0};
        const double body = m_height - top() - footHeight();
        double used = 0;
        for (int r = 0; r < m_report.rows; ++r) {
            const double height = rowHeight(m_report.row(r), false);
            if (used > 0 && used + height > body) {
                firsts.push_back(r);
                used = 0;
            }
            used += height;
        }
        return firsts;
    }

    // Paints the pages of a band, numbered on from the pages before it.
    void paint(int band, const std::vector<int>& firsts, int pagesBefore, int pages) {
        m_columns = m_bands[size_t(band)];
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::LongFormat);
        for (size_t p = 0; p < firsts.size(); ++p) {
            if (p > 0 || pagesBefore > 0)
                m_device.newPage();
            m_painter.setFont(m_title);
            const double titleHeight = QFontMetricsF(m_title, &m_device).height();
            m_painter.drawText(QRectF(0, 0, m_width, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                               m_report.title);
            m_painter.setFont(m_body);
            m_painter.drawText(QRectF(0, 0, m_width, titleHeight),
                               Qt::AlignRight | Qt::AlignVCenter, date);
            double y = titleHeight + m_pad * 2;
            if (!m_report.headings.isEmpty()) {
                y += paintRow(m_report.headings, y, true);
                m_painter.drawLine(QPointF(0, y), QPointF(m_width, y));
            }
            const int end = p + 1 < firsts.size() ? firsts[p + 1] : m_report.rows;
            for (int r = firsts[p]; r < end; ++r)
                y += paintRow(m_report.row(r), y, false);
            m_painter.setFont(m_body);
            m_painter.drawText(
                QRectF(0, m_height - footHeight(), m_width, footHeight()),
                Qt::AlignHCenter | Qt::AlignBottom,
                QStringLiteral("Page %1 of %2").arg(pagesBefore + int(p) + 1).arg(pages));
        }
    }

  private:
    struct Column {
        int index; // in the report's columns
        double left;
        double width;
    };

    const QFont& fontOf(int column, bool heading) const {
        return heading || (column == 0 && m_report.firstColumnBold) ? m_bold : m_body;
    }

    double cellHeight(const QString& text, const Column& column, bool heading) const {
        return layText(text, fontOf(column.index, heading), m_device,
                       std::max(1.0, column.width - 2 * m_pad));
    }

    double rowHeight(const QStringList& values, bool heading) const {
        double height = QFontMetricsF(m_body, &m_device).height();
        for (const Column& column : m_columns)
            height = std::max(height, cellHeight(values.value(column.index), column, heading));
        return height + 2 * m_pad;
    }

    double paintRow(const QStringList& values, double y, bool heading) {
        const double height = rowHeight(values, heading);
        for (const Column& column : m_columns) {
            layText(values.value(column.index), fontOf(column.index, heading), m_device,
                    std::max(1.0, column.width - 2 * m_pad), &m_painter,
                    QPointF(column.left + m_pad, y + m_pad));
        }
        return height;
    }

    double top() const {
        double height = QFontMetricsF(m_title, &m_device).height() + m_pad * 2;
        if (!m_report.headings.isEmpty())
            height += rowHeight(m_report.headings, true);
        return height;
    }

    double footHeight() const { return QFontMetricsF(m_body, &m_device).height() * 2; }

    QPagedPaintDevice& m_device;
    const Report& m_report;
    QPainter m_painter;
    double m_unit;
    double m_width = 0;
    double m_height = 0;
    double m_pad = 0;
    QFont m_body;
    QFont m_bold;
    QFont m_title;
    std::vector<std::vector<Column>> m_bands;
    std::vector<Column> m_columns; // of the band laid out or painted
};

} // namespace

int printReport(QPagedPaintDevice& device, const Report& report) {
    const double wanted = std::accumulate(report.widths.begin(), report.widths.end(), 0.0);
    QPageLayout layout = device.pageLayout();
    layout.setOrientation(QPageLayout::Portrait);
    if (wanted > layout.paintRect(QPageLayout::Point).width())
        layout.setOrientation(QPageLayout::Landscape);
    device.setPageLayout(layout);
    Painter painter(device, report);
    if (!painter.active())
        return 0;
    std::vector<std::vector<int>> firsts;
    int pages = 0;
    for (int band = 0; band < painter.bands(); ++band) {
        firsts.push_back(painter.layOut(band));
        pages += int(firsts.back().size());
    }
    int before = 0;
    for (int band = 0; band < painter.bands(); ++band) {
        painter.paint(band, firsts[size_t(band)], before, pages);
        before += int(firsts[size_t(band)].size());
    }
    return pages;
}
