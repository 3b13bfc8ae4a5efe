// The table view at scale: opening it, a new order (of text, and of numbers in F4) and its
// reverse, each when its first rows show and when all are read, a filter, both together, a
// jump to the end and back, memory while every row is scrolled through, and a PDF of 10,000
// records beside the workbook export of the same records.
// Usage: bench_table [records (1000000)] [folder for the data files]
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

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    Bench::useOwnFolders(home);
    QApplication app(argc, argv);
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    const QString folder =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath() + "/ledgerloom-bench";
    const QString made = Bench::makeDataFile(folder, Fields, records);
    const QString file = QFileInfo(made).dir().filePath("table.mdb");
    QFile::remove(file);
    QFile::copy(made, file);
    {
        // F4 a field of numbers, with decimals and signs, in no order of the ids.
        Connection numbers;
        numbers.Open(ConnectionString(file));
        Statement(numbers, "UPDATE CustomTable SET F4 = CAST(((ID * 7919) % 1000003) - 500000 "
                           "AS TEXT) || '.' || CAST(ID % 100 AS TEXT)")
            .run();
        Statement(numbers, "UPDATE FieldControl SET FieldType = 'Number' WHERE fieldname = 'F4'")
            .run();
    }
    const Store store = Store::dataFile(file);
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
    const auto filtered = [&](const QString& text, const QString& what) {
        const double ms = Bench::timeMs([&] {
            table->filterBox(2)->setText(text);
            table->applyFilters();
            readShownRows(*table);
        });
        Bench::report(QStringLiteral("%1: %2").arg(what, table->statusText()), ms, "ms");
    };
    filtered(QStringLiteral("77"), "filter F2 holding 77");
    ordered(5, "filter and order by F5");
    filtered(QString(), "no filter, order by F5");
    const auto filteredF4 = [&](const QString& text, const QString& what) {
        const double ms = Bench::timeMs([&] {
            table->filterBox(4)->setText(text);
            table->applyFilters();
            readShownRows(*table);
        });
        Bench::report(QStringLiteral("%1: %2").arg(what, table->statusText()), ms, "ms");
    };
    filteredF4(QStringLiteral("-1000..250000.5"), "order by F5, filter F4 -1000..250000.5");
    filteredF4(QString(), "no filter");

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
