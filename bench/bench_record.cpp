// The record window on a large table: stepping through records, switching pages and the
// first showing of the window, each beside a baseline measured in the same run.
//   bench_record [folder] [records]
#include "app/messages.h"
#include "app/paths.h"
#include "benchsupport.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordcursor.h"
#include "store/store.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    Bench::useOwnFolders(home);
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? argv[1] : "/tmp/ledgerloom-bench";
    const long records = argc > 2 ? std::atol(argv[2]) : 1000000;
    const QString source = Bench::makeDataFile(folder, 30, records);
    const AppPaths paths{QCoreApplication::applicationDirPath(),
                         SpecialFolderPath(CommonAppDataFolder)};
    QDir().mkpath(paths.dataFolder());
    QFile::link(source, paths.dataFile());
    QTextStream(stdout) << "records: " << records << ", fields: 30" << Qt::endl;

    // Baseline: opening the records and reading the first one, without a window.
    const Store store = Store::dataFile(paths.dataFile());
    const double openMs = Bench::medianMs(3, [&] {
        Connection connection;
        connection.Open(store.connectionString());
        RecordCursor records;
        records.Open(connection);
        records.Fields("F1").Value();
    });

    Bench::QuietMessages messages;
    Form1* window = nullptr;
    double constructMs = 0, loadMs = 0, buildMs = 0;
    const double showMs = Bench::timeMs([&] {
        constructMs = Bench::timeMs([&] { window = new Form1(messages, paths, store); });
        loadMs = Bench::timeMs([&] { window->Form_Load(); });
        buildMs = Bench::timeMs([&] {
            window->show();
            Bench::waitUntilBuilt(*window);
        });
    });
    QTextStream(stdout) << "  construct " << constructMs << " ms, load " << loadMs
                        << " ms, show and build " << buildMs << " ms" << Qt::endl;

    auto* tabs = window->findChild<QTabWidget*>("SSTab1");
    std::vector<double> pageSwitch;
    for (int i = 0; i < 20; ++i)
        pageSwitch.push_back(Bench::timeMs([&] {
            tabs->setCurrentIndex(i % 2 == 0 ? 1 : 0);
            QCoreApplication::processEvents();
        }));
    tabs->setCurrentIndex(0);
    QCoreApplication::processEvents();
    // Refresh Fields: the page built again and the records opened afresh.
    const double rebuildMs = Bench::medianMs(5, [&] { window->PushButton4_Click(); });

    std::vector<double> next, previous;
    for (int i = 0; i < 300; ++i)
        next.push_back(Bench::timeMs([&] { window->PushButton11_Click(); }));
    for (int i = 0; i < 300; ++i)
        previous.push_back(Bench::timeMs([&] { window->PushButton9_Click(); }));
    window->PushButton12_Click();
    const double lastMs = Bench::timeMs([&] { window->PushButton10_Click(); });

    const double pageMs = Bench::median(pageSwitch);
    Bench::report("Next, record shown in 26 controls (median)", Bench::median(next), "ms");
    Bench::report("Previous, record shown (median)", Bench::median(previous), "ms");
    Bench::report("First after Last", lastMs, "ms");
    Bench::report("page switch while browsing (median)", pageMs, "ms");
    Bench::report("rebuild, Refresh Fields (median of 5)", rebuildMs, "ms", openMs + pageMs,
                  "cursor open + page build");
    Bench::report("window shown with the first record", showMs, "ms", openMs + pageMs,
                  "cursor open + page build");
    Bench::report("peak memory", Bench::peakMemoryMb(), "MB");
    delete window;
    return 0;
}
