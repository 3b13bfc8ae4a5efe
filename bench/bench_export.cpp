// The export over 100,000 records of 26 fields: within 1.3× a bare program that reads the same
// rows and writes the same cells with libxlsxwriter in constant-memory mode, in under 100 MB.
// Usage: bench_export [records (100000)] [folder for the data file]
#include "benchsupport.h"

#include "app/messages.h"
#include "export/workbookexport.h"
#include "store/access1.h"
#include "store/connection.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <sqlite3.h>
#include <xlsxwriter.h>

namespace {

constexpr int Fields = 26;

// The least a program can do for the same workbook: one statement, every cell as a string.
void bareExport(const QString& file, const QString& target) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(target).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Reports");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    for (int f = 1; f <= Fields; ++f)
        worksheet_write_string(sheet, 0, lxw_col_t(f - 1), qPrintable(QStringLiteral("F%1").arg(f)),
                               bold);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select * from CustomTable", -1, &stmt, nullptr);
    lxw_row_t row = 1;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int f = 1; f <= Fields; ++f)
            if (sqlite3_column_type(stmt, f) != SQLITE_NULL)
                worksheet_write_string(sheet, row, lxw_col_t(f - 1),
                                       reinterpret_cast<const char*>(sqlite3_column_text(stmt, f)),
                                       nullptr);
        ++row;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    workbook_close(book);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long records = argc > 1 ? std::atol(argv[1]) : 100000;
    const QString folder =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath() + "/ledgerloom-bench";
    const QString file = Bench::makeDataFile(folder, Fields, records);
    QTemporaryDir out;

    Bench::QuietMessages messages;
    Connection connection;
    connection.Open(ConnectionString(file));
    QStringList captions;
    for (int f = 1; f <= Fields; ++f)
        captions << QStringLiteral("F%1").arg(f);
    ExportOptions options;
    options.folder = out.path();
    options.open = [](const QString&) { return true; };

    QTextStream(stdout) << records << " records x " << Fields << " fields\n";
    bareExport(file, out.filePath("warm.xlsx")); // warm the cache
    QFile::remove(out.filePath("warm.xlsx"));
    const double before = Bench::peakMemoryMb();
    std::vector<double> ours, bare;
    double oursPeak = 0;
    for (int run = 0; run < 3; ++run) {
        QString written;
        ours.push_back(Bench::timeMs(
            [&] { written = exportToWorkbook(messages, connection, captions, nullptr, options); }));
        oursPeak = Bench::peakMemoryMb();
        if (run == 0)
            QTextStream(stdout) << "workbook size " << QFileInfo(written).size() / 1024 << " KB\n";
        QFile::remove(written);
        bare.push_back(Bench::timeMs([&] { bareExport(file, out.filePath("bare.xlsx")); }));
        QFile::remove(out.filePath("bare.xlsx"));
    }
    Bench::report("export", Bench::median(ours), "ms", Bench::median(bare),
                  "bare libxlsxwriter, constant memory");
    Bench::report("peak memory (process)", oursPeak, "MB", before, "before the exports");
    return 0;
}
