#include "export/csvexport.h"

#include "app/numbers.h"
#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/recordbatches.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>
#include <csv.h>
#include <memory>

namespace {
// Records read per statement.
constexpr int ExportBatch = 2000;

constexpr qint64 WriteError = 75; // path/file access error

[[noreturn]] void cannotWrite(const QString& path, const QString& why) {
    throw RuntimeError(WriteError, QStringLiteral("The CSV file '%1' could not be written: %2. "
                                                  "Nothing was exported.")
                                       .arg(QDir::toNativeSeparators(path), why));
}

// A check box's 1 and 0 as the words a reader expects; the import turns them back.
const char* yesNoWord(const QByteArray& stored) {
    return leadingNumber(QString::fromUtf8(stored)) == 1.0 ? "Yes" : "No";
}

// Rows are gathered here and written a block at a time.
class CsvWriter {
  public:
    explicit CsvWriter(QSaveFile& file) : m_file(file) {}
    void value(const char* text, size_t size, bool first) {
        if (!first)
            m_block += ',';
        if (!text)
            return;
        const size_t start = m_block.size();
        m_block.resize(start + 2 * size + 2);
        m_block.resize(start + csv_write(m_block.data() + start, 2 * size + 2, text, size));
    }
    void endRow() {
        m_block += "\r\n";
        if (m_block.size() > (1 << 18))
            flush();
    }
    void flush() {
        if (m_file.write(m_block.data(), qint64(m_block.size())) != qint64(m_block.size()))
            cannotWrite(m_file.fileName(), m_file.errorString());
        m_block.clear();
    }

  private:
    QSaveFile& m_file;
    std::string m_block;
};
} // namespace

long exportCsv(Connection& connection, const QString& path, CsvFields fields,
               const std::atomic<bool>* cancelled) {
    const std::vector<FieldDefinition> definitions = readFieldDefinitions(connection);
    const int first = fields.page < 0 ? 0 : fields.page * FieldsPerPage;
    const int last = fields.page < 0 ? int(definitions.size())
                                     : std::min(int(definitions.size()), first + FieldsPerPage);
    QSaveFile file(path);
    const bool replacing = QFileInfo::exists(path);
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(path, file.errorString());
    // The records are the user's own: a new file is for the user alone; one replaced keeps the
    // permissions it had.
    if (!replacing)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    CsvWriter out(file);
    QStringList names;
    std::vector<bool> checkbox;
    for (int k = first; k < last; ++k) {
        const QByteArray name = definitions[size_t(k)].name.toUtf8();
        out.value(name.constData(), size_t(name.size()), k == first);
        names << definitions[size_t(k)].name;
        checkbox.push_back(definitions[size_t(k)].type.compare(QLatin1String("Checkbox"),
                                                               Qt::CaseInsensitive) == 0);
    }
    out.endRow();
    // A batch at a time: a server hands over a statement's rows all at once.
    RecordBatches records(connection, names, ExportBatch);
    long rows = 0;
    const auto writeRecord = [&](const BatchRecord& record) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            throw RuntimeError(ErrorNumber::General, QStringLiteral("The export was cancelled."));
        for (int j = 0; j < int(names.size()); ++j) {
            const std::string_view value = record.text(j);
            const char* text = record.isNull(j) ? nullptr : value.data();
            size_t size = value.size();
            if (checkbox[size_t(j)] && text) {
                text = yesNoWord(QByteArray(text, qsizetype(size)));
                size = std::strlen(text);
            }
            out.value(text, size, j == 0);
        }
        out.endRow();
    };
    while (const int read = records.readBatch(writeRecord))
        rows += read;
    out.flush();
    if (!file.commit())
        cannotWrite(path, file.errorString());
    return rows;
}
