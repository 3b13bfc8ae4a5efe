// The table view at scale: opening it, a new order (of text, and of numbers in F4) and its
// reverse, each when its first rows show and when all are read, a filter, both together, a
// jump to the end and back, memory while every row is scrolled through, and a PDF of 10,000
// records beside the workbook export of the same records. With --server, the same on a
// PostgreSQL server this program starts itself (without the PDF).
// Usage: bench_table [--server] [records (1000000)] [folder for the data files]
#include "benchsupport.h"

#include "app/recordwindowlink.h"
#include "export/workbookexport.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/statement.h"
#include "store/store.h"
#include "table/tablerecords.h"
#include "table/tablereports.h"
#include "table/tablewindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#ifdef LEDGERLOOM_BENCH_SERVER
#include "support/testserver.h"
#endif

namespace {

constexpr int Fields = 26;

// Reads the values of the rows the view shows, as painting them does.
void readShownRows(TableWindow& table) {
    QCoreApplication::processEvents();
    const QTableView* view = table.view();
    const QAbstractItemModel* model = view->model();
    const int first = std::max(0, view->rowAt(0));
    const int last = view->rowAt(view->viewport()->height() - 1);
    for (int r = first; r <= (last < 0 ? model->rowCount() - 1 : last); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            model->data(model->index(r, c));
}

// Reads the values of the first rows, as painting a new order's first rows does.
void readFirstRows(const TableWindow& table) {
    const QAbstractItemModel* model = table.view()->model();
    for (int r = 0; r < std::min(model->rowCount(), 60); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            model->data(model->index(r, c));
}

QString firstValue(const TableWindow& table, int column) {
    return table.view()->model()->index(0, column).data().toString();
}

// The F4 of the record with this id: a number with decimals and a sign, in no order of the ids.
QString numberOf(const QString& id) {
    return QStringLiteral("CAST(((%1 * 7919) % 1000003) - 500000 AS TEXT) || '.' || "
                          "CAST(%1 % 100 AS TEXT)")
        .arg(id);
}

#ifdef LEDGERLOOM_BENCH_SERVER
// A server of this program's own with the records made by the server itself, F4 numbers. The
// connection string.
QString serverWithRecords(long records) {
    TestServer& server = TestServer::shared();
    server.addSettings("shared_buffers = 256MB\nmaintenance_work_mem = 512MB\nwork_mem = 16MB\n"
                       "effective_cache_size = 4GB\nmax_wal_size = 4GB");
    QString why;
    if (!server.available(&why))
        qFatal("no server: %s", qPrintable(why));
    const QString address = server.newDatabase();
    Bench::makeServerRecords(address, Fields, records, [](int f) {
        if (f == 4)
            return Bench::ServerField{numberOf(QStringLiteral("n::bigint")),
                                      QStringLiteral("Number")};
        return Bench::ServerField{QStringLiteral("'Value ' || n || ' of field %1'").arg(f)};
    });
    return address;
}
#endif

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    Bench::useOwnFolders(home);
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool onServer = arguments.removeAll(QStringLiteral("--server")) > 0;
    const long records = arguments.size() > 0 ? arguments[0].toLong() : 1000000;
    const QString folder =
        arguments.size() > 1 ? arguments[1] : QDir::tempPath() + "/ledgerloom-bench";
    QString file;
    std::optional<Store> chosen;
    if (onServer) {
#ifdef LEDGERLOOM_BENCH_SERVER
        QElapsedTimer making;
        making.start();
        chosen = Store::server(serverWithRecords(records));
        std::printf("%ld records x %d fields on the server, made in %.1f s\n", records, Fields,
                    double(making.elapsed()) / 1000);
#else
        qFatal("--server needs the tests' support: build with the tests");
#endif
    } else {
        const QString made = Bench::makeDataFile(folder, Fields, records);
        file = QFileInfo(made).dir().filePath("table.mdb");
        QFile::remove(file);
        QFile::copy(made, file);
        Connection numbers;
        numbers.Open(ConnectionString(file));
        Statement(numbers, "UPDATE CustomTable SET F4 = " + numberOf(QStringLiteral("ID"))).run();
        Statement(numbers, "UPDATE FieldControl SET FieldType = 'Number' WHERE fieldname = 'F4'")
            .run();
        chosen = Store::dataFile(file);
    }
    const Store store = *chosen;
    Bench::QuietMessages messages;
    Bench::NoRecordWindow link;

    const double before = Bench::currentMemoryMb();
    TableWindow* table = nullptr;
    const double open = Bench::timeMs([&] {
        table = new TableWindow(messages, store, link);
        table->show();
        readShownRows(*table);
    });
    Bench::report(QStringLiteral("open, %1 records, first rows shown").arg(records), open, "ms");
    // The time until the first rows of the order show, and until every id is read.
    const auto ordered = [&](int section, const QString& what) {
        double first = -1;
        QElapsedTimer clock;
        const auto shown =
            QObject::connect(table->view()->model(), &QAbstractItemModel::modelReset, [&] {
                if (first >= 0)
                    return;
                readFirstRows(*table);
                first = double(clock.nsecsElapsed()) / 1e6;
            });
        clock.start();
        const double ms = Bench::timeMs([&] {
            table->headingClicked(section);
            readShownRows(*table);
        });
        QObject::disconnect(shown);
        Bench::report(QStringLiteral("%1, first rows shown").arg(what), first, "ms");
        Bench::report(QStringLiteral("%1, all (first: %2)").arg(what, firstValue(*table, section)),
                      ms, "ms");
    };
    ordered(3, "order by F3");
    ordered(3, "order by F3 reversed");
    ordered(4, "order by F4, numbers");
    ordered(4, "order by F4 reversed");
    ordered(0, "order by id");
    const auto filtered = [&](int column, const QString& text, const QString& what) {
        const double ms = Bench::timeMs([&] {
            table->filterBox(column)->setText(text);
            table->applyFilters();
            readShownRows(*table);
        });
        Bench::report(QStringLiteral("%1: %2").arg(what, table->statusText()), ms, "ms");
    };
    filtered(2, QStringLiteral("77"), "filter F2 holding 77");
    ordered(5, "filter and order by F5");
    filtered(2, QString(), "no filter, order by F5");
    filtered(4, QStringLiteral("-1000..250000.5"), "order by F5, filter F4 -1000..250000.5");
    filtered(4, QString(), "no filter");

    QScrollBar* bar = table->view()->verticalScrollBar();
    std::vector<double> jumps;
    for (int run = 0; run < 5; ++run)
        for (int to : {bar->maximum(), bar->minimum()})
            jumps.push_back(Bench::timeMs([&] {
                bar->setValue(to);
                readShownRows(*table);
            }));
    Bench::report("jump to the end or the start, rows shown", Bench::median(jumps), "ms");

    const double opened = Bench::currentMemoryMb();
    double highest = opened;
    const int page = std::max(1, bar->pageStep());
    for (int at = 0; at <= bar->maximum(); at += page * 8) {
        bar->setValue(at);
        readShownRows(*table);
        highest = std::max(highest, Bench::currentMemoryMb());
    }
    Bench::report("memory, table open", opened - before, "MB");
    Bench::report("memory, most while scrolling through every row", highest - before, "MB");

    if (onServer) {
        delete table;
        return messages.shown == 0 ? 0 : 1;
    }
    // A PDF of 10,000 records (all pages, every column) beside the workbook export of the same
    // records, both read from their data file.
    const long pdfRecords = std::min(records, 10000L);
    const QString pdfSource = QFileInfo(file).dir().filePath("table-pdf.mdb");
    QFile::remove(pdfSource);
    QFile::copy(Bench::makeDataFile(folder, Fields, pdfRecords), pdfSource);
    Connection connection;
    connection.Open(ConnectionString(pdfSource));
    QTemporaryDir out;
    ExportOptions options;
    options.folder = out.path();
    options.open = [](const QString&) { return true; };
    const double workbookMs = Bench::timeMs([&] {
        exportToWorkbook(messages, connection, Bench::fieldNames(Fields), nullptr, options);
    });
    const QString pdf = out.filePath("table.pdf");
    TableRecords shown;
    const double pdfMs = Bench::timeMs([&] {
        shown.show(Store::dataFile(pdfSource), TableQuery{},
                   TableRecords::readContent(connection, TableQuery{}));
        writePdf(pdf, listReport(shown));
    });
    Bench::report(QStringLiteral("PDF of %1 records (%2 MB)")
                      .arg(shown.rowCount())
                      .arg(double(QFileInfo(pdf).size()) / 1e6, 0, 'f', 1),
                  pdfMs, "ms", workbookMs, "workbook export of the same records");
    delete table;
    QFile::remove(pdfSource);
    QFile::remove(file);
    return messages.shown == 0 ? 0 : 1;
}
