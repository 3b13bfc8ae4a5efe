#include "import/csvsource.h"

#include "app/runtimeerror.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <csv.h>

namespace {
constexpr qint64 BlockSize = 1 << 18;
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

// Whether the last bytes stop before the character they begin is complete.
bool endsInsideCharacter(const QByteArray& tail) {
    for (qsizetype i = tail.size() - 1, continuation = 0; i >= 0; --i, ++continuation) {
        const auto byte = quint8(tail[i]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return continuation + 1 < length;
    }
    return false;
}
} // namespace

CsvSource::CsvSource(const QString& path, const FieldRoom& room)
    : m_file(path), m_label(QFileInfo(path).fileName()), m_parser(new csv_parser{}),
      m_utf8(QStringDecoder::Utf8), m_widest(size_t(std::max<qsizetype>(room.left, 0))) {
    if (!m_file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot be read: %1.").arg(m_file.errorString()));
    if (csv_init(m_parser.get(), CSV_STRICT | CSV_STRICT_FINI | CSV_EMPTY_IS_NULL) != 0)
        fail(QStringLiteral("cannot be read: out of memory."));
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
    QByteArray head = m_file.peek(BlockSize);
    if (head.startsWith("\xEF\xBB\xBF")) {
        m_file.read(3);
        head.remove(0, 3);
    }
    if (head.trimmed().isEmpty())
        fail(QStringLiteral("is empty: it has no header row naming the columns."));
    m_separator = detectSeparator(head);
    csv_set_delim(m_parser.get(), m_separator);
    // The header sets the number of values every row must have.
    if (!parseUntilRow())
        fail(QStringLiteral("is empty: it has no header row naming the columns."));
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

void CsvSource::checkBlock(const QByteArray& block) {
    if (const char* nul = static_cast<const char*>(std::memchr(block.data(), 0, block.size())))
        fail(QStringLiteral("holds a NUL byte (at byte %L1), so it is not a text file.")
                 .arg(m_bytesRead + (nul - block.data()) + 1));
    // Decoded into a buffer kept between blocks: only the decoder's verdict is wanted.
    m_decoded.resize(size_t(m_utf8.requiredSpace(block.size())));
    m_utf8.appendToBuffer(m_decoded.data(), block);
    if (m_utf8.hasError())
        fail(QStringLiteral("is not UTF-8 text: bytes %L1 to %L2 hold bytes that are not valid "
                            "UTF-8. Save it as UTF-8 and import it again.")
                 .arg(m_bytesRead + 1)
                 .arg(m_bytesRead + block.size()));
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
        const QByteArray block = m_file.read(BlockSize);
        if (block.isEmpty()) {
            m_atEnd = true;
            if (endsInsideCharacter(m_tail))
                fail(QStringLiteral("is not UTF-8 text: it ends inside a character."));
            if (csv_fini(m_parser.get(), valueParsed, rowParsed, this) != 0)
                fail(QStringLiteral("is not valid CSV: a quoted value is not closed before the "
                                    "end of the file."));
            continue;
        }
        checkBlock(block);
        m_tail = block.right(3);
        if (csv_parse(m_parser.get(), block.constData(), size_t(block.size()), valueParsed,
                      rowParsed, this) != size_t(block.size()))
            fail(QStringLiteral("is not valid CSV near row %L1: %2 (a quote inside a value must "
                                "be doubled, and the value quoted).")
                     .arg(m_row + qint64(m_rowEnds.size()) - qint64(m_nextRow) + 1)
                     .arg(QString::fromUtf8(csv_strerror(csv_error(m_parser.get())))));
        m_bytesRead += block.size();
    }
    return true;
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
