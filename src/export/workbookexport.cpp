#include "export/workbookexport.h"

#include "app/errortrap.h"
#include "app/longwork.h"
#include "app/messages.h"
#include "export/columnfit.h"
#include "store/connection.h"
#include "store/recordbatches.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <atomic>
#include <cstdio>
#include <limits>
#include <memory>
#include <xlsxwriter.h>

namespace {
constexpr qint64 WriteError = 75; // path/file access error
const QString SheetName = QStringLiteral("Reports");

[[noreturn]] void cannotWrite(const QString& path, const QString& why) {
    throw RuntimeError(WriteError,
                       QStringLiteral("The workbook could not be written to \"%1\": %2. Nothing "
                                      "was exported; check that the folder exists, that you may "
                                      "write there and that the disk has room.")
                           .arg(QDir::toNativeSeparators(path), why));
}

qint64 countRecords(Connection& connection) {
    Statement count(connection, Sql::CountRecords);
    count.step();
    return count.columnInt64(0);
}

// "Reports 2026-12-06 10-15-30.xlsx", or with " (2)" and on when that name is taken.
QString freeName(const QString& folder, int attempt) {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    const QString base = SheetName + QLatin1Char(' ') + stamp;
    const QString name = attempt == 1 ? base : base + QStringLiteral(" (%1)").arg(attempt);
    return QDir(folder).filePath(name + QStringLiteral(".xlsx"));
}

// Moves the finished workbook to its name; never replaces an existing file.
QString publish(const QString& written, const QString& folder) {
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString target = freeName(folder, attempt);
        if (!QFile::exists(target) && QFile::rename(written, target))
            return target;
    }
    cannotWrite(folder, QStringLiteral("no free file name was found"));
}

// A workbook being written under a temporary name; dropped unless finished, so a cancelled or
// failed export leaves no file behind.
class PendingWorkbook {
  public:
    explicit PendingWorkbook(const QString& folder) {
        QTemporaryFile reserve(
            QDir(folder).filePath(QStringLiteral(".%1-XXXXXX.part").arg(SheetName)));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            cannotWrite(folder, reserve.errorString());
        m_path = reserve.fileName();
        reserve.close();
        m_tmpdir = QFile::encodeName(folder);
        lxw_workbook_options options{};
        // Each row goes to disk as soon as the next one starts: memory stays flat.
        options.constant_memory = LXW_TRUE;
        options.tmpdir = m_tmpdir.data();
        m_book = workbook_new_opt(QFile::encodeName(m_path).constData(), &options);
        if (m_book)
            m_sheet = workbook_add_worksheet(m_book, SheetName.toUtf8().constData());
        if (!m_sheet) {
            drop();
            cannotWrite(folder, QStringLiteral("the workbook could not be started"));
        }
        m_bold = workbook_add_format(m_book);
        format_set_bold(m_bold);
    }
    ~PendingWorkbook() { drop(); }
    PendingWorkbook(const PendingWorkbook&) = delete;
    PendingWorkbook& operator=(const PendingWorkbook&) = delete;

    lxw_worksheet* sheet() const { return m_sheet; }
    lxw_format* bold() const { return m_bold; }

    // Writes the file and moves it to a free name in the folder; returns that name.
    QString finishAs(const QString& folder) {
        // Rows go to a scratch file whose write errors the library does not check: a full
        // disk would otherwise leave a workbook cut off without a word.
        if (FILE* rows = m_sheet->optimize_tmpfile;
            rows && (std::fflush(rows) != 0 || std::ferror(rows)))
            cannotWrite(m_path, QStringLiteral("the disk is full or refused a write"));
        const lxw_error result = workbook_close(std::exchange(m_book, nullptr));
        if (result != LXW_NO_ERROR)
            cannotWrite(m_path, QString::fromUtf8(lxw_strerror(result)));
        const QString target = publish(m_path, folder);
        m_path.clear();
        return target;
    }

  private:
    void drop() {
        if (m_book)
            lxw_workbook_free(std::exchange(m_book, nullptr));
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }

    QString m_path;
    QByteArray m_tmpdir;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr;
};

// Writes a text cell; true when the text was longer than a cell holds and was cut.
bool writeCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const char* text, int bytes,
               lxw_format* format) {
    const std::string cut = ColumnFit::fitCellLimit(text, bytes);
    const lxw_error result =
        worksheet_write_string(sheet, row, column, cut.empty() ? text : cut.c_str(), format);
    if (result != LXW_NO_ERROR)
        throw RuntimeError(ErrorNumber::General, QString::fromUtf8(lxw_strerror(result)));
    return !cut.empty();
}

// "2 values of Notes, 1 value of Body", for the fields whose values were cut.
QString cutValuesText(const QStringList& captions, const std::vector<qint64>& cut) {
    QStringList parts;
    for (size_t j = 0; j < cut.size(); ++j)
        if (cut[j] > 0)
            parts << QStringLiteral("%L1 %2 of %3")
                         .arg(cut[j])
                         .arg(cut[j] == 1 ? QStringLiteral("value") : QStringLiteral("values"),
                              captions.value(qsizetype(j)));
    return parts.join(QStringLiteral(", "));
}

// Copies the records in id order, a batch per turn. False when the user cancelled.
bool writeRecords(Connection& connection, PendingWorkbook& book, ColumnFit& fit,
                  const QStringList& captions, qint64 total, const ExportOptions& options,
                  const std::atomic<bool>& cancelled, std::vector<qint64>& cutPerField) {
    RecordBatches records(connection, captions, options.batchRecords);
    lxw_row_t row = 1;
    const auto writeRecord = [&](const BatchRecord& record) {
        for (int j = 0; j < int(captions.size()); ++j) {
            if (record.isNull(j))
                continue;
            const std::string_view text = record.text(j);
            if (writeCell(book.sheet(), row, lxw_col_t(j), text.data(), int(text.size()), nullptr))
                ++cutPerField[size_t(j)];
            fit.measure(j, text.data(), int(text.size()));
        }
        ++row;
    };
    // Records added meanwhile wait for the next export; a batch that reads none is the end.
    for (qint64 written = 0; written < total;) {
        if (cancelled)
            return false;
        const int read = records.readBatch(writeRecord);
        if (read == 0)
            break;
        written += read;
    }
    return !cancelled;
}

// Writes the workbook into the folder and returns its name; the empty text when cancelled.
QString writeWorkbook(Connection& connection, const QStringList& captions, qint64 total,
                      const QString& folder, const ExportOptions& options,
                      const std::atomic<bool>& cancelled, std::vector<qint64>& cutPerField) {
    PendingWorkbook book(folder);
    lxw_worksheet* sheet = book.sheet();
    worksheet_set_landscape(sheet);
    ColumnFit fit(int(captions.size()));
    for (int i = 0; i < captions.size(); ++i) {
        const QByteArray heading = captions[i].toUtf8();
        writeCell(sheet, 0, lxw_col_t(i), heading.constData(), int(heading.size()), book.bold());
        fit.measureHeading(i, heading.constData(), int(heading.size()));
    }
    if (!writeRecords(connection, book, fit, captions, total, options, cancelled, cutPerField))
        return QString();
    // Like AutoFit after the last value: only when the sheet received records.
    if (total > 0)
        for (int i = 0; i < captions.size(); ++i)
            worksheet_set_column(sheet, lxw_col_t(i), lxw_col_t(i), fit.width(i), nullptr);
    worksheet_set_selection(sheet, 4, 2, 4, 2); // C5
    worksheet_activate(sheet);
    return book.finishAs(folder);
}

// Shows the wait pointer over the whole program while it lives.
struct WaitPointer {
    WaitPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitPointer() { QApplication::restoreOverrideCursor(); }
};

bool openWithDesktop(const QString& file) {
    return desktopOpens(QStringLiteral(
               "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")) &&
           QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

// Where users keep their files; the temporary folder only when there is none.
QString defaultFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir().mkpath(documents))
        return documents;
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

} // namespace

bool desktopOpens(const QString& mimeType) {
#ifdef Q_OS_UNIX
    // xdg-open hands the file on and ends well before a missing program shows: ask first.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForStarted(2000))
        return true; // no xdg-mime: the desktop's own services decide
    query.waitForFinished(5000);
    return !query.readAllStandardOutput().trimmed().isEmpty();
#else
    Q_UNUSED(mimeType);
    return true;
#endif
}

bool sheetHolds(qint64 recordCount, qint64 limit) {
    return recordCount <= limit;
}

QString exportToWorkbook(MessageService& messages, Connection& connection,
                         const QStringList& captions, QWidget* parent,
                         const ExportOptions& options) {
    // Going on after a failed step would only write a broken workbook: each step runs only
    // when the one before it succeeded.
    ErrorTrap trap(messages, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    const QString folder = options.folder.isEmpty() ? defaultFolder() : options.folder;
    std::vector<qint64> cutPerField(size_t(captions.size()), 0);
    qint64 total = 0;
    QString file;
    std::atomic<bool> cancelled = false;
    bool finished = false;
    // Counting waits like any read for another program's lock: it is long work too.
    const bool written = trap([&] {
        WaitPointer wait;
        finished = runLongWork(
            parent, QStringLiteral("Exporting the records to a workbook..."),
            [&] {
                total = countRecords(connection);
                if (sheetHolds(total, options.maxRecords))
                    file = writeWorkbook(connection, captions, total, folder, options, cancelled,
                                         cutPerField);
            },
            [&] {
                cancelled = true;
                connection.interrupt();
            });
    });
    if (written && finished && !sheetHolds(total, options.maxRecords))
        messages.tell(QStringLiteral("There are %L1 records, but a worksheet holds at most %L2 "
                                     "below its heading row. Nothing was exported.")
                          .arg(total)
                          .arg(options.maxRecords));
    if (!written || !finished || file.isEmpty())
        return {};
    // A cell holds 32,767 characters; the user learns which values are not whole.
    if (const QString cut = cutValuesText(captions, cutPerField); !cut.isEmpty())
        messages.tell(QStringLiteral("The workbook \"%1\" holds only the first 32,767 "
                                     "characters of values that were longer: %2.")
                          .arg(QDir::toNativeSeparators(file), cut));
    trap([&] {
        const auto open = options.open ? options.open : openWithDesktop;
        if (!open(file))
            messages.tell(QStringLiteral("The workbook was saved as \"%1\", but no program to "
                                         "open it was found. You can open it from that folder.")
                              .arg(QDir::toNativeSeparators(file)));
    });
    return file;
}
