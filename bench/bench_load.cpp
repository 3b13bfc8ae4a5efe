// Writers at once on one store, through the store as the record window writes: each saves,
// creates, deletes, undoes and restores records, some on the same records. Then every save
// reported done is looked for, every refused one must have changed nothing, no record may hold
// values of two saves, and the records and the bin must account for every id given.
// Usage: bench_load [--seconds N (60)] [--writers N (8)] [local|server ...]
#include "benchsupport.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/recordbin.h"
#include "store/recordchange.h"
#include "store/recordcursor.h"
#include "store/schema.h"
#include "store/statement.h"
#include "store/store.h"
#include "support/testserver.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace {

constexpr int Fields = 8;
constexpr int Records = 1000;
constexpr int SharedRecords = 40; // every writer works on these, and on its own

void say(const QString& text) {
    QTextStream(stdout) << text << Qt::endl;
}

enum Op { Save, Create, Delete, Undo, Restore, Ops };
const char* const OpNames[] = {"save", "create", "delete", "undo", "restore"};

// What one writer did: the values of the saves done and refused, with a ticket of the moment
// each began and ended, so that a value missing at the end can be told from one a later
// change of the same record replaced.
struct Done {
    qint64 id;
    QString value;
    long began, ended;
};
struct Writer {
    std::vector<Done> saves, changes; // saves with their values; every change done, by record
    QSet<QString> refusedValues;
    QSet<qint64> idsGiven, idsRenamed;
    long done[Ops] = {}, refused[Ops] = {};
};

std::atomic<long> ticket{0};

QStringList fieldNames() {
    return Bench::fieldNames(Fields);
}

void makeStore(const Store& store) {
    auto connection = store.open();
    for (const QString& name : fieldNames())
        addFieldToTables(*connection, FieldDefinition{name, QStringLiteral("Textfield"),
                                                      QStringLiteral("8"), QString()});
    Transaction transaction(*connection);
    Statement insert(*connection, Sql::insertRecord(fieldNames()));
    for (int r = 1; r <= Records; ++r) {
        for (int f = 1; f <= Fields; ++f)
            insert.bind(f, QStringLiteral("start"));
        insert.run();
    }
    transaction.commit();
}

void writeFor(const Store& store, int number, std::chrono::steady_clock::time_point end,
              Writer& w) {
    // Opening may meet the others' locks for longer than it waits, as a window's can.
    std::unique_ptr<Connection> connection;
    RecordCursor records;
    while (!connection) {
        try {
            connection = store.open();
            records.Open(*connection);
        } catch (const RuntimeError&) {
            connection.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    QRandomGenerator random(quint32(number + 1));
    std::vector<RecordChange> changes; // this writer's own, for its undo
    std::vector<qint64> own;
    for (long n = 0; std::chrono::steady_clock::now() < end; ++n) {
        const QString value = QStringLiteral("w%1-%2").arg(number).arg(n);
        const int roll = int(random.bounded(100));
        const Op op = roll < 45   ? Save
                      : roll < 60 ? Create
                      : roll < 72 ? Delete
                      : roll < 90 ? Undo
                                  : Restore;
        const qint64 id = own.empty() || random.bounded(2)
                              ? 1 + random.bounded(SharedRecords)
                              : own[random.bounded(qsizetype(own.size()))];
        const long began = ticket++;
        qint64 touched = id;
        try {
            if (op == Save || op == Create) {
                if (op == Save) {
                    records.Recheck(id);
                    records.Find(id);
                    if (records.IsEOF())
                        continue;
                } else {
                    records.AddNew();
                }
                records.takeWrites();
                for (const QString& field : fieldNames())
                    records.Fields(field).setValue(value);
                try {
                    records.Update();
                } catch (...) {
                    w.refusedValues << value;
                    records.Cancel();
                    throw;
                }
                const RecordWrite written = records.takeWrites();
                touched = written.id;
                if (op == Create) {
                    w.idsGiven << written.id;
                    own.push_back(written.id);
                }
                if (auto change = RecordChange::fromWrite(written))
                    changes.push_back(*change);
                w.saves.push_back({written.id, value, began, 0});
            } else if (op == Delete) {
                const qint64 key = RecordBin::move(*connection, id);
                if (key == 0)
                    continue;
                changes.push_back(RecordChange::deleted(id, key));
            } else if (op == Undo) {
                if (changes.empty())
                    continue;
                touched = changes.back().id();
                changes.back().undo(*connection);
                changes.pop_back();
            } else {
                const auto newest = RecordBin::entries(*connection, LLONG_MAX, 1);
                if (newest.empty())
                    continue;
                const auto back =
                    RecordBin::restore(*connection, newest[0].key, RecordBin::WhenIdTaken::NewId);
                touched = back.id;
                if (back.newId) {
                    w.idsRenamed << newest[0].id;
                    w.idsGiven << back.id;
                }
            }
            ++w.done[op];
            w.changes.push_back({touched, QString(), began, ticket++});
            if (op == Save || op == Create)
                w.saves.back().ended = w.changes.back().ended;
        } catch (const RuntimeError&) {
            ++w.refused[op];
        }
    }
}

// Runs the writers on the store and checks what they left; false when something was lost.
bool run(const QString& name, const Store& store, int writers, int seconds) {
    makeStore(store);
    std::vector<Writer> done(static_cast<size_t>(writers));
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < writers; ++i)
        threads.emplace_back(writeFor, std::cref(store), i, end, std::ref(done[size_t(i)]));
    for (std::thread& thread : threads)
        thread.join();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    auto connection = store.open();
    QSet<qint64> records, binned;
    std::map<QString, qint64> valuesSeen; // every value a record or the bin holds
    long torn = 0;
    {
        Statement read(*connection, QStringLiteral("SELECT * FROM \"CustomTable\""));
        while (read.step()) {
            records << read.columnInt64(0);
            const QString first = read.column(1).toString();
            for (int c = 2; c < read.columnCount(); ++c)
                torn += read.column(c).toString() != first;
            valuesSeen[first] = read.columnInt64(0);
        }
    }
    for (const BinEntry& entry : RecordBin::entries(*connection, LLONG_MAX, INT_MAX)) {
        binned << entry.id;
        QSet<QString> values;
        for (const auto& [column, value] : entry.values)
            values << value.toString();
        torn += values.size() > 1;
        valuesSeen[entry.values.begin()->second.toString()] = entry.id;
    }
    // A done save's value may be gone only where another change to its record ended after the
    // save began.
    const auto replaced = [&](const Done& save) {
        for (const Writer& w : done)
            for (const Done& change : w.changes)
                if (change.id == save.id && change.ended > save.began && change.ended != save.ended)
                    return true;
        return false;
    };
    long lost = 0, refusedSeen = 0, unaccounted = 0, totalDone = 0, totalRefused = 0;
    QSet<qint64> given, renamed;
    for (qint64 id = 1; id <= Records; ++id)
        given << id;
    for (const Writer& w : done) {
        for (const Done& save : w.saves)
            lost += !valuesSeen.contains(save.value) && !replaced(save);
        for (const QString& value : w.refusedValues)
            refusedSeen += valuesSeen.contains(value);
        given += w.idsGiven;
        renamed += w.idsRenamed;
        for (int op = 0; op < Ops; ++op) {
            totalDone += w.done[op];
            totalRefused += w.refused[op];
        }
    }
    for (qint64 id : given)
        unaccounted += !records.contains(id) && !binned.contains(id) && !renamed.contains(id);
    const long both = (records & binned).size();
    QString check;
    if (store.localDataFile().isEmpty()) {
        Statement count(*connection, QStringLiteral("SELECT count(*), count(DISTINCT \"ID\") FROM "
                                                    "\"CustomTable\""));
        count.step();
        check =
            count.columnInt64(0) == count.columnInt64(1) && count.columnInt64(0) == records.size()
                ? QStringLiteral("counts agree")
                : QStringLiteral("COUNTS DIFFER");
    } else {
        Statement integrity(*connection, QStringLiteral("PRAGMA integrity_check"));
        integrity.step();
        check = QStringLiteral("integrity_check ") + integrity.column(0).toString();
    }
    QStringList ops;
    for (int op = 0; op < Ops; ++op) {
        long d = 0, r = 0;
        for (const Writer& w : done) {
            d += w.done[op];
            r += w.refused[op];
        }
        ops << QStringLiteral("%1 %2 done/%3 refused").arg(OpNames[op]).arg(d).arg(r);
    }
    say(QStringLiteral("%1: %2 writers, %3 s: %4 operations/s done (%5 done, %6 refused); %7")
            .arg(name)
            .arg(writers)
            .arg(elapsed, 0, 'f', 1)
            .arg(totalDone / elapsed, 0, 'f', 0)
            .arg(totalDone)
            .arg(totalRefused)
            .arg(ops.join(QStringLiteral(", "))));
    say(QStringLiteral("%1: lost saves %2, refused saves seen %3, torn %4, ids unaccounted %5, "
                       "ids both in records and bin %6, %7")
            .arg(name)
            .arg(lost)
            .arg(refusedSeen)
            .arg(torn)
            .arg(unaccounted)
            .arg(both)
            .arg(check));
    return lost == 0 && refusedSeen == 0 && torn == 0 && unaccounted == 0 && both == 0 &&
           !check.contains(QLatin1String("DIFFER")) &&
           (!check.startsWith(QLatin1String("integrity")) || check.endsWith(QLatin1String("ok")));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seconds = 60, writers = 8;
    QStringList stores;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--seconds") && i + 1 < args.size())
            seconds = args[++i].toInt();
        else if (args[i] == QLatin1String("--writers") && i + 1 < args.size())
            writers = args[++i].toInt();
        else
            stores << args[i];
    }
    if (stores.isEmpty())
        stores = {QStringLiteral("local"), QStringLiteral("server")};
    bool sound = true;
    for (const QString& kind : stores) {
        QTemporaryDir folder;
        if (kind == QLatin1String("server")) {
            QString why;
            if (!TestServer::shared().available(&why)) {
                std::fprintf(stderr, "bench_load: no server: %s\n", qPrintable(why));
                return 1;
            }
            sound =
                run(kind, Store::server(TestServer::shared().newDatabase()), writers, seconds) &&
                sound;
        } else {
            const QString file = Bench::makeDataFile(folder.path(), 0, 0);
            sound = run(kind, Store::dataFile(file), writers, seconds) && sound;
        }
    }
    return sound ? 0 : 1;
}
