// The record window's cursor over a large CustomTable: opening it, moving through it with the
// record read and the memory it holds, each beside what the engine's own interface needs for
// the same work in the same run.
//
// bench_recordset [folder] [records]   (defaults: /tmp/ledgerloom-bench, 1000000)

#include "benchsupport.h"

#include "store/access1.h"
#include "store/connection.h"
#include "store/recordcursor.h"

#include <QTextStream>
#include <algorithm>
#include <cstdlib>
#include <sqlite3.h>

namespace {

constexpr int Fields = 26;
constexpr int OpenRuns = 5;
constexpr int MoveCalls = 20000;
constexpr int MoveLastCalls = 200;

// The baseline of opening: every id read in order with the engine's C interface.
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

// The baseline of one move: one record read by its id with a statement prepared once, through
// the C interface, its values taken as text (all of them, or the first only).
double readByIdMs(const QString& path, long records, bool everyValue) {
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
                for (int c = 1; c <= (everyValue ? Fields : 1); ++c)
                    (void)QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                        sqlite3_column_bytes(st, c));
            sqlite3_reset(st);
        }));
        id = id % records + 1;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return Bench::median(times);
}

// As the record window opens it and shows the first record.
void openAndReadFirst(Connection& connection, RecordCursor& records) {
    records.Open(connection);
    if (!records.IsEOF())
        for (const QString& name : Bench::fieldNames(Fields))
            (void)records.Fields(name).Value();
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
    out << "Record cursor over CustomTable, " << count << " records x " << Fields << " fields"
        << Qt::endl;

    const QString emptyFile = Bench::makeDataFile(folder, Fields, 0);
    const QString file = Bench::makeDataFile(folder, Fields, count);

    // Memory with an empty table open, before anything large was ever read.
    double emptyRssMb = 0;
    {
        Connection connection;
        connection.Open(ConnectionString(emptyFile));
        RecordCursor records;
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
            RecordCursor records;
            openAndReadFirst(connection, records);
        }));
    }
    const double baselineMs = Bench::median(baseline);
    const double openMs = Bench::median(opening);

    Connection connection;
    connection.Open(ConnectionString(file));
    RecordCursor records;
    openAndReadFirst(connection, records);
    const double peakMb = Bench::peakMemoryMb();
    if (records.RecordCount() != count) {
        out << "unexpected record count " << records.RecordCount() << Qt::endl;
        return 1;
    }

    // Each move reads the record it comes to (every column), as the window's first value does.
    const QString first = Bench::fieldNames(1).value(0);
    const int moves = int(std::min<long>(MoveCalls, count - 1));
    const double nextMs = medianPerCall(moves, [&] {
        records.MoveNext();
        (void)records.Fields(first).Value();
    });
    records.MoveLast();
    const double previousMs = medianPerCall(moves, [&] {
        records.MovePrevious();
        (void)records.Fields(first).Value();
    });
    std::vector<double> lastTimes;
    for (int i = 0; i < MoveLastCalls; ++i) {
        records.MoveFirst();
        (void)records.Fields(first).Value();
        lastTimes.push_back(Bench::timeMs([&] {
            records.MoveLast();
            (void)records.Fields(first).Value();
        }));
    }
    const double lastMs = Bench::median(lastTimes);
    const double rowMs = readByIdMs(file, count, true);
    const double valueMs = readByIdMs(file, count, false);

    out << Qt::endl;
    Bench::report("open + read record 1 (median of 5)", openMs, "ms", baselineMs,
                  "C API: read all ids");
    const double us = 1000; // per-call figures in microseconds
    Bench::report("C API: one record by id, one value (median)", valueMs * us, "us");
    Bench::report("MoveNext, record read (median)", nextMs * us, "us", rowMs * us,
                  "C API: one record by id, every value");
    Bench::report("MovePrevious, record read (median)", previousMs * us, "us", rowMs * us,
                  "C API: one record by id, every value");
    Bench::report("MoveLast, record read (median)", lastMs * us, "us", rowMs * us,
                  "C API: one record by id, every value");
    Bench::report("memory: peak with the cursor open", peakMb, "MB", emptyRssMb,
                  "RSS with an empty table open");
    Bench::report("memory: difference", peakMb - emptyRssMb, "MB");

    out << Qt::endl << "Targets:" << Qt::endl;
    verdict("open ratio <= 1.5", openMs <= 1.5 * baselineMs);
    verdict("MoveNext ratio <= 2", nextMs <= 2 * rowMs);
    verdict("MovePrevious ratio <= 2", previousMs <= 2 * rowMs);
    verdict("MoveLast < 100 us", lastMs < 0.1);
    verdict("memory difference <= 64 MB", peakMb - emptyRssMb <= 64);
    return 0;
}
