// The search window over a large file: a search matching every record must show its list
// within 1.5× the bare query, and one matching nothing within 1.1×, in under 150 MB.
// Usage: bench_search [records (1000000)] [folder for the data file]
#include "benchsupport.h"

#include "app/messages.h"
#include "app/paths.h"
#include "app/recordwindowlink.h"
#include "search/form3.h"
#include "store/schema.h"
#include "store/textmatch.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr int Fields = 26;

// The record window on its first page of 26 fields.
class FirstPage : public RecordWindowLink {
  public:
    QStringList shownCaptions() const override {
        QStringList captions;
        for (int f = 1; f <= Fields; ++f)
            captions << QStringLiteral("F%1").arg(f);
        return captions;
    }
    int shownPage() const override { return 0; }
    bool showRecordWithId(qint64) override { return true; }
    void clearFieldsAndRepaint() override {}
};

// The same statement through the engine alone, with the same like installed, counting rows.
long bareQuery(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    installLike(db);
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr);
    long rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        ++rows;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

// Searches through the window and reads the rows the list shows first.
long windowSearch(Form3& window, const QString& text) {
    window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(text);
    window.PushButton3_Click();
    QCoreApplication::processEvents(); // the list paints its first rows
    const QAbstractItemModel* model = window.findChild<QTreeView*>()->model();
    for (int r = 0; r < std::min(30, model->rowCount()); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            model->data(model->index(r, c));
    return model->rowCount();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    const QString folder =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath() + "/ledgerloom-bench";
    const QString file = Bench::makeDataFile(folder, Fields, records);

    // The window opens the standard data file: point it at the bench file.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    QDir().mkpath(home.path() + "/Tarnwell/Ledgerloom");
    QFile::link(file, standardDataFile());

    Bench::QuietMessages messages;
    FirstPage page;
    const AppPaths paths = AppPaths::standard();
    Form3 window(messages, paths, page);
    window.show();
    QCoreApplication::processEvents();

    QTextStream(stdout) << records << " records x " << Fields << " fields\n";
    bareQuery(file, Sql::searchCustomTable(page.shownCaptions(), "zzz")); // warm the cache
    for (const auto& [text, what] : {std::pair<QString, QString>{"value", "matching every record"},
                                     {"no such text", "matching nothing"}}) {
        const QString sql = Sql::searchCustomTable(page.shownCaptions(), text);
        std::vector<double> bare, ours;
        long bareRows = 0, listed = 0;
        for (int run = 0; run < 3; ++run) {
            bare.push_back(Bench::timeMs([&] { bareRows = bareQuery(file, sql); }));
            ours.push_back(Bench::timeMs([&] { listed = windowSearch(window, text); }));
        }
        if (bareRows != listed)
            std::fprintf(stderr, "listed %ld rows, the query gives %ld\n", listed, bareRows);
        Bench::report(QStringLiteral("search %1 (%2 rows)").arg(what).arg(listed),
                      Bench::median(ours), "ms", Bench::median(bare), "bare query");
    }
    Bench::report("peak memory", Bench::peakMemoryMb(), "MB");
    return 0;
}
