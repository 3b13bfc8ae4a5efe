#include "table/report.h"

#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <array>
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

// Whether a text fits on one line of a width, told from its characters' advances (kept) where
// every character stands by itself (Latin, Greek, Cyrillic and the like: no shaping joins,
// reorders or combines them), without shaping the text as a whole, which takes far longer. The
// sum leaves kerning out: a text nearly as wide as the room, or of any other script, is shaped.
class LineWidths {
  public:
    explicit LineWidths(const QFontMetricsF& metrics) : m_metrics(metrics) { m_advances.fill(-1); }

    bool fits(const QString& text, double room) {
        double sum = 0;
        for (QChar c : text) {
            const char16_t u = c.unicode();
            if (u < 0x20 || (u >= 0x300 && u < 0x370) || u >= m_advances.size())
                return m_metrics.horizontalAdvance(text) <= room;
            float& advance = m_advances[u];
            if (advance < 0)
                advance = float(m_metrics.horizontalAdvance(c));
            sum += advance;
        }
        return sum * (1 + KerningAllowance) <= room || m_metrics.horizontalAdvance(text) <= room;
    }

  private:
    static constexpr double KerningAllowance = 0.02;
    QFontMetricsF m_metrics;
    std::array<float, 0x590> m_advances; // up to the scripts written right to left
};

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
        m_bodyMetrics = QFontMetricsF(m_body, &device);
        m_boldMetrics = QFontMetricsF(m_bold, &device);
        m_bodyWidths = LineWidths(m_bodyMetrics);
        m_boldWidths = LineWidths(m_boldMetrics);
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

    // Measures every row in every band, each row read once; the first row of each page of
    // each band.
    std::vector<std::vector<int>> layOut() {
        const double body = m_height - top() - footHeight();
        std::vector<std::vector<int>> firsts(m_bands.size(), std::vector<int>{0});
        std::vector<double> used(m_bands.size(), 0);
        m_heights.assign(m_bands.size(), std::vector<float>(size_t(m_report.rows), 0));
        for (int r = 0; r < m_report.rows; ++r) {
            const QStringList values = m_report.row(r);
            for (size_t b = 0; b < m_bands.size(); ++b) {
                m_columns = m_bands[b];
                const double height = rowHeight(values, false);
                m_heights[b][size_t(r)] = float(height);
                if (used[b] > 0 && used[b] + height > body) {
                    firsts[b].push_back(r);
                    used[b] = 0;
                }
                used[b] += height;
            }
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
                y += paintRow(m_report.headings, y, true, rowHeight(m_report.headings, true));
                m_painter.drawLine(QPointF(0, y), QPointF(m_width, y));
            }
            const int end = p + 1 < firsts.size() ? firsts[p + 1] : m_report.rows;
            for (int r = firsts[p]; r < end; ++r)
                y += paintRow(m_report.row(r), y, false, m_heights[size_t(band)][size_t(r)]);
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

    const QFontMetricsF& metricsOf(int column, bool heading) const {
        return heading || (column == 0 && m_report.firstColumnBold) ? m_boldMetrics : m_bodyMetrics;
    }

    // Most values fit on one line of their column: they need no layout of their own.
    bool oneLine(const QString& text, const Column& column, bool heading) const {
        for (QChar c : text)
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                return false;
        LineWidths& widths = heading || (column.index == 0 && m_report.firstColumnBold)
                                 ? m_boldWidths
                                 : m_bodyWidths;
        return widths.fits(text, column.width - 2 * m_pad);
    }

    double cellHeight(const QString& text, const Column& column, bool heading) const {
        if (oneLine(text, column, heading))
            return metricsOf(column.index, heading).height();
        return layText(text, fontOf(column.index, heading), m_device,
                       std::max(1.0, column.width - 2 * m_pad));
    }

    double rowHeight(const QStringList& values, bool heading) const {
        double height = m_bodyMetrics.height();
        for (const Column& column : m_columns)
            height = std::max(height, cellHeight(values.value(column.index), column, heading));
        return height + 2 * m_pad;
    }

    double paintRow(const QStringList& values, double y, bool heading, double height) {
        for (const Column& column : m_columns) {
            const QString text = values.value(column.index);
            const QPointF at(column.left + m_pad, y + m_pad);
            if (oneLine(text, column, heading)) {
                m_painter.setFont(fontOf(column.index, heading));
                m_painter.drawText(at + QPointF(0, metricsOf(column.index, heading).ascent()),
                                   text);
            } else {
                layText(text, fontOf(column.index, heading), m_device,
                        std::max(1.0, column.width - 2 * m_pad), &m_painter, at);
            }
        }
        return height;
    }

    double top() const {
        double height = QFontMetricsF(m_title, &m_device).height() + m_pad * 2;
        if (!m_report.headings.isEmpty())
            height += rowHeight(m_report.headings, true);
        return height;
    }

    double footHeight() const { return m_bodyMetrics.height() * 2; }

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
    QFontMetricsF m_bodyMetrics{m_body};
    QFontMetricsF m_boldMetrics{m_bold};
    std::vector<std::vector<float>> m_heights; // of each row in each band
    mutable LineWidths m_bodyWidths{m_bodyMetrics};
    mutable LineWidths m_boldWidths{m_boldMetrics};
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
    const std::vector<std::vector<int>> firsts = painter.layOut();
    int pages = 0;
    for (const std::vector<int>& band : firsts)
        pages += int(band.size());
    int before = 0;
    for (int band = 0; band < painter.bands(); ++band) {
        painter.paint(band, firsts[size_t(band)], before, pages);
        before += int(firsts[size_t(band)].size());
    }
    return pages;
}
