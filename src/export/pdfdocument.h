#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPaintDevice>
#include <QSaveFile>
#include <memory>
#include <vector>

// A PDF file of pages of text and lines, written as it is drawn: a page's content goes to the
// file when the page is closed, so that a long report never stays in memory. The text stays text
// (selectable, found by a search, in any script the fonts have): the glyphs used are embedded
// from the fonts' TrueType outlines, each with the characters it stands for. Several pages may be
// open at once, text may still be put on a closed page (its foot), and the pages go into the file
// in the order given at the end. Coordinates are in the device's pixels (resolution() a inch)
// from the top left of the paint rectangle, as a painter's on a printer: text laid out against
// this device measures as it is drawn.
//
// A font whose outlines are not TrueType (a CFF font) cannot be embedded: the drawing that needs
// one fails, the file is not written, and lackedFont() says why.
class PdfDocument : public QPaintDevice {
  public:
    explicit PdfDocument(const QString& file, int resolution = 1200);
    ~PdfDocument() override;
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    void setTitle(const QString& title) { m_title = title; }
    void setCreator(const QString& creator) { m_creator = creator; }
    // Only before the first page.
    void setPageLayout(const QPageLayout& layout) { m_layout = layout; }
    const QPageLayout& pageLayout() const { return m_layout; }
    int resolution() const { return m_resolution; }

    // A new page, open for drawing: its number among the pages begun, from 0.
    int addPage();
    // Writes the page's content; what is drawn on it later is kept apart until the end.
    void closePage(int page);
    // One line of text from the start of its baseline.
    void drawText(int page, QPointF baseline, const QFont& font, const QString& text);
    // Glyphs laid out for a text (QTextLayout::glyphRuns()), their positions from `at`.
    void drawGlyphRuns(int page, const QList<QGlyphRun>& runs, QPointF at, const QString& text);
    void drawLine(int page, QPointF from, QPointF to);
    // Writes the pages in this order (numbers from addPage()) and the fonts, and puts the file in
    // place of any file of that name; false, with the file as it was, when it cannot.
    bool finish(const std::vector<int>& order);
    // Whether a text needed a font that cannot be embedded.
    bool lackedFont() const { return m_lackedFont; }

    QPaintEngine* paintEngine() const override { return nullptr; }

  protected:
    int metric(PaintDeviceMetric metric) const override;

  private:
    struct Font;
    struct Stream;
    struct Page;

    Font* fontOf(const QFont& font);
    Font* fontOf(const QRawFont& raw);
    Stream& streamOf(int page);
    void beginText(Stream& stream, Font* font, double size);
    void endText(Stream& stream);
    void drawShaped(int page, QPointF baseline, const QFont& font, const QString& text);
    QPointF toPoints(QPointF at) const;
    int beginObject();
    int writeStream(const QByteArray& content, const QByteArray& entries = {});
    void writeFont(Font& font, int id);
    void write(const QByteArray& bytes);

    QSaveFile m_file;
    int m_resolution;
    QString m_title;
    QString m_creator;
    QPageLayout m_layout;
    QPointF m_origin; // of the paint rectangle, in points from the paper's foot
    double m_pointsPerPixel = 1;
    std::vector<std::unique_ptr<Page>> m_pages;
    std::vector<std::unique_ptr<Font>> m_fonts;
    std::vector<std::pair<QFont, Font*>> m_fontsOfQFonts;
    QHash<QString, Font*> m_fontsByFace;
    std::vector<qint64> m_offsets; // of each object, by its number (0 unused)
    qint64 m_written = 0;
    bool m_failed = false;
    bool m_lackedFont = false;
};
