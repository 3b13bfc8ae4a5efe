// The record window's record set over a large CustomTable: opening it, moving through it and
// the memory it holds, each beside what the engine's own interface needs for the same work.
//
// bench_recordset [folder] [records]   (defaults: /tmp/ledgerloom-bench, 1000000)

#include "benchsupport.h"

#include "store/access1.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/schema.h"

#include <QTextStream>
#include <algorithm>
#include <cstdlib>
#include <sqlite3.h>

namespace {

constexpr int Fields = 26;
constexpr int OpenRuns = 5;
constexpr int MoveCalls = 20000;
constexpr int MoveLastCalls = 200;

// The baseline: every id read in order with the engine's C interface.
long readAllIds(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT ID FROM CustomTable ORDER BY ID", -1, &st, nullptr);
    long count = 0;
    qint64 sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        sum += sqlite3_column_int64(st, 0);
        ++count;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return sum > 0 ? count : 0;
}

// The baseline of one move: one row read by its id with the C interface, one field taken.
double lookupByIdMs(const QString& path, long records) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM CustomTable WHERE ID = ?", -1, &st, nullptr);
    std::vector<double> times;
    long id = records / 2;
    for (int i = 0; i < MoveCalls; ++i) {
        times.push_back(Bench::timeMs([&] {
            sqlite3_bind_int64(st, 1, id);
            if (sqlite3_step(st) == SQLITE_ROW)
                (void)QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
            sqlite3_reset(st);
        }));
        id = id % records + 1;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return Bench::median(times);
}

// As the record window opens it, and reads the first record's fields.
void openAndReadFirst(Connection& connection, Recordset& records) {
    records.Open(Sql::SelectCustomTable, connection, adOpenKeyset, adLockOptimistic);
    for (int i = 0; i < records.fieldCount() && !records.IsEOF(); ++i)
        (void)records.Fields(i).Value();
}

double medianPerCall(int calls, const std::function<void()>& call) {
    std::vector<double> times;
    times.reserve(size_t(calls));
    for (int i = 0; i < calls; ++i)
        times.push_back(Bench::timeMs(call));
    return Bench::median(times);
}

void verdict(const QString& what, bool met) {
    QTextStream(stdout) << "  " << what << ": " << (met ? "met" : "MISSED") << Qt::endl;
}

} // namespace

int main(int argc, char** argv) {
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/ledgerloom-bench");
    const long count = argc > 2 ? std::atol(argv[2]) : 1000000L;
    QTextStream out(stdout);
    out << "Record set over CustomTable, " << count << " records x " << Fields << " fields"
        << Qt::endl;

    const QString emptyFile = Bench::makeDataFile(folder, Fields, 0);
    const QString file = Bench::makeDataFile(folder, Fields, count);

    // Memory with an empty table open, before anything large was ever read.
    double emptyRssMb = 0;
    {
        Connection connection;
        connection.Open(ConnectionString(emptyFile));
        Recordset records;
        openAndReadFirst(connection, records);
        emptyRssMb = Bench::currentMemoryMb();
    }

    // Warm the file into the system's cache so both sides read it from memory.
    readAllIds(file);

    std::vector<double> baseline, opening;
    for (int run = 0; run < OpenRuns; ++run) {
        baseline.push_back(Bench::timeMs([&] { readAllIds(file); }));
        opening.push_back(Bench::timeMs([&] {
            Connection connection;
            connection.Open(ConnectionString(file));
            Recordset records;
            openAndReadFirst(connection, records);
        }));
    }
    const double baselineMs = Bench::median(baseline);
    const double openMs = Bench::median(opening);

    Connection connection;
    connection.Open(ConnectionString(file));
    Recordset records;
    openAndReadFirst(connection, records);
    const double peakMb = Bench::peakMemoryMb();
    if (records.RecordCount() != count) {
        out << "unexpected record count " << records.RecordCount() << Qt::endl;
        return 1;
    }

    const int moves = int(std::min<long>(MoveCalls, count - 1));
    const double nextMs = medianPerCall(moves, [&] {
        records.MoveNext();
        (void)records.Fields(1).Value();
    });
    records.MoveLast();
    (void)records.Fields(1).Value();
    const double previousMs = medianPerCall(moves, [&] {
        records.MovePrevious();
        (void)records.Fields(1).Value();
    });
    std::vector<double> lastTimes;
    for (int i = 0; i < MoveLastCalls; ++i) {
        records.MoveFirst();
        (void)records.Fields(1).Value();
        lastTimes.push_back(Bench::timeMs([&] {
            records.MoveLast();
            (void)records.Fields(Fields).Value();
        }));
    }
    const double lastMs = Bench::median(lastTimes);
    const double lookupMs = lookupByIdMs(file, count);

    out << Qt::endl;
    Bench::report("open + read record 1 (median of 5)", openMs, "ms", baselineMs,
                  "C API: read all ids");
    const double us = 1000; // per-call figures in microseconds
    Bench::report("MoveNext + read a field (median)", nextMs * us, "us", lookupMs * us,
                  "C API: one row by id");
    Bench::report("MovePrevious + read a field (median)", previousMs * us, "us", lookupMs * us,
                  "C API: one row by id");
    Bench::report("MoveLast + read a field (median)", lastMs * us, "us", lookupMs * us,
                  "C API: one row by id");
    Bench::report("memory: peak with the set open", peakMb, "MB", emptyRssMb,
                  "RSS with an empty table open");
    Bench::report("memory: difference", peakMb - emptyRssMb, "MB");

    out << Qt::endl << "Targets:" << Qt::endl;
    verdict("open ratio <= 1.5", openMs <= 1.5 * baselineMs);
    verdict("MoveNext < 100 us", nextMs < 0.1);
    verdict("MovePrevious < 100 us", previousMs < 0.1);
    verdict("MoveLast < 100 us", lastMs < 0.1);
    verdict("memory difference <= 64 MB", peakMb - emptyRssMb <= 64);
    return 0;
}
