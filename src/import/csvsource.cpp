#include "import/csvsource.h"

#include "app/runtimeerror.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <csv.h>

namespace {
constexpr qint64 BlockSize = 1 << 18;
// What the encoding is found from: enough text to meet the first letters outside ASCII.
constexpr qint64 DetectionSample = 1 << 22;
constexpr qint64 BadInput = ErrorNumber::General;

void valueParsed(void* data, size_t size, void* source) {
    static_cast<CsvSource*>(source)->addValue(data, size);
}
void rowParsed(int, void* source) {
    static_cast<CsvSource*>(source)->endRow();
}

// The separator the first line uses most, quoted parts not counted; comma when none.
char detectSeparator(const QByteArray& head) {
    int counts[3] = {0, 0, 0};
    const char candidates[3] = {',', ';', '\t'};
    bool quoted = false;
    for (const char c : head) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted)
            for (int i = 0; i < 3; ++i)
                counts[i] += c == candidates[i];
    }
    const int best = int(std::max_element(counts, counts + 3) - counts);
    return counts[best] > 0 ? candidates[best] : ',';
}

} // namespace

CsvSource::CsvSource(const QString& path, const FieldRoom& room, const QString& encoding)
    : m_file(path), m_label(QFileInfo(path).fileName()), m_parser(new csv_parser{}),
      m_widest(size_t(std::max<qsizetype>(room.most, 0))) {
    if (!m_file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot be read: %1.").arg(m_file.errorString()));
    // Not strict: a quote inside an unquoted value is a character, as spreadsheet programs
    // read it; a quoted value left open at the end is still refused.
    if (csv_init(m_parser.get(), CSV_STRICT_FINI | CSV_EMPTY_IS_NULL) != 0)
        fail(QStringLiteral("cannot be read: out of memory."));
    // A value's buffer grows by this much at a time; by the parser's own 128 bytes, a long
    // value (a note of megabytes) is copied anew thousands of times.
    csv_set_blk_size(m_parser.get(), 1 << 20);
    int markBytes = 0;
    const QString found = TextDecoding::detect(m_file.peek(DetectionSample), &markBytes);
    m_file.read(markBytes);
    m_decoding =
        std::make_unique<TextDecoding>(encoding.isEmpty() ? found : encoding, m_file.fileName());
    readHeader(room);
}

CsvSource::~CsvSource() = default;

void CsvSource::FreeParser::operator()(csv_parser* parser) const {
    csv_free(parser);
    delete parser;
}

void CsvSource::fail(const QString& problem) const {
    throw RuntimeError(BadInput, QStringLiteral("The file '%1' %2")
                                     .arg(QDir::toNativeSeparators(m_file.fileName()), problem));
}

void CsvSource::readHeader(const FieldRoom& room) {
    m_firstBlock = readBlock();
    if (m_firstBlock.trimmed().isEmpty())
        fail(QStringLiteral("is empty: it has no header row naming the columns."));
    m_separator = detectSeparator(m_firstBlock);
    csv_set_delim(m_parser.get(), m_separator);
    // The header sets the number of values every row must have.
    if (!parseUntilRow())
        fail(QStringLiteral("is empty: it has no header row naming the columns."));
    // Columns may go into the fields there: only more than a data file holds is refused here.
    if (qsizetype(m_rowEnds[0].width) > room.most)
        checkFieldRoom(room, m_label, qsizetype(m_rowEnds[0].width));
    for (size_t i = 0; i < m_rowEnds[0].end; ++i) {
        const Value& v = m_values[i];
        m_columns.push_back(
            {QString::fromUtf8(m_bytes.data() + v.offset, qsizetype(v.size)), false});
    }
    m_nextRow = 1;
    m_row = 1;
    m_widest = m_columns.size();
}

void CsvSource::addValue(const void* data, size_t size) {
    if (++m_rowWidth > m_widest)
        return;
    const size_t offset = m_bytes.size();
    if (data)
        m_bytes.append(static_cast<const char*>(data), size);
    m_values.push_back({offset, data ? size : 0, data == nullptr});
}

void CsvSource::endRow() {
    m_rowEnds.push_back({m_values.size(), m_rowWidth});
    m_rowWidth = 0;
}

// The next block of the file as UTF-8, checked to be text; empty at the end.
QByteArray CsvSource::readBlock() {
    if (!m_firstBlock.isEmpty())
        return std::exchange(m_firstBlock, QByteArray());
    for (;;) {
        const QByteArray raw = m_file.read(BlockSize);
        if (raw.isEmpty()) {
            m_decoding->finish();
            return raw;
        }
        const QByteArray block = m_decoding->decode(raw);
        if (const char* nul =
                static_cast<const char*>(std::memchr(block.data(), 0, size_t(block.size()))))
            fail(QStringLiteral("holds a NUL character (at byte %L1 of its text), so it is not a "
                                "text file.")
                     .arg(m_textRead + (nul - block.data()) + 1));
        m_textRead += block.size();
        if (!block.isEmpty())
            return block;
    }
}

// The values of a row not yet complete (it goes on in the next block) stay, moved to the front.
void CsvSource::dropRowsHandedOut() {
    const size_t kept = m_rowEnds.back().end;
    const size_t keptBytes = kept < m_values.size() ? m_values[kept].offset : m_bytes.size();
    m_values.erase(m_values.begin(), m_values.begin() + qsizetype(kept));
    for (Value& value : m_values)
        value.offset -= keptBytes;
    m_bytes.erase(0, keptBytes);
    m_rowEnds.clear();
    m_nextRow = 0;
}

bool CsvSource::parseUntilRow() {
    // Rows handed out are dropped before more are parsed, so memory holds one block's rows.
    if (m_nextRow > 0 && m_nextRow == m_rowEnds.size())
        dropRowsHandedOut();
    while (m_nextRow >= m_rowEnds.size()) {
        if (m_atEnd)
            return false;
        const QByteArray block = readBlock();
        if (block.isEmpty()) {
            m_atEnd = true;
            // The strict check of the end is the one that tells a quoted value left open.
            csv_set_opts(m_parser.get(), CSV_STRICT | CSV_STRICT_FINI | CSV_EMPTY_IS_NULL);
            if (csv_fini(m_parser.get(), valueParsed, rowParsed, this) != 0)
                fail(QStringLiteral("is not valid CSV: a quoted value is not closed before the "
                                    "end of the file."));
            continue;
        }
        if (csv_parse(m_parser.get(), block.constData(), size_t(block.size()), valueParsed,
                      rowParsed, this) != size_t(block.size()))
            fail(QStringLiteral("is not valid CSV near row %L1: %2 (a quote inside a value must "
                                "be doubled, and the value quoted).")
                     .arg(m_row + qint64(m_rowEnds.size()) - qint64(m_nextRow) + 1)
                     .arg(QString::fromUtf8(csv_strerror(csv_error(m_parser.get())))));
    }
    return true;
}

QString CsvSource::howRead() const {
    const QString separator = m_separator == '\t'  ? QStringLiteral("tabs")
                              : m_separator == ';' ? QStringLiteral("semicolons")
                                                   : QStringLiteral("commas");
    return QStringLiteral("Read as %1 text, the values separated by %2.")
        .arg(encoding(), separator);
}

bool CsvSource::next(std::vector<SourceCell>& cells) {
    if (!parseUntilRow())
        return false;
    const size_t begin = m_nextRow == 0 ? 0 : m_rowEnds[m_nextRow - 1].end;
    const auto [end, width] = m_rowEnds[m_nextRow];
    ++m_nextRow;
    ++m_row;
    if (width != m_columns.size())
        fail(QStringLiteral("has %L1 values in row %L2, but its header names %L3 columns: every "
                            "row must have one value per column.")
                 .arg(width)
                 .arg(m_row)
                 .arg(m_columns.size()));
    cells.resize(m_columns.size());
    for (size_t i = begin; i < end; ++i) {
        const Value& v = m_values[i];
        cells[i - begin] =
            v.missing ? SourceCell{} : SourceCell{m_bytes.data() + v.offset, qsizetype(v.size)};
    }
    return true;
}
