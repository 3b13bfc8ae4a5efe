// Field setup on a large file: adding a field through the editor must take under 50 ms, and
// deleting one through the field list at most 1.2x the engine's own DROP COLUMN on a copy of
// the same file.
// Usage: bench_fields [records (1000000)] [folder for the data file] [rounds (3)]
#include "benchsupport.h"

#include "app/messages.h"
#include "app/paths.h"
#include "app/recordwindowlink.h"
#include "fields/form2.h"
#include "fields/form4.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr int Fields = 8;
const QString DroppedField = QStringLiteral("F4");

bool copyFresh(const QString& from, const QString& to) {
    QFile::remove(to);
    return QFile::copy(from, to);
}

// What the engine alone takes to drop the column, with the file's usual journal and sync.
double plainDropMs(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    const QByteArray sql =
        QStringLiteral("ALTER TABLE CustomTable DROP COLUMN [%1]").arg(DroppedField).toUtf8();
    const double ms = Bench::timeMs([&] {
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "baseline failed: %s\n", sqlite3_errmsg(db));
    });
    sqlite3_close(db);
    return ms;
}

double plainAddMs(const QString& file, int round) {
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    const QByteArray sql = QStringLiteral("ALTER TABLE CustomTable ADD COLUMN [Plain %1] LONGTEXT")
                               .arg(round)
                               .toUtf8();
    const double ms =
        Bench::timeMs([&] { sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr); });
    sqlite3_close(db);
    return ms;
}

// Deleting through the field list: the selected field, "Delete Selected Field".
double windowDropMs(Bench::QuietMessages& messages, const AppPaths& paths) {
    Bench::NoRecordWindow record;
    Form4 list(messages, paths, Store::dataFile(paths.dataFile()), record);
    const QList<QTreeWidgetItem*> found = list.ListView1->findItems(DroppedField, Qt::MatchExactly);
    if (found.isEmpty()) {
        std::fprintf(stderr, "field %s not listed\n", qPrintable(DroppedField));
        return -1;
    }
    list.ListView1->setCurrentItem(found.first());
    return Bench::timeMs([&] { list.PushButton3->click(); });
}

// Adding through the editor: caption typed, "OK" pressed.
double windowAddMs(Bench::QuietMessages& messages, const AppPaths& paths, int round) {
    Form2 editor(messages, paths, Store::dataFile(paths.dataFile()));
    editor.Text1->setText(QStringLiteral("New field %1").arg(round));
    return Bench::timeMs([&] { editor.PushButton2->click(); });
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);

    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : QDir::tempPath() + QStringLiteral("/ledgerloom-bench");
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;

    const QString source = Bench::makeDataFile(folder, Fields, records);
    const AppPaths paths = AppPaths::standard();
    QDir().mkpath(paths.dataFolder());
    const QString dataFile = paths.dataFile();
    const QString baselineFile = home.path() + QStringLiteral("/baseline.mdb");
    Bench::QuietMessages messages;

    std::vector<double> adds, plainAdds, drops, plainDrops;
    for (int round = 0; round < rounds; ++round) {
        if (!copyFresh(source, dataFile) || !copyFresh(source, baselineFile)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(source));
            return 1;
        }
        // Alternate which goes first, so neither always finds the cache warmer.
        if (round % 2 == 0) {
            plainDrops.push_back(plainDropMs(baselineFile));
            drops.push_back(windowDropMs(messages, paths));
        } else {
            drops.push_back(windowDropMs(messages, paths));
            plainDrops.push_back(plainDropMs(baselineFile));
        }
        adds.push_back(windowAddMs(messages, paths, round));
        plainAdds.push_back(plainAddMs(baselineFile, round));
    }
    QFile::remove(dataFile);
    QFile::remove(baselineFile);

    std::printf("bench_fields: %ld records, %d fields, %d rounds (medians)\n", records, Fields,
                rounds);
    Bench::report(QStringLiteral("add a field (editor OK)"), Bench::median(adds),
                  QStringLiteral("ms"), Bench::median(plainAdds),
                  QStringLiteral("sqlite3_exec ADD COLUMN"));
    Bench::report(QStringLiteral("delete a field (Delete Selected Field)"), Bench::median(drops),
                  QStringLiteral("ms"), Bench::median(plainDrops),
                  QStringLiteral("sqlite3_exec DROP COLUMN"));
    const bool addFast = Bench::median(adds) < 50;
    const bool dropFast = Bench::median(drops) <= 1.2 * Bench::median(plainDrops);
    std::printf("add under 50 ms: %s; delete within 1.2x: %s; messages shown: %d\n",
                addFast ? "yes" : "NO", dropFast ? "yes" : "NO", messages.shown);
    return addFast && dropFast && messages.shown == 0 ? 0 : 1;
}
