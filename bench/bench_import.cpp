// The import: 100,000 rows x 26 columns from CSV, into new fields and a second time into those
// fields, beside the sqlite3 shell's own .import of the same file into a plain table, and the
// largest Access table at hand beside mdb-export piped into that .import (target: ratio <= 1.5 for
// both). Both sides write a new file with the same journal and sync settings, in the same run;
// medians of 3 (Access: 5) runs. The undo and redo of the CSV import (Edit > Undo, Redo) beside
// the import itself (target: ratio <= 2). An Access file that is not there skips that part.
// Usage: bench_import [rows (100000)] [folder] [Access file] [table]
#include "benchsupport.h"

#include "import/importcommand.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fieldchange.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <cstdio>

namespace {
constexpr int Columns = 26;

// Short texts, some of them quoted with a separator or a quote inside, as real files have.
QString makeCsv(const QString& folder, long rows) {
    const QString path = folder + QStringLiteral("/import-%1x%2.csv").arg(rows).arg(Columns);
    if (QFile::exists(path))
        return path;
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    for (int c = 1; c <= Columns; ++c)
        std::fprintf(out, c < Columns ? "Column %d," : "Column %d\r\n", c);
    for (long r = 1; r <= rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            std::fprintf(out, c % 5 == 0 ? "\"Value %ld, \"\"%d\"\"\"%s" : "Value %ld of %d%s", r,
                         c, c < Columns ? "," : "\r\n");
    std::fclose(out);
    return path;
}

// A new data file with no fields, as the blank template is.
QString freshDataFile(const QString& folder) {
    const QString path = folder + QStringLiteral("/import-target.mdb");
    QFile::remove(path);
    QFile::copy(Bench::makeDataFile(folder, 0, 0), path);
    return path;
}

void importInto(const QString& target, const QString& source, const QString& table,
                ImportResult* done = nullptr, Connection* into = nullptr) {
    Bench::QuietMessages messages;
    Connection own;
    Connection& connection = into ? *into : own;
    if (!into)
        connection.Open(ConnectionString(target));
    const auto runNow = [](const QString&, const std::function<void()>& work,
                           const std::function<void()>&) {
        work();
        return true;
    };
    if (importFile(messages, connection, source, table, runNow, {}, QString(), done) < 0)
        std::fprintf(stderr, "the import failed\n");
}

// Into a new data file, whose fields the import makes; or, intoFields, a second time into the
// fields the first import made (columns matched by name), only the second one timed.
double ours(const QString& folder, const QString& source, const QString& table,
            bool intoFields = false) {
    const QString target = freshDataFile(folder);
    if (intoFields)
        importInto(target, source, table);
    return Bench::timeMs([&] { importInto(target, source, table); });
}

// The import into a new data file taken back and made again as the record window does.
void undoAndRedo(const QString& folder, const QString& source, double& undoMs, double& redoMs) {
    const QString target = freshDataFile(folder);
    Connection connection;
    connection.Open(ConnectionString(target));
    ImportResult done;
    importInto(target, source, QString(), &done, &connection);
    FieldChange change = FieldChange::imported(std::move(done.idRuns), std::move(done.fieldsAdded));
    undoMs = Bench::timeMs([&] { change.undo(connection); });
    redoMs = Bench::timeMs([&] { change.redo(connection); });
}

// The sqlite3 shell's .import of a CSV file (or of a command's output: producer, then "-")
// into a plain table of a new file.
double shell(const QString& folder, const QString& producer, const QString& file) {
    const QString target = folder + QStringLiteral("/import-baseline.db");
    QFile::remove(target);
    const QString script =
        (producer.isEmpty() ? QString() : producer + QStringLiteral(" | ")) +
        QStringLiteral("sqlite3 '%1' \".import --csv '%2' t\"").arg(target, file);
    return Bench::timeMs([&] {
        if (QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), script}) != 0)
            std::fprintf(stderr, "the baseline failed: %s\n", qPrintable(script));
    });
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("LEDGERLOOM_ACCESS_READER")) // not beside this program
        qputenv("LEDGERLOOM_ACCESS_READER", LEDGERLOOM_ACCESS_READER);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const QString folder =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath() + "/ledgerloom-bench";
    const QString access = argc > 3 ? QString::fromLocal8Bit(argv[3])
                                    : QStringLiteral(LEDGERLOOM_TEST_DATA "/nwind.mdb");
    const QString table = argc > 4 ? QString::fromLocal8Bit(argv[4]) : "Order Details";
    QDir().mkpath(folder);
    const QString csv = makeCsv(folder, rows);
    QTextStream(stdout) << "CSV: " << rows << " rows x " << Columns << " columns, "
                        << QFileInfo(csv).size() / 1024 << " KB" << Qt::endl;
    std::vector<double> ourCsv, intoFields, shellCsv, undoCsv, redoCsv, ourAccess, shellAccess;
    for (int run = 0; run < 3; ++run) {
        ourCsv.push_back(ours(folder, csv, QString()));
        intoFields.push_back(ours(folder, csv, QString(), true));
        shellCsv.push_back(shell(folder, QString(), csv));
        undoAndRedo(folder, csv, undoCsv.emplace_back(), redoCsv.emplace_back());
    }
    Bench::report("import CSV", Bench::median(ourCsv), "ms", Bench::median(shellCsv),
                  "sqlite3 .import");
    Bench::report("import CSV into the fields there", Bench::median(intoFields), "ms",
                  Bench::median(shellCsv), "sqlite3 .import");
    Bench::report("undo the CSV import", Bench::median(undoCsv), "ms", Bench::median(ourCsv),
                  "import CSV");
    Bench::report("redo the CSV import", Bench::median(redoCsv), "ms", Bench::median(ourCsv),
                  "import CSV");
    if (!QFile::exists(access))
        return 0;
    QTextStream(stdout) << "Access: table '" << table << "' of " << access << Qt::endl;
    for (int run = 0; run < 5; ++run) {
        ourAccess.push_back(ours(folder, access, table));
        shellAccess.push_back(shell(folder,
                                    QStringLiteral("mdb-export '%1' '%2'").arg(access, table),
                                    QStringLiteral("/dev/stdin")));
    }
    Bench::report("import Access table", Bench::median(ourAccess), "ms", Bench::median(shellAccess),
                  "mdb-export | sqlite3 .import");
    return 0;
}
