#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <vector>

// Turns the bytes of a text file, block by block, into UTF-8. The encoding is given, or found
// from the file's start: a byte order mark (UTF-8, UTF-16), else UTF-8 when the start is valid
// UTF-8, else what the character set detector (uchardet) makes of it, Windows-1252 (what
// spreadsheet programs on Windows write) when it cannot tell. Faults are raised as run-time
// errors that name the file and the bytes.
class TextDecoding {
  public:
    // The encoding of the file whose first bytes these are; how many of them are a byte order
    // mark to skip.
    static QString detect(const QByteArray& start, int* markBytes);

    // Raises an error naming the encoding when the converter does not know it.
    TextDecoding(const QString& encoding, const QString& file);
    ~TextDecoding();
    TextDecoding(const TextDecoding&) = delete;
    TextDecoding& operator=(const TextDecoding&) = delete;

    QString encoding() const { return m_encoding; }
    // The next block as UTF-8; a character cut at the block's end is completed by the next.
    QByteArray decode(const QByteArray& block);
    // Raises an error when the file ended inside a character.
    void finish();

  private:
    [[noreturn]] void fail(const QString& problem) const;

    QString m_encoding;
    QString m_file;
    bool m_utf8;
    QStringDecoder m_check; // UTF-8 is only checked, never copied
    void* m_iconv = nullptr;
    std::vector<QChar> m_decoded;
    QByteArray m_tail;    // the last bytes of UTF-8, to tell a character cut off at the end
    QByteArray m_pending; // the start of a character cut at a block's end
    qint64 m_offset = 0;  // bytes decoded so far
};
