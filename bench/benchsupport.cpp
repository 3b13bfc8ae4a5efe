#include "benchsupport.h"

#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordcursor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

void runOnServer(PGconn* db, const QString& sql) {
    PGresult* result = PQexec(db, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    PQclear(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        qFatal("%s: %s", qPrintable(sql.left(200)), PQerrorMessage(db));
}

} // namespace

namespace Bench {

Answer QuietMessages::show(const Message& message) {
    std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
    ++shown;
    return message.buttons == Message::Buttons::YesNo ? Answer::No : Answer::Ok;
}

QString makeDataFile(const QString& folder, int fieldCount, long recordCount) {
    QDir().mkpath(folder);
    const QString path =
        folder + QStringLiteral("/bench-%1x%2.mdb").arg(fieldCount).arg(recordCount);
    if (QFile::exists(path))
        return path;
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    sqlite3* db = nullptr;
    sqlite3_open(building.toUtf8().constData(), &db);
    auto exec = [db](const QString& sql) {
        sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    };
    exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"));
    exec(QStringLiteral("CREATE TABLE FieldControl (fieldname TEXT, FieldType TEXT, FieldLength "
                        "TEXT, FieldValues TEXT)"));
    exec(QStringLiteral("CREATE TABLE CustomTable (ID INTEGER PRIMARY KEY AUTOINCREMENT)"));
    QStringList names, marks;
    for (int f = 1; f <= fieldCount; ++f) {
        exec(QStringLiteral("ALTER TABLE CustomTable ADD COLUMN [F%1] LONGTEXT").arg(f));
        exec(QStringLiteral("INSERT INTO FieldControl VALUES ('F%1','Textfield','8','')").arg(f));
        names << QStringLiteral("[F%1]").arg(f);
        marks << QStringLiteral("?");
    }
    exec(QStringLiteral("BEGIN"));
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       QStringLiteral("INSERT INTO CustomTable (%1) VALUES (%2)")
                           .arg(names.join(','), marks.join(','))
                           .toUtf8()
                           .constData(),
                       -1, &insert, nullptr);
    char text[64];
    for (long r = 1; r <= recordCount; ++r) {
        for (int f = 1; f <= fieldCount; ++f) {
            const int n = std::snprintf(text, sizeof text, "Value %ld of field %d", r, f);
            sqlite3_bind_text(insert, f, text, n, SQLITE_TRANSIENT);
        }
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(QStringLiteral("COMMIT"));
    exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    sqlite3_close(db);
    QFile::rename(building, path);
    return path;
}

QStringList fieldNames(int count) {
    QStringList names;
    for (int f = 1; f <= count; ++f)
        names << QStringLiteral("F%1").arg(f);
    return names;
}

void useOwnFolders(const QTemporaryDir& home) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
}

double timeMs(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(timeMs(work));
    return median(times);
}

namespace {
double statusFieldMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}
} // namespace

double peakMemoryMb() {
    return statusFieldMb("VmHWM:");
}
double currentMemoryMb() {
    return statusFieldMb("VmRSS:");
}

void report(const QString& what, double value, const QString& unit, double baseline,
            const QString& baselineWhat) {
    QTextStream out(stdout);
    out << qSetFieldWidth(44) << Qt::left << what << qSetFieldWidth(0) << " "
        << QString::number(value, 'f', 3) << " " << unit;
    if (baseline >= 0) {
        out << "   baseline (" << baselineWhat << ") " << QString::number(baseline, 'f', 3) << " "
            << unit << "   ratio " << QString::number(baseline > 0 ? value / baseline : 0, 'f', 2);
    }
    out << Qt::endl;
}

void waitUntilBuilt(Form1& window) {
    do {
        QCoreApplication::processEvents();
    } while (window.mGenerating() || window.mRSRecords().State() == adStateClosed);
}

void undoAndRedoSaveMs(Form1& window, double& undoMs, double& redoMs) {
    window.PushButton1_Click();
    qobject_cast<QLineEdit*>(window.mInputControls().first())->setText(QStringLiteral("edited"));
    window.PushButton6_Click();
    std::vector<double> undos, redos;
    for (int i = 0; i < 10; ++i) {
        undos.push_back(timeMs([&] { window.undoClicked(); }));
        redos.push_back(timeMs([&] { window.redoClicked(); }));
    }
    undoMs = median(undos);
    redoMs = median(redos);
}

void makeServerRecords(const QString& address, int fieldCount, long records,
                       const std::function<ServerField(int field)>& fieldOf) {
    {
        Connection program;
        program.setMode(adModeReadWrite);
        program.Open(ServerConnectionString(address));
    }
    PGconn* db = PQconnectdb(address.toUtf8().constData());
    if (PQstatus(db) != CONNECTION_OK)
        qFatal("%s", PQerrorMessage(db));
    runOnServer(db, "DROP TABLE \"SearchDocument\"");
    runOnServer(db, "DROP FUNCTION \"SearchDocumentKeep\" CASCADE");
    // VACUUM marks a page all-visible only once its rows' commit is on disk: with the server's
    // asynchronous commit it would leave the id reads of the window and psql to visit every row.
    runOnServer(db, "SET synchronous_commit = on");
    QStringList columns, values, fieldRows;
    for (int f = 1; f <= fieldCount; ++f) {
        const ServerField field = fieldOf(f);
        columns << QStringLiteral("\"F%1\"").arg(f);
        values << field.value;
        fieldRows << QStringLiteral("('F%1', '%2', '8', '')").arg(f).arg(field.kind);
    }
    runOnServer(db, "ALTER TABLE \"CustomTable\" ADD COLUMN " + columns.join(" TEXT, ADD COLUMN ") +
                        " TEXT");
    runOnServer(db, "INSERT INTO \"FieldControl\" VALUES " + fieldRows.join(", "));
    runOnServer(db, QStringLiteral("INSERT INTO \"CustomTable\" (\"ID\", %1) SELECT n, %2 FROM "
                                   "generate_series(1, %3) AS n")
                        .arg(columns.join(", "), values.join(", "))
                        .arg(records));
    // New records get the ids after these, as when the program had added them.
    runOnServer(db, QStringLiteral("SELECT setval(pg_get_serial_sequence('\"CustomTable\"', "
                                   "'ID'), %1)")
                        .arg(records));
    runOnServer(db, "VACUUM ANALYZE \"CustomTable\"");
    PQfinish(db);
}

} // namespace Bench
