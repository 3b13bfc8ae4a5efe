// The program killed at any moment of a write: the data file must open afterwards, be sound,
// keep its two tables paired and hold the state from just before or just after an operation.

#include "support/testsupport.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/searchindex.h"

#include <QtTest>
#include <csignal>
#include <sqlite3.h>

namespace {
constexpr int FieldsPerPage = 26;
// Far apart, so that each trial's values can be told from every other trial's.
constexpr long GenerationsPerTrial = 100000;

// Every row of a query on a connection that may write, so that a hot journal left by the kill
// is rolled back as any program would.
QList<QVariantList> rowsOf(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QList<QVariantList> rows;
    auto collect = [](void* out, int count, char** values, char**) {
        QVariantList row;
        for (int i = 0; i < count; ++i)
            row << (values[i] ? QVariant(QString::fromUtf8(values[i])) : QVariant());
        static_cast<QList<QVariantList>*>(out)->append(row);
        return 0;
    };
    if (sqlite3_exec(db, sql.toUtf8().constData(), collect, &rows, nullptr) != SQLITE_OK)
        qWarning("query failed: %s", sqlite3_errmsg(db));
    sqlite3_close(db);
    return rows;
}

QString integrityOf(const QString& file) {
    const auto rows = rowsOf(file, QStringLiteral("PRAGMA integrity_check"));
    return rows.isEmpty() ? QStringLiteral("no answer") : rows[0][0].toString();
}

long generationOf(const QVariant& value) {
    return value.isNull() ? -1 : value.toString().mid(1).toLong();
}

// What a file holds after a trial: one value per page of each record, "torn" when mixed.
struct Snapshot {
    QStringList fields, columns;
    QList<QVariantList> pageValues;
};

Snapshot snapshotOf(const QString& file) {
    Snapshot s;
    for (const auto& row : rowsOf(file, QStringLiteral("SELECT fieldname FROM FieldControl")))
        s.fields << row[0].toString();
    for (const auto& row :
         rowsOf(file, QStringLiteral("SELECT name FROM pragma_table_info('CustomTable')")))
        s.columns << row[0].toString();
    for (const auto& row : rowsOf(file, QStringLiteral("SELECT * FROM CustomTable ORDER BY ID"))) {
        QVariantList pages;
        for (int first = 1; first < row.size(); first += FieldsPerPage) {
            QVariant value = row[first];
            for (int c = first + 1; c < std::min<int>(int(row.size()), first + FieldsPerPage); ++c)
                if (row[c] != value)
                    value = QStringLiteral("torn");
            pages << value;
        }
        s.pageValues << pages;
    }
    return s;
}

// The newest generation a trial left on page 0, as a count of that trial's operations.
long operationsSeen(const Snapshot& s, long first) {
    long newest = first - 1;
    for (const QVariantList& pages : s.pageValues) {
        const long g = generationOf(pages.value(0));
        if (g >= first && g < first + GenerationsPerTrial)
            newest = std::max(newest, g);
    }
    return newest - first + 1;
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void killedOperationLeavesBeforeOrAfter_data();
    void killedOperationLeavesBeforeOrAfter();

  private:
    // Runs the driver and kills it; returns the operations it reported done, or -1 when it
    // ended on its own with a failure.
    long runAndKill(const QString& operation, long firstGeneration);

    QRandomGenerator m_random;
};

void TestCrash::initTestCase() {
    quint32 seed = quint32(qEnvironmentVariableIntValue("LEDGERLOOM_CRASH_SEED"));
    if (seed == 0)
        seed = QRandomGenerator::system()->generate();
    qInfo("kill moments from seed %u (LEDGERLOOM_CRASH_SEED repeats them)", seed);
    m_random.seed(seed);
}

long TestCrash::runAndKill(const QString& operation, long firstGeneration) {
    QProcess driver;
    driver.start(QStringLiteral(LEDGERLOOM_CRASHDRIVER),
                 {operation, QString::number(firstGeneration)});
    if (!driver.waitForStarted(10000)) {
        qWarning("%s", qPrintable(driver.errorString()));
        return -1;
    }
    // Most kills fall among the operations; some during start-up, where a journal left by the
    // previous kill is being rolled back.
    const bool duringStartUp = m_random.bounded(4) == 0;
    QByteArray out;
    while (!duringStartUp && !out.contains("ready\n") && driver.state() == QProcess::Running) {
        driver.waitForReadyRead(50);
        out += driver.readAllStandardOutput();
    }
    QThread::msleep(m_random.bounded(duringStartUp ? 800 : 500));
    const bool killed = driver.state() == QProcess::Running;
    if (killed)
        ::kill(pid_t(driver.processId()), SIGKILL);
    driver.waitForFinished(10000);
    out += driver.readAllStandardOutput();
    if (!killed && driver.exitCode() != 0) {
        qWarning("driver exit %d: %s", driver.exitCode(), driver.readAllStandardError().data());
        return -1;
    }
    long finished = 0;
    for (const QByteArray& line : out.split('\n'))
        if (line.startsWith("done "))
            finished = line.mid(5).toLong();
    return finished;
}

void TestCrash::killedOperationLeavesBeforeOrAfter_data() {
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("records");
    // The row's name is the driver's operation.
    QTest::newRow("save") << 30 << 20;
    QTest::newRow("create") << 30 << 3;
    QTest::newRow("delete") << 30 << 1500;
    QTest::newRow("page") << 30 << 20; // edits both pages, then saves
    QTest::newRow("addfield") << FieldsPerPage << 30;
    QTest::newRow("delfield") << 80 << 30;
    QTest::newRow("index") << 30 << 20; // rebuilds the search index, then saves
}

void TestCrash::killedOperationLeavesBeforeOrAfter() {
    QFETCH(int, fields);
    QFETCH(int, records);
    const QString op = QString::fromLatin1(QTest::currentDataTag());
    TestEnvironment env;
    auto prepare = [&] {
        QFile::remove(env.dataFile());
        QDir(Backups::folderFor(env.dataFile())).removeRecursively();
        env.createDataFile();
        env.addFields(fields);
        env.addRecords(QList<QVariantList>(records, QVariantList(fields, QStringLiteral("G0"))));
        return snapshotOf(env.dataFile());
    };
    const int asked = qEnvironmentVariableIntValue("LEDGERLOOM_CRASH_TRIALS");
    long mostFinished = 0;
    Snapshot before = prepare();
    for (int t = 1; t <= (asked > 0 ? asked : 48); ++t) {
        // Start again once the trials have used the file up.
        if ((op == "delete" && before.pageValues.size() < 300) ||
            (op == "addfield" && before.fields.size() > 1500) ||
            (op == "delfield" && before.fields.size() < 10))
            before = prepare();
        const long first = t * GenerationsPerTrial;
        const long finished = runAndKill(op, first);
        QVERIFY2(finished >= 0, "the driver failed on its own");
        try {
            Connection connection;
            connection.Open(ConnectionString(env.dataFile()));
            connection.Close();
        } catch (const RuntimeError& e) {
            QFAIL(qPrintable(e.description()));
        }
        QCOMPARE(integrityOf(env.dataFile()), QStringLiteral("ok"));
        const Snapshot after = snapshotOf(env.dataFile());
        QCOMPARE(after.columns.mid(1), after.fields);
        for (const QVariantList& pages : after.pageValues)
            QVERIFY2(!pages.contains(QStringLiteral("torn")), "a record holds values of two saves");
        for (const QVariantList& pages : op == "index" ? after.pageValues : QList<QVariantList>()) {
            RecordSearch search(env.dataFile(), after.fields, pages[0].toString());
            QVERIFY(search.run() == search.scan() && (search.usedIndex() || pages[0] == "G0"));
        }

        // The operations the file shows done: those reported, or one more.
        const long addedRecords = after.pageValues.size() - before.pageValues.size();
        const long addedFields = after.fields.size() - before.fields.size();
        const long done = op == "create"     ? addedRecords
                          : op == "delete"   ? -addedRecords
                          : op == "addfield" ? addedFields
                          : op == "delfield" ? -addedFields
                                             : operationsSeen(after, first);
        QVERIFY2(done == finished || done == finished + 1,
                 qPrintable(QStringLiteral("trial %1: %2 done in the file, %3 reported")
                                .arg(t)
                                .arg(done)
                                .arg(finished)));
        if (op != "create" && op != "delete")
            QCOMPARE(addedRecords, 0L);
        if (op == "addfield")
            QCOMPARE(after.fields.mid(0, before.fields.size()), before.fields);
        else
            QCOMPARE(after.fields, before.fields.mid(int(std::max(0L, -addedFields))));
        // Records and fields not written to keep their values.
        if (op == "delete" || op.endsWith("field"))
            for (const QVariantList& pages : after.pageValues)
                for (int p = 0; p < (op == "addfield" ? 1 : pages.size()); ++p)
                    QCOMPARE(pages[p], QVariant(QStringLiteral("G0")));
        if (op == "page") {
            // Only the record being edited at a kill may have its pages from two edits, the
            // second page one behind; of this trial's edits, one at most.
            int behind = 0;
            for (const QVariantList& pages : after.pageValues)
                if (pages[0] != pages[1]) {
                    QVERIFY(generationOf(pages[1]) < generationOf(pages[0]));
                    behind += generationOf(pages[0]) >= first;
                }
            QVERIFY(behind <= 1);
        }
        if (op == "delfield") {
            // Every copy kept is whole; a copy cut short never counts as one. A kill between a
            // new copy and the pruning of the oldest leaves one more, pruned by the next delete.
            const QStringList copies = Backups::list(env.dataFile());
            QVERIFY(copies.size() <= Backups::Kept + 1);
            for (const QString& copy : copies)
                QCOMPARE(integrityOf(copy), QStringLiteral("ok"));
        }
        mostFinished = std::max(mostFinished, finished);
        before = after;
    }
    // Kills that never met a finished operation would prove little.
    QVERIFY2(mostFinished >= 2, "the driver never got through its operations");
}

QTEST_MAIN(TestCrash)
#include "tst_crash.moc"
