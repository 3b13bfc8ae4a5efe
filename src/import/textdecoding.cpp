#include "import/textdecoding.h"

#include "app/runtimeerror.h"

#include <QDir>
#include <cerrno>
#include <iconv.h>
#include <uchardet/uchardet.h>

namespace {
const QString Utf8 = QStringLiteral("UTF-8");
const QString Windows1252 = QStringLiteral("WINDOWS-1252");

iconv_t handle(void* converter) {
    return static_cast<iconv_t>(converter);
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

// Whether the bytes are UTF-8, a character cut at their end allowed.
bool isUtf8Start(const QByteArray& bytes) {
    qsizetype end = bytes.size();
    if (endsInsideCharacter(bytes.right(3)))
        while (end > 0 && (quint8(bytes[end - 1]) & 0xC0) == 0x80)
            --end;
    if (end > 0 && endsInsideCharacter(bytes.first(end).right(1)))
        --end;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(decoder.decode(QByteArrayView(bytes).first(end)));
    return !decoder.hasError();
}

QString guessEightBit(const QByteArray& bytes) {
    uchardet_t detector = uchardet_new();
    uchardet_handle_data(detector, bytes.constData(), size_t(bytes.size()));
    uchardet_data_end(detector);
    QString name = QString::fromLatin1(uchardet_get_charset(detector)).toUpper();
    uchardet_delete(detector);
    // Latin-1 text is read as its superset, which spreadsheet programs write.
    if (name.isEmpty() || name == QLatin1String("ASCII") || name == QLatin1String("ISO-8859-1"))
        return Windows1252;
    return name;
}
} // namespace

QString TextDecoding::detect(const QByteArray& start, int* markBytes) {
    *markBytes = 0;
    if (start.startsWith("\xEF\xBB\xBF")) {
        *markBytes = 3;
        return Utf8;
    }
    if (start.startsWith("\xFF\xFE")) {
        *markBytes = 2;
        return QStringLiteral("UTF-16LE");
    }
    if (start.startsWith("\xFE\xFF")) {
        *markBytes = 2;
        return QStringLiteral("UTF-16BE");
    }
    return isUtf8Start(start) ? Utf8 : guessEightBit(start);
}

TextDecoding::TextDecoding(const QString& encoding, const QString& file)
    : m_encoding(encoding.trimmed().toUpper()), m_file(file),
      m_utf8(m_encoding == Utf8 || m_encoding == QLatin1String("UTF8")),
      m_check(QStringDecoder::Utf8) {
    if (m_utf8)
        return;
    const iconv_t converter = iconv_open("UTF-8", m_encoding.toLatin1().constData());
    if (converter == iconv_t(-1))
        throw RuntimeError(ErrorNumber::General,
                           QStringLiteral("The encoding '%1' is not known. Known are, for "
                                          "instance, UTF-8, UTF-16, WINDOWS-1252 and ISO-8859-15.")
                               .arg(encoding));
    m_iconv = converter;
}

TextDecoding::~TextDecoding() {
    if (m_iconv)
        iconv_close(handle(m_iconv));
}

void TextDecoding::fail(const QString& problem) const {
    throw RuntimeError(
        ErrorNumber::General,
        QStringLiteral("The file '%1' %2").arg(QDir::toNativeSeparators(m_file), problem));
}

QByteArray TextDecoding::decode(const QByteArray& block) {
    const qint64 offset = m_offset;
    m_offset += block.size();
    if (m_utf8) {
        // Decoded into a buffer kept between blocks: only the decoder's verdict is wanted.
        m_decoded.resize(size_t(m_check.requiredSpace(block.size())));
        m_check.appendToBuffer(m_decoded.data(), block);
        m_tail = block.right(3);
        if (m_check.hasError())
            fail(QStringLiteral("is not UTF-8 text: bytes %L1 to %L2 hold bytes that are not "
                                "valid UTF-8. Save it as UTF-8, or name its encoding, and import "
                                "it again.")
                     .arg(offset + 1)
                     .arg(offset + block.size()));
        return block;
    }
    QByteArray in = m_pending + block;
    QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
    char* from = in.data();
    size_t fromLeft = size_t(in.size());
    char* to = out.data();
    size_t toLeft = size_t(out.size());
    if (iconv(handle(m_iconv), &from, &fromLeft, &to, &toLeft) == size_t(-1) && errno != EINVAL)
        fail(QStringLiteral("is not %1 text: byte %L2 is no character of that encoding.")
                 .arg(m_encoding)
                 .arg(offset - m_pending.size() + (from - in.data()) + 1));
    m_pending = QByteArray(from, qsizetype(fromLeft));
    out.truncate(to - out.data());
    return out;
}

void TextDecoding::finish() {
    if (!m_pending.isEmpty() || (m_utf8 && endsInsideCharacter(m_tail)))
        fail(QStringLiteral("is not %1 text: it ends inside a character.").arg(m_encoding));
}
