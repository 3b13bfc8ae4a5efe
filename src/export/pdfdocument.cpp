#include "export/pdfdocument.h"

#include <QDateTime>
#include <QFont>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QTextLayout>
#include <QtEndian>
#include <array>
#include <charconv>
#include <cmath>

namespace {

// Characters below this that stand by themselves (no shaping joins, reorders or combines them)
// are drawn from a table of the font's glyphs, without laying the text out.
constexpr char16_t OwnGlyphsBelow = 0x590;
constexpr quint16 NotLookedUp = 0xFFFF;
// Page contents are compressed for speed rather than the last byte.
constexpr int ContentCompression = 1;

bool standsByItself(char16_t c) {
    return c >= 0x20 && c < OwnGlyphsBelow && !(c >= 0x7F && c < 0xA0) && c != 0xAD &&
           !(c >= 0x300 && c < 0x370);
}

quint16 be16(const QByteArray& table, qsizetype at) {
    return at + 2 <= table.size() ? qFromBigEndian<quint16>(table.constData() + at) : 0;
}

qint16 be16s(const QByteArray& table, qsizetype at) {
    return qint16(be16(table, at));
}

quint32 be32(const QByteArray& table, qsizetype at) {
    return at + 4 <= table.size() ? qFromBigEndian<quint32>(table.constData() + at) : 0;
}

void put16(QByteArray& out, quint16 value) {
    out.append(char(value >> 8)).append(char(value & 0xFF));
}

void put32(QByteArray& out, quint32 value) {
    put16(out, quint16(value >> 16));
    put16(out, quint16(value & 0xFFFF));
}

// A number as PDF writes it: two decimals at most, no exponent.
void putNumber(QByteArray& out, double value) {
    char buffer[32];
    const double rounded = std::round(value * 100) / 100;
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded == 0 ? 0.0 : rounded,
                                      std::chars_format::fixed, 2);
    char* end = result.ptr;
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    out.append(buffer, end - buffer);
}

QByteArray number(double value) {
    QByteArray out;
    putNumber(out, value);
    return out;
}

QByteArray hex16(quint32 value) {
    return QByteArray::number(value, 16).rightJustified(4, '0').toUpper();
}

// A text as a PDF text string: UTF-16 with its byte order mark, in hexadecimal.
QByteArray textString(const QString& text) {
    QByteArray utf16("FEFF");
    for (QChar c : text)
        utf16 += hex16(c.unicode());
    return '<' + utf16 + '>';
}

// A glyph's number in a string of two-byte codes; the bytes a string cannot hold as they are,
// escaped (a carriage return would be read as a line end).
void putGlyph(QByteArray& out, quint16 glyph) {
    for (const char byte : {char(glyph >> 8), char(glyph & 0xFF)}) {
        if (byte == '(' || byte == ')' || byte == '\\')
            out.append('\\').append(byte);
        else if (byte == '\r')
            out.append("\\r");
        else
            out.append(byte);
    }
}

QByteArray compressed(const QByteArray& content, int level) {
    // qCompress puts the length before the zlib stream.
    return qCompress(content, level).mid(4);
}

quint32 tableChecksum(const QByteArray& table) {
    quint32 sum = 0;
    for (qsizetype at = 0; at < table.size(); at += 4) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b)
            word = (word << 8) | (at + b < table.size() ? quint8(table[at + b]) : 0);
        sum += word;
    }
    return sum;
}

// A TrueType font file of the tables given, in the order of their tags.
QByteArray fontFile(const std::vector<std::pair<QByteArray, QByteArray>>& tables) {
    QByteArray out;
    put32(out, 0x00010000);
    const auto count = quint16(tables.size());
    quint16 power = 1;
    quint16 log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    put16(out, count);
    put16(out, quint16(power * 16));
    put16(out, log);
    put16(out, quint16(count * 16 - power * 16));
    quint32 offset = quint32(12 + 16 * tables.size());
    QByteArray bodies;
    for (const auto& [tag, table] : tables) {
        out.append(tag);
        put32(out, tableChecksum(table));
        put32(out, offset + quint32(bodies.size()));
        put32(out, quint32(table.size()));
        bodies.append(table);
        while (bodies.size() % 4)
            bodies.append('\0');
    }
    return out + bodies;
}

} // namespace

struct PdfDocument::Font {
    QRawFont raw;
    QByteArray name; // F1, F2, ... in the pages' resources
    bool embeddable = false;
    int unitsPerEm = 1000;
    int glyphCount = 0;
    int metricsCount = 0;
    std::vector<quint32> glyphStarts; // from the font's loca, one more than there are glyphs
    QByteArray head, hhea, maxp, hmtx, glyf, cvt, fpgm, prep;
    std::array<quint16, OwnGlyphsBelow> glyphOfChar;
    std::vector<char32_t> characterOf; // by glyph: what it stands for, 0 when not known
    std::vector<bool> used;
    bool drawn = false;             // a glyph of it is on a page
    QHash<quint32, char32_t> forms; // presentation forms by glyph
    bool formsLookedUp = false;

    explicit Font(const QRawFont& font) : raw(font) {
        glyphOfChar.fill(NotLookedUp);
        head = raw.fontTable("head");
        hhea = raw.fontTable("hhea");
        maxp = raw.fontTable("maxp");
        hmtx = raw.fontTable("hmtx");
        glyf = raw.fontTable("glyf");
        const QByteArray loca = raw.fontTable("loca");
        cvt = raw.fontTable("cvt ");
        fpgm = raw.fontTable("fpgm");
        prep = raw.fontTable("prep");
        glyphCount = be16(maxp, 4);
        metricsCount = be16(hhea, 34);
        unitsPerEm = be16(head, 18);
        const bool longStarts = be16s(head, 50) == 1;
        if (glyf.isEmpty() || head.size() < 54 || glyphCount == 0 || metricsCount == 0 ||
            unitsPerEm == 0 || hmtx.size() < metricsCount * 4 ||
            loca.size() < (glyphCount + 1) * (longStarts ? 4 : 2))
            return;
        glyphStarts.reserve(size_t(glyphCount) + 1);
        for (int g = 0; g <= glyphCount; ++g)
            glyphStarts.push_back(longStarts ? be32(loca, g * 4) : quint32(be16(loca, g * 2)) * 2);
        for (int g = 0; g < glyphCount; ++g)
            if (glyphStarts[size_t(g)] > glyphStarts[size_t(g) + 1] ||
                glyphStarts[size_t(g) + 1] > quint32(glyf.size()))
                return;
        characterOf.assign(size_t(glyphCount), 0);
        used.assign(size_t(glyphCount), false);
        used[0] = true;
        embeddable = true;
    }

    quint16 glyphOf(char16_t c) {
        quint16& glyph = glyphOfChar[c];
        if (glyph == NotLookedUp) {
            const QChar character(c);
            quint32 index = 0;
            int count = 1;
            glyph = raw.glyphIndexesForChars(&character, 1, &index, &count) && count == 1 &&
                            index < quint32(glyphCount)
                        ? quint16(index)
                        : 0;
        }
        return glyph;
    }

    // The presentation form (a ligature, a letter's joined form) a glyph is in the font's
    // character map under, 0 when none: such glyphs are what shaping puts in place of characters.
    char32_t formOf(quint32 glyph) {
        if (!formsLookedUp) {
            formsLookedUp = true;
            for (const auto& [first, last] : {std::pair<char16_t, char16_t>{0xFB00, 0xFDFF},
                                              std::pair<char16_t, char16_t>{0xFE70, 0xFEFF}}) {
                for (char16_t c = first; c <= last; ++c) {
                    const QChar character(c);
                    quint32 index = 0;
                    int count = 1;
                    if (raw.glyphIndexesForChars(&character, 1, &index, &count) && index != 0)
                        forms.insert(index, c);
                }
            }
        }
        return forms.value(glyph, 0);
    }

    // In the font's units.
    int advanceOf(quint32 glyph) const {
        return be16(hmtx, qsizetype(std::min<quint32>(glyph, quint32(metricsCount - 1))) * 4);
    }

    void use(quint32 glyph, char32_t character) {
        used[glyph] = true;
        drawn = true;
        if (character && !characterOf[glyph])
            characterOf[glyph] = character;
    }

    // The glyphs used and the glyphs they are made of; the others are left empty.
    QByteArray subset() const {
        std::vector<bool> kept = used;
        for (int g = 0; g < glyphCount; ++g)
            if (kept[size_t(g)])
                keepComponents(quint32(g), kept);
        QByteArray glyphs;
        QByteArray starts;
        for (int g = 0; g < glyphCount; ++g) {
            put32(starts, quint32(glyphs.size()));
            if (kept[size_t(g)])
                glyphs.append(glyf.mid(glyphStarts[size_t(g)],
                                       glyphStarts[size_t(g) + 1] - glyphStarts[size_t(g)]));
            while (glyphs.size() % 4)
                glyphs.append('\0');
        }
        put32(starts, quint32(glyphs.size()));
        QByteArray longHead = head;
        longHead[50] = 0;
        longHead[51] = 1;                            // the starts are four bytes each
        longHead.replace(8, 4, QByteArray(4, '\0')); // the whole file's checksum, not kept
        std::vector<std::pair<QByteArray, QByteArray>> tables;
        if (!cvt.isEmpty())
            tables.emplace_back("cvt ", cvt);
        if (!fpgm.isEmpty())
            tables.emplace_back("fpgm", fpgm);
        tables.emplace_back("glyf", glyphs);
        tables.emplace_back("head", longHead);
        tables.emplace_back("hhea", hhea);
        tables.emplace_back("hmtx", hmtx);
        tables.emplace_back("loca", starts);
        tables.emplace_back("maxp", maxp);
        if (!prep.isEmpty())
            tables.emplace_back("prep", prep);
        return fontFile(tables);
    }

  private:
    // A composite glyph names the glyphs it is drawn from.
    void keepComponents(quint32 glyph, std::vector<bool>& kept) const {
        const qsizetype start = glyphStarts[glyph];
        if (glyphStarts[glyph + 1] - start < 10 || be16s(glyf, start) >= 0)
            return;
        constexpr quint16 WordArguments = 0x1, Scale = 0x8, More = 0x20, TwoScales = 0x40,
                          TwoByTwo = 0x80;
        qsizetype at = start + 10;
        for (int component = 0; component < 1000; ++component) {
            const quint16 flags = be16(glyf, at);
            const quint16 part = be16(glyf, at + 2);
            at += 4 + ((flags & WordArguments) ? 4 : 2);
            at += (flags & Scale) ? 2 : (flags & TwoScales) ? 4 : (flags & TwoByTwo) ? 8 : 0;
            if (part < quint32(glyphCount) && !kept[part]) {
                kept[part] = true;
                keepComponents(part, kept);
            }
            if (!(flags & More) || at >= qsizetype(glyphStarts[glyph + 1]))
                break;
        }
    }
};

// What is drawn on a page, with the state of its text: the font and size set last.
struct PdfDocument::Stream {
    QByteArray bytes;
    bool inText = false;
    Font* font = nullptr;
    double size = 0;
};

struct PdfDocument::Page {
    Stream content;
    Stream later; // drawn after the page was closed
    int contentObject = 0;
    bool closed = false;
};

PdfDocument::PdfDocument(const QString& file, int resolution)
    : m_file(file), m_resolution(resolution),
      m_layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10)),
      // The catalog, the page tree, the resources and the information, numbered first.
      m_offsets(5, 0) {}

PdfDocument::~PdfDocument() = default;

int PdfDocument::metric(PaintDeviceMetric metric) const {
    const QRect pixels = m_layout.paintRectPixels(m_resolution);
    const QRectF millimetres = m_layout.paintRect(QPageLayout::Millimeter);
    switch (metric) {
    case PdmWidth:
        return pixels.width();
    case PdmHeight:
        return pixels.height();
    case PdmWidthMM:
        return int(millimetres.width());
    case PdmHeightMM:
        return int(millimetres.height());
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_resolution;
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    default:
        return QPaintDevice::metric(metric);
    }
}

int PdfDocument::addPage() {
    if (m_pages.empty()) {
        // PDF's points go up from the paper's foot; the painter's pixels down from the paint
        // rectangle's top.
        const QRectF paint = m_layout.paintRect(QPageLayout::Point);
        m_origin = QPointF(paint.left(), m_layout.fullRectPoints().height() - paint.top());
        m_pointsPerPixel = 72.0 / m_resolution;
        m_file.setDirectWriteFallback(true);
        if (!m_file.open(QIODevice::WriteOnly) ||
            !m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            m_failed = true;
        // A binary comment says the file is not plain text.
        write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    }
    m_pages.push_back(std::make_unique<Page>());
    m_pages.back()->content.bytes.append("0.5 w\n");
    return int(m_pages.size()) - 1;
}

void PdfDocument::closePage(int page) {
    Page& shown = *m_pages[size_t(page)];
    if (shown.closed)
        return;
    endText(shown.content);
    shown.contentObject = writeStream(shown.content.bytes);
    shown.content = Stream();
    shown.closed = true;
}

PdfDocument::Stream& PdfDocument::streamOf(int page) {
    Page& shown = *m_pages[size_t(page)];
    return shown.closed ? shown.later : shown.content;
}

QPointF PdfDocument::toPoints(QPointF at) const {
    return {m_origin.x() + at.x() * m_pointsPerPixel, m_origin.y() - at.y() * m_pointsPerPixel};
}

void PdfDocument::beginText(Stream& stream, Font* font, double size) {
    if (!stream.inText) {
        stream.bytes.append("BT\n");
        stream.inText = true;
        stream.font = nullptr;
    }
    if (stream.font != font || stream.size != size) {
        stream.bytes.append('/').append(font->name).append(' ');
        putNumber(stream.bytes, size);
        stream.bytes.append(" Tf\n");
        stream.font = font;
        stream.size = size;
    }
}

void PdfDocument::endText(Stream& stream) {
    if (stream.inText)
        stream.bytes.append("ET\n");
    stream.inText = false;
}

PdfDocument::Font* PdfDocument::fontOf(const QFont& font) {
    // A report draws with a few fonts, copies of each other: compared first by what they share.
    for (const auto& [known, pdfFont] : m_fontsOfQFonts)
        if (known == font)
            return pdfFont;
    Font* found = fontOf(QRawFont::fromFont(font));
    m_fontsOfQFonts.emplace_back(font, found);
    return found;
}

PdfDocument::Font* PdfDocument::fontOf(const QRawFont& raw) {
    // A font of no font file's tables: the boxes Qt draws where no font has the glyphs (whose
    // family name must not even be asked for), a bitmap font.
    if (!raw.isValid() || raw.fontTable("head").isEmpty())
        return nullptr;
    const QString face = QStringLiteral("%1\n%2\n%3\n%4")
                             .arg(raw.familyName(), raw.styleName())
                             .arg(raw.weight())
                             .arg(int(raw.style()));
    if (Font* known = m_fontsByFace.value(face))
        return known;
    m_fonts.push_back(std::make_unique<Font>(raw));
    Font* font = m_fonts.back().get();
    font->name = "F" + QByteArray::number(m_fonts.size());
    m_fontsByFace.insert(face, font);
    return font;
}

void PdfDocument::drawText(int page, QPointF baseline, const QFont& font, const QString& text) {
    if (m_failed || text.isEmpty())
        return;
    Font* pdfFont = fontOf(font);
    QByteArray glyphs;
    glyphs.reserve(text.size() * 2 + 8);
    for (const QChar c : text) {
        const quint16 glyph = pdfFont && pdfFont->embeddable && standsByItself(c.unicode())
                                  ? pdfFont->glyphOf(c.unicode())
                                  : 0;
        if (glyph == 0)
            return drawShaped(page, baseline, font, text);
        pdfFont->use(glyph, c.unicode());
        putGlyph(glyphs, glyph);
    }
    Stream& stream = streamOf(page);
    const double size =
        font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / m_resolution;
    beginText(stream, pdfFont, size);
    const QPointF at = toPoints(baseline);
    stream.bytes.append("1 0 0 1 ");
    putNumber(stream.bytes, at.x());
    stream.bytes.append(' ');
    putNumber(stream.bytes, at.y());
    stream.bytes.append(" Tm (").append(glyphs).append(") Tj\n");
}

// A text that needs shaping, or glyphs of other fonts than its own.
void PdfDocument::drawShaped(int page, QPointF baseline, const QFont& font, const QString& text) {
    QTextLayout layout(text, font, this);
    layout.beginLayout();
    double height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    const double ascent = layout.lineCount() > 0 ? layout.lineAt(0).ascent() : 0;
    drawGlyphRuns(page, layout.glyphRuns(), baseline - QPointF(0, ascent), text);
}

void PdfDocument::drawGlyphRuns(int page, const QList<QGlyphRun>& runs, QPointF at,
                                const QString& text) {
    if (m_failed)
        return;
    // The glyphs that stand for one character each are known by the font's character map; a
    // text whose glyphs are not all known so (joined, ligatures) is marked with its characters.
    bool allKnown = true;
    std::vector<Font*> fonts;
    for (const QGlyphRun& run : runs) {
        Font* font = fontOf(run.rawFont());
        fonts.push_back(font);
        if (!font || !font->embeddable) {
            m_lackedFont = m_failed = true;
            return;
        }
        const QList<quint32> indexes = run.glyphIndexes();
        const QSet<quint32> inRun(indexes.begin(), indexes.end());
        for (qsizetype c = 0; c < text.size(); ++c) {
            const char32_t character = text[c].isHighSurrogate() && c + 1 < text.size()
                                           ? QChar::surrogateToUcs4(text[c], text[c + 1])
                                           : text[c].unicode();
            quint32 glyphs[2] = {0, 0};
            int count = 2;
            if (run.rawFont().glyphIndexesForChars(text.constData() + c, character > 0xFFFF ? 2 : 1,
                                                   glyphs, &count) &&
                glyphs[0] < quint32(font->glyphCount) && inRun.contains(glyphs[0]))
                font->use(glyphs[0], character);
            if (character > 0xFFFF)
                ++c;
        }
        for (const quint32 glyph : indexes) {
            if (glyph < quint32(font->glyphCount) && !font->characterOf[glyph])
                font->use(glyph, font->formOf(glyph));
            allKnown = allKnown && glyph < quint32(font->glyphCount) && font->characterOf[glyph];
        }
    }
    Stream& stream = streamOf(page);
    endText(stream);
    if (!allKnown)
        stream.bytes.append("/Span << /ActualText ").append(textString(text)).append(" >> BDC\n");
    for (qsizetype r = 0; r < runs.size(); ++r) {
        Font* font = fonts[size_t(r)];
        const double size = runs[r].rawFont().pixelSize() * 72.0 / m_resolution;
        beginText(stream, font, size);
        const QList<quint32> indexes = runs[r].glyphIndexes();
        const QList<QPointF> positions = runs[r].positions();
        // Glyphs one after the other go in one string, each moved as far from where the one
        // before leaves off as the layout put it; a glyph elsewhere begins a string of its own.
        QPointF expected(-1e9, -1e9);
        bool open = false;
        for (qsizetype g = 0; g < indexes.size() && g < positions.size(); ++g) {
            const quint32 glyph = indexes[g];
            if (glyph >= quint32(font->glyphCount))
                continue;
            font->use(glyph, 0);
            const QPointF point = toPoints(at + positions[g]);
            const double gap = (point.x() - expected.x()) * 1000 / size;
            if (!open || std::abs(point.y() - expected.y()) > 0.01 || std::abs(gap) > 2000) {
                if (open)
                    stream.bytes.append(")] TJ\n");
                stream.bytes.append("1 0 0 1 ");
                putNumber(stream.bytes, point.x());
                stream.bytes.append(' ');
                putNumber(stream.bytes, point.y());
                stream.bytes.append(" Tm [(");
                open = true;
            } else if (std::abs(gap) >= 1) {
                stream.bytes.append(")");
                putNumber(stream.bytes, -gap);
                stream.bytes.append("(");
            }
            putGlyph(stream.bytes, quint16(glyph));
            expected =
                QPointF(point.x() + font->advanceOf(glyph) * size / font->unitsPerEm, point.y());
        }
        if (open)
            stream.bytes.append(")] TJ\n");
    }
    if (!allKnown) {
        endText(stream);
        stream.bytes.append("EMC\n");
    }
}

void PdfDocument::drawLine(int page, QPointF from, QPointF to) {
    if (m_failed)
        return;
    Stream& stream = streamOf(page);
    endText(stream);
    const QPointF a = toPoints(from);
    const QPointF b = toPoints(to);
    stream.bytes.append(number(a.x()) + ' ' + number(a.y()) + " m " + number(b.x()) + ' ' +
                        number(b.y()) + " l S\n");
}

void PdfDocument::write(const QByteArray& bytes) {
    if (m_failed)
        return;
    if (m_file.write(bytes) != bytes.size())
        m_failed = true;
    m_written += bytes.size();
}

int PdfDocument::beginObject() {
    m_offsets.push_back(m_written);
    const int id = int(m_offsets.size()) - 1;
    write(QByteArray::number(id) + " 0 obj\n");
    return id;
}

int PdfDocument::writeStream(const QByteArray& content, const QByteArray& entries) {
    const QByteArray packed = compressed(content, ContentCompression);
    const int id = beginObject();
    write("<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode" + entries +
          " >>\nstream\n");
    write(packed);
    write("\nendstream\nendobj\n");
    return id;
}

// The font as a composite font of glyph numbers (two bytes each), its glyphs' widths, the
// characters they stand for, and the glyphs used embedded.
void PdfDocument::writeFont(Font& font, int id) {
    const double perMille = 1000.0 / font.unitsPerEm;
    QString face = font.raw.familyName() + QLatin1Char('-') + font.raw.styleName();
    face.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]")));
    // Six capitals of its own before the name say it holds only some glyphs.
    QByteArray tag;
    for (qsizetype n = qsizetype(font.name.mid(1).toInt()); tag.size() < 6; n /= 26)
        tag.prepend(char('A' + n % 26));
    const QByteArray name = tag + '+' + (face.isEmpty() ? QByteArray("Font") : face.toLatin1());

    const QByteArray file = font.subset();
    const int fileObject = writeStream(file, " /Length1 " + QByteArray::number(file.size()));
    QByteArray widths("[");
    QByteArray characters;
    int mapped = 0;
    QByteArray map;
    for (int g = 0; g < font.glyphCount; ++g) {
        if (!font.used[size_t(g)])
            continue;
        widths += ' ' + QByteArray::number(g) + " [" +
                  number(font.advanceOf(quint32(g)) * perMille) + ']';
        if (const char32_t c = font.characterOf[size_t(g)]) {
            const QString character = QString::fromUcs4(&c, 1);
            QByteArray utf16;
            for (QChar unit : character)
                utf16 += hex16(unit.unicode());
            map += '<' + hex16(quint32(g)) + "> <" + utf16 + ">\n";
            if (++mapped % 100 == 0) {
                characters += "100 beginbfchar\n" + map + "endbfchar\n";
                map.clear();
            }
        }
    }
    widths += " ]";
    if (mapped % 100)
        characters += QByteArray::number(mapped % 100) + " beginbfchar\n" + map + "endbfchar\n";
    const int unicodeObject = writeStream(
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n" +
        characters + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");

    const int descriptor = beginObject();
    write("<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [" +
          number(be16s(font.head, 36) * perMille) + ' ' + number(be16s(font.head, 38) * perMille) +
          ' ' + number(be16s(font.head, 40) * perMille) + ' ' +
          number(be16s(font.head, 42) * perMille) + "] /ItalicAngle 0 /Ascent " +
          number(be16s(font.hhea, 4) * perMille) + " /Descent " +
          number(be16s(font.hhea, 6) * perMille) + " /CapHeight " +
          number(be16s(font.hhea, 4) * perMille) + " /StemV 80 /FontFile2 " +
          QByteArray::number(fileObject) + " 0 R >>\nendobj\n");
    const int glyphs = beginObject();
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
          " /FontDescriptor " +
          QByteArray::number(descriptor) + " 0 R /CIDToGIDMap /Identity /W " + widths +
          " >>\nendobj\n");
    m_offsets[size_t(id)] = m_written;
    write(QByteArray::number(id) + " 0 obj\n<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
          " /Encoding /Identity-H /DescendantFonts [" + QByteArray::number(glyphs) +
          " 0 R] /ToUnicode " + QByteArray::number(unicodeObject) + " 0 R >>\nendobj\n");
}

bool PdfDocument::finish(const std::vector<int>& order) {
    if (m_pages.empty())
        addPage();
    for (size_t p = 0; p < m_pages.size(); ++p)
        closePage(int(p));
    std::vector<int> laterObjects(m_pages.size(), 0);
    for (size_t p = 0; p < m_pages.size(); ++p) {
        endText(m_pages[p]->later);
        if (!m_pages[p]->later.bytes.isEmpty())
            laterObjects[p] = writeStream(m_pages[p]->later.bytes);
    }
    QByteArray fonts;
    for (const std::unique_ptr<Font>& font : m_fonts) {
        if (!font->embeddable || !font->drawn)
            continue;
        m_offsets.push_back(0);
        const int id = int(m_offsets.size()) - 1;
        writeFont(*font, id);
        fonts += " /" + font->name + ' ' + QByteArray::number(id) + " 0 R";
    }
    constexpr int Catalog = 1, Pages = 2, Resources = 3, Information = 4;
    m_offsets[Resources] = m_written;
    write("3 0 obj\n<< /Font <<" + fonts + " >> /ProcSet [/PDF /Text] >>\nendobj\n");
    const QRectF paper = m_layout.fullRectPoints();
    QByteArray kids;
    for (const int p : order) {
        if (p < 0 || size_t(p) >= m_pages.size())
            continue;
        QByteArray contents = QByteArray::number(m_pages[size_t(p)]->contentObject) + " 0 R";
        if (laterObjects[size_t(p)])
            contents += ' ' + QByteArray::number(laterObjects[size_t(p)]) + " 0 R";
        const int id = beginObject();
        write("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + number(paper.width()) + ' ' +
              number(paper.height()) + "] /Resources 3 0 R /Contents [" + contents +
              "] >>\nendobj\n");
        kids += ' ' + QByteArray::number(id) + " 0 R";
    }
    m_offsets[Pages] = m_written;
    write("2 0 obj\n<< /Type /Pages /Kids [" + kids + " ] /Count " +
          QByteArray::number(order.size()) + " >>\nendobj\n");
    m_offsets[Catalog] = m_written;
    write("1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    m_offsets[Information] = m_written;
    const QByteArray now = QDateTime::currentDateTimeUtc().toString("yyyyMMddHHmmss").toLatin1();
    write("4 0 obj\n<< /Title " + textString(m_title) + " /Creator " + textString(m_creator) +
          " /Producer " + textString(m_creator) + " /CreationDate (D:" + now + "Z) >>\nendobj\n");
    const qint64 table = m_written;
    QByteArray entries =
        "xref\n0 " + QByteArray::number(m_offsets.size()) + "\n0000000000 65535 f \n";
    for (size_t id = 1; id < m_offsets.size(); ++id)
        entries += QByteArray::number(m_offsets[id]).rightJustified(10, '0') + " 00000 n \n";
    write(entries + "trailer\n<< /Size " + QByteArray::number(m_offsets.size()) +
          " /Root 1 0 R /Info 4 0 R >>\nstartxref\n" + QByteArray::number(table) + "\n%%EOF\n");
    if (m_failed || order.size() != m_pages.size()) {
        m_file.cancelWriting();
        return false;
    }
    return m_file.commit();
}
