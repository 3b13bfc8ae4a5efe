#include "table/report.h"

#include "export/pdfdocument.h"

#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <tuple>

namespace {

constexpr double BodyPoints = 9;
constexpr double TitlePoints = 13;
constexpr double CellPadPoints = 3;

// The text laid out within the width, at the words where it can and anywhere in a word wider
// than that, each line break kept, the lines one under the other from 0.
std::unique_ptr<QTextLayout> laidOut(QString text, const QFont& font, QPaintDevice& device,
                                     double width, Qt::Alignment alignment) {
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    auto layout = std::make_unique<QTextLayout>(text, font, &device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setAlignment(alignment);
    layout->setTextOption(option);
    layout->beginLayout();
    double height = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout->endLayout();
    return layout;
}

double heightOf(const QTextLayout& layout) {
    if (layout.lineCount() == 0)
        return 0;
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    return last.y() + last.height();
}

// Whether a text fits on one line of a width, told from its characters' advances (kept) where
// every character stands by itself (Latin, Greek, Cyrillic and the like: no shaping joins,
// reorders or combines them), without shaping the text as a whole, which takes far longer. The
// sum leaves kerning out: a text nearly as wide as the room, or of any other script, is shaped.
class LineWidths {
  public:
    explicit LineWidths(const QFontMetricsF& metrics) : m_metrics(metrics) { m_advances.fill(-1); }

    bool fits(const QString& text, double room) {
        // No column holds a line as long; Qt's measure of a text far longer overflows.
        if (text.size() > LongestLine)
            return false;
        if (const std::optional<double> sum = sumOfAdvances(text))
            return *sum * (1 + KerningAllowance) <= room ||
                   m_metrics.horizontalAdvance(text) <= room;
        return m_metrics.horizontalAdvance(text) <= room;
    }

    // The width of a line of text, from the characters' advances where they stand by themselves.
    double width(const QString& text) {
        const std::optional<double> sum = sumOfAdvances(text);
        return sum ? *sum : m_metrics.horizontalAdvance(text);
    }

  private:
    static constexpr double KerningAllowance = 0.02;
    static constexpr qsizetype LongestLine = 1000;
    // The sum of the characters' advances, none when one of them does not stand by itself.
    std::optional<double> sumOfAdvances(const QString& text) {
        double sum = 0;
        for (QChar c : text) {
            const char16_t u = c.unicode();
            if (u < 0x20 || (u >= 0x300 && u < 0x370) || u >= m_advances.size())
                return std::nullopt;
            float& advance = m_advances[u];
            if (advance < 0)
                advance = float(m_metrics.horizontalAdvance(c));
            sum += advance;
        }
        return sum;
    }

    QFontMetricsF m_metrics;
    std::array<float, 0x590> m_advances; // up to the scripts written right to left
};

// What the pages are painted on: a page is begun, painted and ended, named by the number the
// canvas gave it.
class Canvas {
  public:
    virtual ~Canvas() = default;
    virtual int beginPage() = 0;
    virtual void endPage(int page) = 0;
    virtual void text(int page, QPointF baseline, const QFont& font, const QString& text) = 0;
    // A line of a laid out text, placed from `at` as the layout placed it from its origin.
    virtual void textLine(int page, const QTextLine& line, QPointF at, const QString& text) = 0;
    virtual void line(int page, QPointF from, QPointF to) = 0;
};

// A printer, or any paged device, through a painter: one page after another.
class PainterCanvas : public Canvas {
  public:
    explicit PainterCanvas(QPagedPaintDevice& device) : m_device(device), m_painter(&device) {}
    bool active() const { return m_painter.isActive(); }
    int beginPage() override {
        if (m_pages > 0)
            m_device.newPage();
        return m_pages++;
    }
    void endPage(int) override {}
    void text(int, QPointF baseline, const QFont& font, const QString& text) override {
        m_painter.setFont(font);
        m_painter.drawText(baseline, text);
    }
    void textLine(int, const QTextLine& line, QPointF at, const QString&) override {
        line.draw(&m_painter, at);
    }
    void line(int, QPointF from, QPointF to) override { m_painter.drawLine(from, to); }

  private:
    QPagedPaintDevice& m_device;
    QPainter m_painter;
    int m_pages = 0;
};

// Counts the pages, painting nothing.
class CountingCanvas : public Canvas {
  public:
    int beginPage() override { return m_pages++; }
    void endPage(int) override {}
    void text(int, QPointF, const QFont&, const QString&) override {}
    void textLine(int, const QTextLine&, QPointF, const QString&) override {}
    void line(int, QPointF, QPointF) override {}
    int pages() const { return m_pages; }

  private:
    int m_pages = 0;
};

// A PDF file written as it is painted: the pages of every band open at once, their feet painted
// when the number of pages is known.
class PdfCanvas : public Canvas {
  public:
    explicit PdfCanvas(PdfDocument& pdf) : m_pdf(pdf) {}
    int beginPage() override { return m_pdf.addPage(); }
    void endPage(int page) override { m_pdf.closePage(page); }
    void text(int page, QPointF baseline, const QFont& font, const QString& text) override {
        m_pdf.drawText(page, baseline, font, text);
    }
    void textLine(int page, const QTextLine& line, QPointF at, const QString& text) override {
        m_pdf.drawGlyphRuns(page, line.glyphRuns(), at,
                            text.mid(line.textStart(), line.textLength()));
    }
    void line(int page, QPointF from, QPointF to) override { m_pdf.drawLine(page, from, to); }

  private:
    PdfDocument& m_pdf;
};

class Painter {
  public:
    // Lays the report out on pages of the layout, measured on the device.
    Painter(QPaintDevice& device, const QPageLayout& layout, const Report& report)
        : m_device(device), m_report(report), m_unit(device.logicalDpiY() / 72.0) {
        m_body.setPointSizeF(BodyPoints);
        m_bold = m_body;
        m_bold.setBold(true);
        m_title = m_bold;
        m_title.setPointSizeF(TitlePoints);
        m_bodyMetrics = QFontMetricsF(m_body, &device);
        m_boldMetrics = QFontMetricsF(m_bold, &device);
        m_titleMetrics = QFontMetricsF(m_title, &device);
        m_bodyWidths = LineWidths(m_bodyMetrics);
        m_boldWidths = LineWidths(m_boldMetrics);
        const QRectF page = layout.paintRect(QPageLayout::Point);
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

    // Paints the pages of these bands, every row read once for all of them; the pages of each
    // band. With the number of pages known, the pages after `pagesBefore` (of one band) get
    // their feet as they are painted, else paintFoot() gives them later.
    std::vector<std::vector<int>> paint(Canvas& canvas, const std::vector<int>& bands,
                                        int pagesBefore = 0, int pages = 0) {
        std::vector<std::vector<int>> pagesOf(bands.size());
        std::vector<double> y(bands.size());
        std::vector<double> top(bands.size()); // where a page's rows begin, under its headings
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::LongFormat);
        const double bottom = m_height - footHeight();
        const auto begin = [&](size_t b) {
            m_columns = m_bands[size_t(bands[b])];
            pagesOf[b].push_back(canvas.beginPage());
            y[b] = top[b] = paintTop(canvas, pagesOf[b].back(), date);
        };
        const auto end = [&](size_t b) {
            if (pages > 0)
                paintFoot(canvas, pagesOf[b].back(), pagesBefore + int(pagesOf[b].size()), pages);
            canvas.endPage(pagesOf[b].back());
        };
        for (size_t b = 0; b < bands.size(); ++b)
            begin(b);
        for (int r = 0; r < m_report.rows; ++r) {
            const QStringList values = m_report.row(r);
            for (size_t b = 0; b < bands.size(); ++b) {
                m_columns = m_bands[size_t(bands[b])];
                const double height = rowHeight(values, false);
                if (y[b] > top[b] && y[b] + height > bottom) {
                    end(b);
                    begin(b);
                    m_columns = m_bands[size_t(bands[b])];
                }
                if (y[b] + height <= bottom) {
                    paintRow(canvas, pagesOf[b].back(), values, y[b], false);
                    y[b] += height;
                    continue;
                }
                y[b] = paintTallRow(canvas, pagesOf[b].back(), values, y[b], bottom, [&] {
                    end(b);
                    begin(b);
                    return std::pair(pagesOf[b].back(), y[b]);
                });
            }
        }
        for (size_t b = 0; b < bands.size(); ++b)
            end(b);
        return pagesOf;
    }

    void paintFoot(Canvas& canvas, int page, int number, int pages) {
        const QString foot = QStringLiteral("Page %1 of %2").arg(number).arg(pages);
        canvas.text(page,
                    QPointF((m_width - m_bodyMetrics.horizontalAdvance(foot)) / 2,
                            m_height - m_bodyMetrics.descent()),
                    m_body, foot);
    }

  private:
    struct Column {
        int index; // in the report's columns
        double left;
        double width;
    };

    // The title, the date and the headings; where the rows begin.
    double paintTop(Canvas& canvas, int page, const QString& date) {
        const double titleHeight = m_titleMetrics.height();
        canvas.text(page, QPointF(0, m_titleMetrics.ascent()), m_title, m_report.title);
        canvas.text(page,
                    QPointF(m_width - m_bodyMetrics.horizontalAdvance(date),
                            (titleHeight - m_bodyMetrics.height()) / 2 + m_bodyMetrics.ascent()),
                    m_body, date);
        double y = titleHeight + m_pad * 2;
        if (!m_report.headings.isEmpty()) {
            // The cells measured of the row the page is begun for stay its.
            std::vector<std::unique_ptr<QTextLayout>> measured = std::move(m_cells);
            const double height = rowHeight(m_report.headings, true);
            paintRow(canvas, page, m_report.headings, y, true);
            m_cells = std::move(measured);
            y += height;
            canvas.line(page, QPointF(0, y), QPointF(m_width, y));
        }
        return y;
    }

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
        return widthsOf(column, heading).fits(text, column.width - 2 * m_pad);
    }

    LineWidths& widthsOf(const Column& column, bool heading) const {
        return heading || (column.index == 0 && m_report.firstColumnBold) ? m_boldWidths
                                                                          : m_bodyWidths;
    }

    // The height of a row of the band; its cells kept for paintRow().
    double rowHeight(const QStringList& values, bool heading) {
        m_cells.clear();
        m_cells.resize(m_columns.size());
        double height = m_bodyMetrics.height();
        for (size_t c = 0; c < m_columns.size(); ++c) {
            const Column& column = m_columns[c];
            const QString text = values.value(column.index);
            if (!oneLine(text, column, heading))
                m_cells[c] = layCell(text, column, heading);
            height = std::max(height, m_cells[c] ? heightOf(*m_cells[c])
                                                 : metricsOf(column.index, heading).height());
        }
        return height + 2 * m_pad;
    }

    // Numbers and their headings to the right.
    bool toTheRight(const Column& column) const {
        return size_t(column.index) < m_report.rightAligned.size() &&
               m_report.rightAligned[size_t(column.index)];
    }

    std::unique_ptr<QTextLayout> layCell(const QString& text, const Column& column, bool heading) {
        return laidOut(text, fontOf(column.index, heading), m_device,
                       std::max(1.0, column.width - 2 * m_pad),
                       toTheRight(column) ? Qt::AlignRight : Qt::AlignLeft);
    }

    // Paints a value of one line in its cell of a row from y.
    void paintLine(Canvas& canvas, int page, const QString& text, const Column& column, double y,
                   bool heading) {
        double x = column.left + m_pad;
        if (toTheRight(column))
            x = std::max(x, column.left + column.width - m_pad -
                                widthsOf(column, heading).width(text));
        canvas.text(page, QPointF(x, y + m_pad + metricsOf(column.index, heading).ascent()),
                    fontOf(column.index, heading), text);
    }

    // Paints the row measured last.
    void paintRow(Canvas& canvas, int page, const QStringList& values, double y, bool heading) {
        for (size_t c = 0; c < m_columns.size(); ++c) {
            const Column& column = m_columns[c];
            const QString text = values.value(column.index);
            const QPointF at(column.left + m_pad, y + m_pad);
            if (!m_cells[c]) {
                paintLine(canvas, page, text, column, y, heading);
                continue;
            }
            const QTextLayout& layout = *m_cells[c];
            for (int line = 0; line < layout.lineCount(); ++line)
                canvas.textLine(page, layout.lineAt(line), at, layout.text());
        }
    }

    // Paints the row measured last, taller than a page, over as many pages as it takes: each
    // value of several lines goes on at the line where the page before left off, at least one
    // line a page. `nextPage` ends the page and begins the next, saying where its rows begin.
    // Where the rows after it begin.
    double paintTallRow(Canvas& canvas, int page, const QStringList& values, double y,
                        double bottom, const std::function<std::pair<int, double>()>& nextPage) {
        // The row's cells, taken: the pages begun on the way measure their headings.
        const std::vector<std::unique_ptr<QTextLayout>> layouts = std::move(m_cells);
        std::vector<int> next(m_columns.size(), 0);
        for (bool first = true;; first = false) {
            double used = m_bodyMetrics.height();
            bool done = true;
            for (size_t c = 0; c < m_columns.size(); ++c) {
                const Column& column = m_columns[c];
                const QPointF at(column.left + m_pad, y + m_pad);
                if (!layouts[c]) {
                    if (first)
                        paintLine(canvas, page, values.value(column.index), column, y, false);
                    continue;
                }
                const QTextLayout& layout = *layouts[c];
                if (next[c] >= layout.lineCount())
                    continue;
                const double top = layout.lineAt(next[c]).y();
                int line = next[c];
                for (; line < layout.lineCount(); ++line) {
                    const QTextLine shown = layout.lineAt(line);
                    const double lineBottom = shown.y() + shown.height() - top;
                    if (line > next[c] && y + m_pad + lineBottom > bottom - m_pad)
                        break;
                    canvas.textLine(page, shown, at - QPointF(0, top), layout.text());
                    used = std::max(used, lineBottom);
                }
                next[c] = line;
                done = done && line >= layout.lineCount();
            }
            if (done)
                return y + used + 2 * m_pad;
            std::tie(page, y) = nextPage();
        }
    }

    double footHeight() const { return m_bodyMetrics.height() * 2; }

    QPaintDevice& m_device;
    const Report& m_report;
    double m_unit;
    double m_width = 0;
    double m_height = 0;
    double m_pad = 0;
    QFont m_body;
    QFont m_bold;
    QFont m_title;
    std::vector<std::vector<Column>> m_bands;
    std::vector<Column> m_columns; // of the band measured or painted
    // The cells of the row measured last, by column: each value of several lines laid out, none
    // for a value of one line.
    std::vector<std::unique_ptr<QTextLayout>> m_cells;
    QFontMetricsF m_bodyMetrics{m_body};
    QFontMetricsF m_boldMetrics{m_bold};
    QFontMetricsF m_titleMetrics{m_title};
    mutable LineWidths m_bodyWidths{m_bodyMetrics};
    mutable LineWidths m_boldWidths{m_boldMetrics};
};

// The page on its side when the columns are wider than it is upright.
QPageLayout turnedFor(QPageLayout layout, const Report& report) {
    const double wanted = std::accumulate(report.widths.begin(), report.widths.end(), 0.0);
    layout.setOrientation(QPageLayout::Portrait);
    if (wanted > layout.paintRect(QPageLayout::Point).width())
        layout.setOrientation(QPageLayout::Landscape);
    return layout;
}

} // namespace

int printReport(QPagedPaintDevice& device, const Report& report) {
    device.setPageLayout(turnedFor(device.pageLayout(), report));
    Painter painter(device, device.pageLayout(), report);
    PainterCanvas canvas(device);
    if (!canvas.active())
        return 0;
    // A printer's pages go one after another: the number of pages is counted first.
    std::vector<int> bands(size_t(painter.bands()));
    std::iota(bands.begin(), bands.end(), 0);
    CountingCanvas counting;
    painter.paint(counting, bands);
    int before = 0;
    for (const int band : bands)
        before += int(painter.paint(canvas, {band}, before, counting.pages()).front().size());
    return before;
}

int writeReport(PdfDocument& pdf, const Report& report) {
    pdf.setPageLayout(turnedFor(pdf.pageLayout(), report));
    Painter painter(pdf, pdf.pageLayout(), report);
    PdfCanvas canvas(pdf);
    std::vector<int> bands(size_t(painter.bands()));
    std::iota(bands.begin(), bands.end(), 0);
    const std::vector<std::vector<int>> pagesOf = painter.paint(canvas, bands);
    std::vector<int> order;
    for (const std::vector<int>& pages : pagesOf)
        order.insert(order.end(), pages.begin(), pages.end());
    for (size_t p = 0; p < order.size(); ++p)
        painter.paintFoot(canvas, order[p], int(p) + 1, int(order.size()));
    return pdf.finish(order) ? int(order.size()) : 0;
}
