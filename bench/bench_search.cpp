// Search at scale: the indexed search and the scan beside the engine's own ASCII like over the
// same columns, the index's build time and size, and the field changes that keep it in step.
// Usage: bench_search [records (1000000)] [folder for the data files]
#include "benchsupport.h"

#include "app/paths.h"
#include "app/recordwindowlink.h"
#include "search/form3.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "store/sqlitesearch.h"
#include "store/store.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>
#include <limits>
#include <sqlite3.h>

namespace {

constexpr int Fields = 26;
constexpr int Runs = 5;

QStringList fieldNames() {
    return Bench::fieldNames(Fields);
}

// The record window on its first page of 26 fields.
class FirstPage : public RecordWindowLink {
  public:
    QStringList shownCaptions() const override { return fieldNames(); }
    int shownPage() const override { return 0; }
    bool showRecordWithId(qint64) override { return true; }
    void clearFieldsAndRepaint() override {}
};

// The search's statement with the engine's own like (ASCII case only), on one connection.
long engineLike(const QString& file, const QString& text) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = SqliteSearch::scanStatement(fieldNames(), text).toUtf8();
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr);
    sqlite3_bind_int64(stmt, 1, std::numeric_limits<qint64>::min());
    sqlite3_bind_int64(stmt, 2, std::numeric_limits<qint64>::max());
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

void execute(const QString& file, const QString& sql) {
    Connection connection;
    connection.Open(ConnectionString(file));
    connection.Execute(sql);
}

double fileMb(const QString& file) {
    return double(QFileInfo(file).size()) / 1e6;
}

QString copyOf(const QString& file, const QString& name) {
    const QString copy = QFileInfo(file).dir().filePath(name);
    QFile::remove(copy);
    QFile::copy(file, copy);
    return copy;
}

const QStringList Texts = {QStringLiteral("needle"), QStringLiteral("Value 77"),
                           QStringLiteral("no such text"), QStringLiteral("ne")};

void measureSearches(const QString& file, Form3& window, bool indexed) {
    for (const QString& text : Texts) {
        std::vector<double> ours, engine;
        long found = 0, engineRows = 0;
        bool usedIndex = false;
        for (int run = 0; run < Runs; ++run) {
            engine.push_back(Bench::timeMs([&] { engineRows = engineLike(file, text); }));
            if (indexed) {
                ours.push_back(Bench::timeMs([&] { found = windowSearch(window, text); }));
                RecordSearch search(Store::dataFile(file), fieldNames(), text);
                search.run();
                usedIndex = search.usedIndex();
            } else {
                RecordSearch search(Store::dataFile(file), fieldNames(), text);
                ours.push_back(Bench::timeMs([&] { found = long(search.scan().size()); }));
            }
        }
        if (found != engineRows && text.toLatin1() == text.toLatin1().toLower())
            std::fprintf(stderr, "found %ld records, the engine's like %ld\n", found, engineRows);
        const QString how = indexed ? (usedIndex ? "window, indexed" : "window, scan") : "scan";
        Bench::report(QStringLiteral("\"%1\" %2 (%3 found)").arg(text, how).arg(found),
                      Bench::median(ours), "ms", Bench::median(engine), "engine's like");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    const QString folder =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath() + "/ledgerloom-bench";
    const QString file = copyOf(Bench::makeDataFile(folder, Fields, records), "search.mdb");
    // One record in a thousand holds the needle, in a field of the middle.
    execute(file, "UPDATE CustomTable SET F13 = 'a NeeDle here' WHERE ID % 1000 = 0");
    const QString plain = copyOf(file, "search-plain.mdb");

    // The window opens the standard data file: point it at the bench file.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    QDir().mkpath(home.path() + "/Tarnwell/Ledgerloom");
    QFile::link(file, standardDataFile());
    Bench::QuietMessages messages;
    FirstPage page;
    const AppPaths paths = AppPaths::standard();
    Form3 window(messages, paths, Store::dataFile(paths.dataFile()), page);
    window.show();
    QCoreApplication::processEvents();

    QTextStream(stdout) << records << " records x " << Fields << " fields, median of " << Runs
                        << " runs\n";
    engineLike(file, "zzz"); // warm the cache
    measureSearches(file, window, false);

    const double before = fileMb(file);
    Connection connection;
    connection.Open(ConnectionString(file));
    Bench::report("index build", Bench::timeMs([&] { SearchIndex::build(connection); }), "ms");
    Bench::report("file size with the index", fileMb(file), "MB", before, "without");
    measureSearches(file, window, true);

    const FieldDefinition added{"Added", "Textfield", "8", ""};
    Bench::report("field add, indexed", Bench::timeMs([&] { addFieldToTables(connection, added); }),
                  "ms");
    const double drop = Bench::timeMs([&] { execute(plain, Sql::dropFieldColumn("F26")); });
    Bench::report("field delete, indexed",
                  Bench::timeMs([&] { deleteFieldFromTables(connection, "F26"); }), "ms", drop,
                  "plain DROP COLUMN");
    Bench::report("peak memory", Bench::peakMemoryMb(), "MB");
    connection.Close();
    QFile::remove(plain);
    return 0;
}
