#pragma once

#include "import/importer.h"
#include "import/tablesource.h"
#include "import/textdecoding.h"

#include <QFile>
#include <memory>
#include <string>

struct csv_parser;

// A CSV file (RFC 4180: quoted values may hold separators, quotes and line breaks) read with
// libcsv. The first row names the columns. The text is in the encoding named, or in the one
// TextDecoding finds; a quote inside an unquoted value is a character. The separator is the
// one of comma, semicolon and tab that the header row uses most. An empty
// unquoted value reads as missing, a quoted "" as the empty text. A row is refused when it has
// more values than there is room for (the header) or than the header names (the others); the
// values past that are counted, not kept, so a row of millions of values takes little memory.
class CsvSource : public TableSource {
  public:
    // Opens the file and reads its header; raises a run-time error when it cannot.
    // The encoding is found from the file unless one is named.
    CsvSource(const QString& path, const FieldRoom& room, const QString& encoding = QString());
    ~CsvSource() override;
    CsvSource(const CsvSource&) = delete;
    CsvSource& operator=(const CsvSource&) = delete;

    QString label() const override { return m_label; }
    const std::vector<SourceColumn>& columns() const override { return m_columns; }
    bool next(std::vector<SourceCell>& cells) override;
    QString howRead() const override;

    char separator() const { return m_separator; }
    // The encoding the file is read in, as the converter names it ("UTF-8", "WINDOWS-1252").
    QString encoding() const { return m_decoding->encoding(); }

    // Called by the parser.
    void addValue(const void* data, size_t size);
    void endRow();

  private:
    struct Value {
        size_t offset;
        size_t size;
        bool missing;
    };
    struct RowEnd {
        size_t end;   // past its last value kept
        size_t width; // its values, kept or not
    };
    // Parses blocks until a whole row is waiting; false when the file has no more rows.
    bool parseUntilRow();
    void dropRowsHandedOut();
    QByteArray readBlock();
    void readHeader(const FieldRoom& room);
    [[noreturn]] void fail(const QString& problem) const;

    QFile m_file;
    QString m_label;
    // Freed also when the constructor fails half way: the header may already be parsed.
    struct FreeParser {
        void operator()(csv_parser* parser) const;
    };
    std::unique_ptr<csv_parser, FreeParser> m_parser;
    std::unique_ptr<TextDecoding> m_decoding;
    QByteArray m_firstBlock; // read for the separator, parsed first
    char m_separator = ',';
    bool m_atEnd = false;
    qint64 m_textRead = 0;
    long m_row = 0; // rows handed out, the header included
    std::vector<SourceColumn> m_columns;

    // Rows parsed and not yet handed out: their bytes, their values, where each row ends.
    std::string m_bytes;
    std::vector<Value> m_values;
    std::vector<RowEnd> m_rowEnds;
    size_t m_nextRow = 0;
    size_t m_rowWidth = 0; // values of the row being parsed
    size_t m_widest;       // values kept of a row
};
