// The records on a PostgreSQL server this program starts itself: the record window's start and
// its Next and Previous, the search through its search document, the export, and what keeping
// the document costs a write, each beside a baseline measured in the same run (psql, bare libpq,
// an older version's search, the same export from a local data file, the same write where there
// is no document).
// Usage: bench_server [--records N (1000000)] [folder for the local data file]
#include "benchsupport.h"

#include "app/messages.h"
#include "app/paths.h"
#include "export/workbookexport.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/recordcursor.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "store/serverengine.h"
#include "store/serversearch.h"
#include "store/statement.h"
#include "store/store.h"
#include "support/testserver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <libpq-fe.h>
#include <limits>
#include <map>
#include <sqlite3.h>

namespace {

constexpr int Fields = 26;
constexpr long ExportRecords = 100000;

QStringList fieldNames() {
    return Bench::fieldNames(Fields);
}

void say(const QString& text) {
    QTextStream(stdout) << text << Qt::endl;
}

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "bench_server: %s\n", qPrintable(why));
    std::exit(1);
}

// One statement through libpq alone, its parameters as text; the result is the caller's.
PGresult* run(PGconn* db, const QByteArray& sql, const QList<QByteArray>& values = {}) {
    std::vector<const char*> pointers;
    for (const QByteArray& value : values)
        pointers.push_back(value.constData());
    PGresult* result = PQexecParams(db, sql.constData(), int(pointers.size()), nullptr,
                                    pointers.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        fail(QString::fromUtf8(sql.left(200)) + ": " + QString::fromUtf8(PQerrorMessage(db)));
    return result;
}

void runAndClear(PGconn* db, const QByteArray& sql) {
    PQclear(run(db, sql));
}

PGconn* connectTo(const QString& address) {
    PGconn* db = PQconnectdb(address.toUtf8().constData());
    if (PQstatus(db) != CONNECTION_OK)
        fail(QString::fromUtf8(PQerrorMessage(db)));
    return db;
}

// Records like Bench::makeDataFile's, made by the server itself; with `needles`, one record in a
// thousand holds "a NeeDle here" in a field of the middle instead of its own value.
void makeRecords(const QString& address, long records, bool needles) {
    Bench::makeServerRecords(address, Fields, records, [needles](int f) {
        const QString value = QStringLiteral("'Value ' || n || ' of field %1'").arg(f);
        return Bench::ServerField{
            needles && f == 13
                ? QStringLiteral("CASE WHEN n % 1000 = 0 THEN 'a NeeDle here' ELSE %1 END")
                      .arg(value)
                : value};
    });
}

QString psqlProgram() {
    const QString onPath = QStandardPaths::findExecutable("psql");
    if (!onPath.isEmpty())
        return onPath;
    QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& version : versions)
        if (QFile::exists("/usr/lib/postgresql/" + version + "/bin/psql"))
            return "/usr/lib/postgresql/" + version + "/bin/psql";
    return {};
}

// psql, as a process, reading every id in order into nothing.
void psqlReadsIds(const QString& psql, const QString& address) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(psql,
                  {address, "-At", "-c", "SELECT \"ID\" FROM \"CustomTable\" ORDER BY \"ID\""});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        fail("psql failed: " + QString::fromLocal8Bit(process.readAllStandardError()));
}

// The search's own statement, on a connection already open, with as many candidates as the
// search allows itself.
QList<QByteArray> searchParameters(const QString& text, long records) {
    return {ServerSearch::pattern(text).toUtf8(),
            QByteArray::number(ServerSearch::candidateLimit(records))};
}

// Too many candidates (a Null after the ids): every record is read, as the search does.
long bareSearch(PGconn* db, const QString& text, long records) {
    const QList<QByteArray> parameters = searchParameters(text, records);
    PGresult* result =
        run(db, serverParameters(ServerSearch::documentStatement(fieldNames())), parameters);
    long found = PQntuples(result);
    if (found > 0 && PQgetisnull(result, found - 1, 0)) {
        PQclear(result);
        result =
            run(db, serverParameters(ServerSearch::scanStatement(fieldNames())), {parameters[0]});
        found = PQntuples(result);
    }
    for (int row = 0; row < found; ++row)
        std::strtoll(PQgetvalue(result, row, 0), nullptr, 10);
    PQclear(result);
    return found;
}

void explain(PGconn* db, const QString& what, const QByteArray& sql,
             const QList<QByteArray>& values = {}) {
    PGresult* result = run(db, "EXPLAIN (ANALYZE, BUFFERS) " + sql, values);
    std::fprintf(stderr, "EXPLAIN of %s:\n", qPrintable(what));
    for (int row = 0; row < PQntuples(result); ++row)
        std::fprintf(stderr, "  %s\n", PQgetvalue(result, row, 0));
    PQclear(result);
}

void explainSearch(PGconn* db, const QString& text, long records) {
    explain(db, QStringLiteral("the search for \"%1\"").arg(text),
            serverParameters(ServerSearch::documentStatement(fieldNames())),
            searchParameters(text, records));
}

// A record changed, as the record window's Save does, and one added, as the import does.
const QByteArray UpdateOne =
    "UPDATE \"CustomTable\" SET \"F1\" = 'changed ' || $1 WHERE \"ID\" = $1::bigint";
// Neither holds a text the searches look for.
const QByteArray InsertOne = "INSERT INTO \"CustomTable\" (\"F1\", \"F2\", \"F26\") VALUES "
                             "('added ' || $1, 'new ' || $1, 'last')";

// The median time of a statement changing one record, run `count` times on records from `id`.
double writeMs(PGconn* db, const QByteArray& sql, long id, int count) {
    std::vector<double> times;
    for (int i = 0; i < count; ++i)
        times.push_back(
            Bench::timeMs([&] { PQclear(run(db, sql, {QByteArray::number(id + i)})); }));
    return Bench::median(times);
}

// The export's reading alone, in its batches of records, every value looked at.
long readServerRows(const QString& address) {
    PGconn* db = connectTo(address);
    QStringList quotedFields;
    for (const QString& name : fieldNames())
        quotedFields << Sql::quoteName(name);
    long size = 0;
    QByteArray last = QByteArray::number(std::numeric_limits<qint64>::min());
    for (;;) {
        PGresult* batch =
            run(db, serverParameters(Sql::selectRecordBatch(quotedFields, true)), {"2000", last});
        const int rows = PQntuples(batch);
        for (int row = 0; row < rows; ++row)
            for (int column = 1; column < PQnfields(batch); ++column)
                size += PQgetlength(batch, row, column);
        if (rows > 0)
            last = PQgetvalue(batch, rows - 1, 0);
        PQclear(batch);
        if (rows == 0)
            break;
    }
    PQfinish(db);
    return size;
}

long readFileRows(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* read = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM CustomTable ORDER BY ID", -1, &read, nullptr);
    long size = 0;
    while (sqlite3_step(read) == SQLITE_ROW)
        for (int column = 1; column < sqlite3_column_count(read); ++column)
            size += sqlite3_column_bytes(read, column);
    sqlite3_finalize(read);
    sqlite3_close(db);
    return size;
}

long parseRecords(const QStringList& arguments, QString* folder) {
    long records = 1000000;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--records") && i + 1 < arguments.size())
            records = arguments[++i].toLong();
        else if (arguments[i].startsWith(QLatin1String("--records=")))
            records = arguments[i].mid(10).toLong();
        else
            *folder = arguments[i];
    }
    if (records < 1000)
        fail("--records needs a number of at least 1000");
    return records;
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    Bench::useOwnFolders(home);
    QApplication app(argc, argv);
    QString folder = QDir::tempPath() + "/ledgerloom-bench";
    const long records = parseRecords(QCoreApplication::arguments(), &folder);
    const long exportRecords = std::min(records, ExportRecords);

    // The tests' server, with the memory of a server kept for real work.
    TestServer& server = TestServer::shared();
    server.addSettings("shared_buffers = 256MB\nmaintenance_work_mem = 512MB\nwork_mem = 16MB\n"
                       "effective_cache_size = 4GB\nmax_wal_size = 4GB");
    QString why;
    if (!server.available(&why))
        fail("no server: " + why);
    const QString psql = psqlProgram();
    if (psql.isEmpty())
        fail("no psql found");
    const QString address = server.newDatabase();
    const QString exportAddress = server.newDatabase();
    const double makeMs = Bench::timeMs([&] { makeRecords(address, records, true); });
    makeRecords(exportAddress, exportRecords, false);
    PGconn* bare = connectTo(address);
    {
        PGresult* version = run(bare, "SHOW server_version");
        say(QStringLiteral("%1 records x %2 fields on PostgreSQL %3 (made in %4 s)")
                .arg(records)
                .arg(Fields)
                .arg(QString::fromUtf8(PQgetvalue(version, 0, 0)))
                .arg(makeMs / 1000, 0, 'f', 1));
        PQclear(version);
    }
    const Store store = Store::server(address);

    // 1. The record window's start beside psql reading the ids it reads.
    const AppPaths paths{QCoreApplication::applicationDirPath(),
                         SpecialFolderPath(CommonAppDataFolder)};
    Bench::QuietMessages messages;
    psqlReadsIds(psql, address); // warm the server's cache
    std::vector<double> psqlRuns, showRuns;
    Form1* window = nullptr;
    for (int run = 0; run < 3; ++run) {
        psqlRuns.push_back(Bench::timeMs([&] { psqlReadsIds(psql, address); }));
        delete window;
        double loadMs = 0;
        showRuns.push_back(Bench::timeMs([&] {
            window = new Form1(messages, paths, store);
            loadMs = Bench::timeMs([&] { window->Form_Load(); });
            window->show();
            Bench::waitUntilBuilt(*window);
        }));
        QTextStream(stdout) << "  window start " << run + 1 << ": " << showRuns.back()
                            << " ms (Form_Load " << loadMs << " ms), psql " << psqlRuns.back()
                            << " ms" << Qt::endl;
    }
    explain(bare, "the ids the window reads", "SELECT \"ID\" FROM \"CustomTable\" ORDER BY \"ID\"");
    Bench::report("window shown with the first record (median)", Bench::median(showRuns), "ms",
                  Bench::median(psqlRuns), "psql reading every id");

    // 2. Next and Previous, beside libpq reading one record by its id.
    std::vector<double> next, previous, byId;
    for (int i = 0; i < 300; ++i)
        next.push_back(Bench::timeMs([&] { window->PushButton11_Click(); }));
    for (int i = 0; i < 300; ++i)
        previous.push_back(Bench::timeMs([&] { window->PushButton9_Click(); }));
    for (int i = 0; i < 300; ++i)
        byId.push_back(Bench::timeMs([&] {
            PQclear(run(bare, "SELECT * FROM \"CustomTable\" WHERE \"ID\" = $1",
                        {QByteArray::number(records / 2 + i)}));
        }));
    const double oneRowMs = Bench::median(byId);
    Bench::report("Next, record shown in 26 controls (median)", Bench::median(next), "ms", oneRowMs,
                  "libpq, one record by id");
    Bench::report("Next, slowest of 300", *std::max_element(next.begin(), next.end()), "ms");
    Bench::report("Previous, record shown (median)", Bench::median(previous), "ms", oneRowMs,
                  "libpq, one record by id");
    Bench::report("Previous, slowest of 300", *std::max_element(previous.begin(), previous.end()),
                  "ms");
    double undoMs = 0, redoMs = 0;
    Bench::undoAndRedoSaveMs(*window, undoMs, redoMs);
    Bench::report("undo of a saved record, Edit > Undo (median of 10)", undoMs, "ms");
    Bench::report("redo of it (median of 10)", redoMs, "ms");
    delete window;

    // 3. The search through the search document, beside the search of an older version (one
    // regular expression per field column, answered from each column's pg_trgm index), and
    // beside its own statements through libpq.
    const QStringList texts = {"needle", "Value 77", "no such text", "field 2"};
    std::map<QString, double> older;
    {
        const double indexMs = Bench::timeMs([&] {
            for (const QString& name : fieldNames())
                runAndClear(bare,
                            ("CREATE INDEX " + Sql::quoteName(ServerSearch::columnIndexName(name)) +
                             " ON \"CustomTable\" USING gin (" + Sql::quoteName(name) +
                             " gin_trgm_ops)")
                                .toUtf8());
        });
        Bench::report("an older version's 26 pg_trgm indexes, built", indexMs, "ms");
        runAndClear(bare, "ANALYZE \"CustomTable\"");
        const QByteArray statement = serverParameters(ServerSearch::scanStatement(fieldNames()));
        for (const QString& text : texts) {
            std::vector<double> runs;
            for (int run = 0; run < 5; ++run)
                runs.push_back(Bench::timeMs([&] {
                    PQclear(::run(bare, statement, {ServerSearch::pattern(text).toUtf8()}));
                }));
            older[text] = Bench::median(runs);
        }
        older["change"] = writeMs(bare, UpdateOne, records / 2, 300);
        older["add"] = writeMs(bare, InsertOne, 1, 300);
    }
    {
        Connection connection;
        connection.setMode(adModeReadWrite);
        connection.Open(store.connectionString());
        Bench::report("search index build (the search document and its pg_trgm index, the "
                      "older indexes dropped)",
                      Bench::timeMs([&] { SearchIndex::build(connection); }), "ms");
        if (!SearchIndex::isReady(connection))
            fail("the search index is not ready after its build");
    }
    runAndClear(bare, "ANALYZE \"CustomTable\"");
    for (const QString& text : texts)
        explainSearch(bare, text, records);
    // "field 2" is in most records: too many candidates, so the search reads every record.
    // Each RecordSearch opens a connection of its own; the engine's search on a connection kept
    // open is the search without that.
    Connection kept;
    kept.setMode(adModeRead);
    kept.Open(store.connectionString());
    for (const QString& text : texts) {
        std::vector<double> ours, baseline, onKept;
        long found = 0, bareFound = 0;
        bool indexed = false;
        for (int run = 0; run < 5; ++run) {
            baseline.push_back(Bench::timeMs([&] { bareFound = bareSearch(bare, text, records); }));
            onKept.push_back(Bench::timeMs([&] {
                bool used = false;
                kept.engine().search().find(kept, {fieldNames(), text, {}, nullptr}, &used);
            }));
        }
        // Apart: the server processes of their connections, ending, would slow the others down.
        for (int run = 0; run < 5; ++run) {
            RecordSearch search(store, fieldNames(), text);
            ours.push_back(Bench::timeMs([&] { found = long(search.run().size()); }));
            indexed = search.usedIndex();
        }
        if (found != bareFound)
            std::fprintf(stderr, "found %ld records, the bare statement %ld\n", found, bareFound);
        Bench::report(QStringLiteral("search \"%1\"%2 (%3 found, median)")
                          .arg(text, indexed ? "" : " NOT INDEXED")
                          .arg(found),
                      Bench::median(ours), "ms", Bench::median(baseline),
                      "its statements, bare libpq");
        Bench::report(QStringLiteral("  search \"%1\" on a connection kept open").arg(text),
                      Bench::median(onKept), "ms", Bench::median(baseline),
                      "its statements, bare libpq");
        Bench::report(QStringLiteral("  search \"%1\": its statements, bare libpq").arg(text),
                      Bench::median(baseline), "ms", older[text],
                      "an older version's statement, bare libpq");
    }
    // Where a search's time goes: each search connects anew, and a new server process reads
    // the catalog entries of the table and its indexes before it can plan.
    {
        std::vector<double> open, ready, first, again, fresh;
        for (int run = 0; run < 5; ++run) {
            Connection connection;
            connection.setMode(adModeRead);
            open.push_back(Bench::timeMs([&] { connection.Open(store.connectionString()); }));
            ready.push_back(Bench::timeMs([&] { SearchIndex::isReady(connection); }));
            auto search = [&] {
                Statement read(connection, ServerSearch::documentStatement(fieldNames()));
                const QList<QByteArray> parameters = searchParameters("needle", records);
                read.bind(1, QString::fromUtf8(parameters[0]));
                read.bind(2, QString::fromUtf8(parameters[1]));
                while (read.step())
                    read.columnInt64(0);
            };
            first.push_back(Bench::timeMs(search));
            again.push_back(Bench::timeMs(search));
            fresh.push_back(Bench::timeMs([&] {
                PGconn* db = connectTo(address);
                bareSearch(db, "needle", records);
                PQfinish(db);
            }));
        }
        Bench::report("  search: connecting (median)", Bench::median(open), "ms");
        Bench::report("  search: index check (median)", Bench::median(ready), "ms");
        Bench::report("  search: \"needle\" statement, first", Bench::median(first), "ms");
        Bench::report("  search: \"needle\" statement, again", Bench::median(again), "ms");
        Bench::report("  search: libpq, new connection + statement", Bench::median(fresh), "ms");
    }

    // 4. Writes: one record changed and one added, the search document kept by its trigger,
    // beside the same in the export's database, which has no document, and beside an older
    // version's 26 indexes (measured above).
    {
        PGconn* plain = connectTo(exportAddress);
        const double change = writeMs(bare, UpdateOne, records / 3, 300);
        const double add = writeMs(bare, InsertOne, 1, 300);
        Bench::report("change one record, median of 300", change, "ms",
                      writeMs(plain, UpdateOne, exportRecords / 3, 300), "no search document");
        Bench::report("  change one record", change, "ms", older["change"],
                      "an older version's 26 indexes");
        Bench::report("add one record, median of 300", add, "ms", writeMs(plain, InsertOne, 1, 300),
                      "no search document");
        Bench::report("  add one record", add, "ms", older["add"], "an older version's 26 indexes");
        PQfinish(plain);
    }
    PQfinish(bare);

    // 5. The export from a server database beside the same export from a local data file.
    {
        const QString file = Bench::makeDataFile(folder, Fields, exportRecords);
        Connection fromServer, fromFile;
        fromServer.Open(ServerConnectionString(exportAddress));
        fromFile.Open(ConnectionString(file));
        QTemporaryDir out;
        ExportOptions options;
        options.folder = out.path();
        options.open = [](const QString&) { return true; };
        auto exportFrom = [&](Connection& connection) {
            QFile::remove(exportToWorkbook(messages, connection, fieldNames(), nullptr, options));
        };
        exportFrom(fromFile); // warm the caches
        std::vector<double> server, local;
        for (int run = 0; run < 3; ++run) {
            server.push_back(Bench::timeMs([&] { exportFrom(fromServer); }));
            local.push_back(Bench::timeMs([&] { exportFrom(fromFile); }));
        }
        std::vector<double> serverRead, fileRead;
        for (int run = 0; run < 3; ++run) {
            serverRead.push_back(Bench::timeMs([&] { readServerRows(exportAddress); }));
            fileRead.push_back(Bench::timeMs([&] { readFileRows(file); }));
        }
        Bench::report("  export: reading the records alone, server", Bench::median(serverRead),
                      "ms", Bench::median(fileRead), "local data file");
        Bench::report(QStringLiteral("export of %1 x %2 from the server (median)")
                          .arg(exportRecords)
                          .arg(Fields),
                      Bench::median(server), "ms", Bench::median(local), "from a local data file");
    }
    if (messages.shown)
        std::fprintf(stderr, "%d messages were shown: the figures may not hold\n", messages.shown);
    Bench::report("peak memory", Bench::peakMemoryMb(), "MB");
    return 0;
}
