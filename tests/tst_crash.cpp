// The program killed at any moment of a write: the data file must open afterwards, be sound,
// keep its two tables paired and hold the state from just before or just after an operation.

#include "support/testsupport.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordbin.h"
#include "store/searchindex.h"
#include "store/sqlitebackup.h"

#include <QtTest>
#include <csignal>

namespace {
constexpr int FieldsPerPage = 26;
// Far apart, so that each trial's values can be told from every other trial's.
constexpr long GenerationsPerTrial = 100000;

// What a file holds: its fields, and each record's one value per page ("torn" when mixed).
struct Snapshot {
    QStringList fields, columns;
    QList<QStringList> pages;
    QStringList ids; // of the records and of those in the bin, in order
    long binned = 0;
    long fieldsKept = 0; // field deletes that kept their values, ever
};

Snapshot snapshotOf(const TestEnvironment& env) {
    Snapshot s;
    for (const auto& row : env.query("SELECT fieldname FROM FieldControl"))
        s.fields << row[0].toString();
    s.columns = env.columnsOf("CustomTable").mid(1);
    for (const auto& row : env.query("SELECT * FROM CustomTable ORDER BY ID")) {
        QStringList pages;
        for (int first = 1; first < row.size(); first += FieldsPerPage) {
            const auto page = row.mid(first, FieldsPerPage);
            pages << (page.count(page[0]) == page.size() ? page[0].toString() : "torn");
        }
        s.pages << pages;
        s.ids << row[0].toString();
    }
    if (env.query("SELECT count(*) FROM sqlite_schema WHERE name = 'DeletedRecords'")[0][0] == "1")
        for (const auto& row : env.query("SELECT ID FROM DeletedRecords")) {
            s.ids << row[0].toString();
            ++s.binned;
        }
    std::sort(s.ids.begin(), s.ids.end());
    const auto kept = env.query("SELECT seq FROM sqlite_sequence WHERE name = 'KeptFields'");
    s.fieldsKept = kept.isEmpty() ? 0 : kept[0][0].toLongLong();
    return s;
}

// The newest value a trial left on the first page ("G<generation>"), as a count of that trial's
// operations; older trials' values are all below its first.
long operationsSeen(const Snapshot& s, long first) {
    long newest = first - 1;
    for (const QStringList& pages : s.pages)
        newest = std::max(newest, pages[0].mid(1).toLong());
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

// Runs the driver and kills it; the operations it reported done, or -1 when it failed.
long TestCrash::runAndKill(const QString& operation, long firstGeneration) {
    QProcess driver;
    driver.start(LEDGERLOOM_CRASHDRIVER, {operation, QString::number(firstGeneration)});
    if (!driver.waitForStarted(10000))
        return -1;
    // Most kills fall among the operations; some during start-up, while a journal left by the
    // previous kill is rolled back.
    const bool duringStartUp = m_random.bounded(4) == 0;
    QByteArray out;
    while (!duringStartUp && !out.contains("ready\n") && driver.waitForReadyRead(10000))
        out += driver.readAllStandardOutput();
    // A sanitized driver runs a few times slower: the moments spread over as many operations.
    const int pace = std::max(1, qEnvironmentVariableIntValue("LEDGERLOOM_CRASH_PACE"));
    QThread::msleep(m_random.bounded(duringStartUp ? 800 : 500) * pace);
    const bool killed = driver.state() == QProcess::Running;
    if (killed)
        ::kill(pid_t(driver.processId()), SIGKILL);
    driver.waitForFinished(10000);
    out += driver.readAllStandardOutput();
    if (!killed && (driver.exitStatus() != QProcess::NormalExit || driver.exitCode() != 0)) {
        qWarning("driver exit %d: %s", driver.exitCode(), driver.readAllStandardError().data());
        return -1;
    }
    const qsizetype last = out.lastIndexOf("done ");
    return last < 0 ? 0 : out.mid(last + 5).split('\n')[0].toLong();
}

void TestCrash::killedOperationLeavesBeforeOrAfter_data() {
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("binned"); // of the records, moved into the bin first
    // The row's name is the driver's operation.
    QTest::newRow("save") << 30 << 20 << 0;
    QTest::newRow("create") << 30 << 3 << 0;
    QTest::newRow("delete") << 30 << 400 << 0; // into the bin
    QTest::newRow("page") << 30 << 20 << 0;    // edits both pages, then saves
    QTest::newRow("addfield") << FieldsPerPage << 30 << 0;
    QTest::newRow("delfield") << 80 << 30 << 0;
    QTest::newRow("index") << 30 << 20 << 0;     // rebuilds the search index, then saves
    QTest::newRow("import") << 30 << 20 << 0;    // a CSV file of 2 columns and 50 rows
    QTest::newRow("undo") << 30 << 20 << 0;      // saves, takes the save back, makes it again
    QTest::newRow("undofield") << 30 << 20 << 0; // deletes the last field, takes that back
    QTest::newRow("restore") << 30 << 400 << 390;
    QTest::newRow("emptybin") << 30 << 400 << 300; // empties the bin, then deletes a record
}

void TestCrash::killedOperationLeavesBeforeOrAfter() {
    QFETCH(int, fields);
    QFETCH(int, records);
    QFETCH(int, binned);
    const QString op = QString::fromLatin1(QTest::currentDataTag());
    TestEnvironment env;
    env.addFields(fields);
    env.addRecords(QList<QVariantList>(records, QVariantList(fields, "G0")));
    if (binned > 0) {
        Connection connection;
        connection.Open(ConnectionString(env.dataFile()));
        Transaction transaction(connection);
        for (int id = records; id > records - binned; --id)
            RecordBin::moveWithin(connection, id);
        transaction.commit();
    }
    Snapshot before = snapshotOf(env);
    const QStringList everyId = before.ids;
    const int asked = qEnvironmentVariableIntValue("LEDGERLOOM_CRASH_TRIALS");
    long mostFinished = 0;
    for (int t = 1; t <= (asked > 0 ? asked : 8); ++t) {
        const long first = t * GenerationsPerTrial;
        const long finished = runAndKill(op, first);
        QVERIFY2(finished >= 0, "the driver failed on its own");
        try {
            Connection connection; // rolls back what the kill left half done
            connection.Open(ConnectionString(env.dataFile()));
        } catch (const RuntimeError& e) {
            QFAIL(qPrintable(e.description()));
        }
        QCOMPARE(env.query("PRAGMA integrity_check")[0][0].toString(), QString("ok"));
        const Snapshot after = snapshotOf(env);
        QCOMPARE(after.columns, after.fields);
        for (const QStringList& pages : after.pages)
            QVERIFY2(op == "import" || !pages.contains("torn"),
                     "a record holds values of two saves");
        for (const QStringList& pages : op == "index" ? after.pages : QList<QStringList>()) {
            RecordSearch search(Store::dataFile(env.dataFile()), after.fields, pages.value(0));
            QVERIFY(search.run() == search.scan() &&
                    (search.usedIndex() || pages.value(0) == "G0"));
        }

        // The operations the file shows done: those reported, or one more.
        const long addedRecords = after.pages.size() - before.pages.size();
        const long addedFields = after.fields.size() - before.fields.size();
        // Every id is a record's or in the bin, once, unless the bin was emptied.
        QVERIFY(op == "create" || op == "import" || op == "emptybin" || after.ids == everyId);
        QVERIFY(op != "emptybin" || after.binned <= 1 || after.binned == binned);
        const long done = op == "create" || op == "restore"    ? addedRecords
                          : op == "delete" || op == "emptybin" ? -addedRecords
                          : op == "addfield"                   ? addedFields
                          : op == "delfield"                   ? -addedFields
                          : op == "import"                     ? addedFields / 2
                          : op == "undofield" ? after.fieldsKept - before.fieldsKept
                                              : operationsSeen(after, first);
        QVERIFY(op != "import" || (addedFields % 2 == 0 && addedRecords == 25 * addedFields));
        QVERIFY2(done == finished || done == finished + 1,
                 qPrintable(QString::asprintf("trial %d: %ld done in the file, %ld reported", t,
                                              done, finished)));
        if (op == "delfield") {
            // Every copy kept is whole; a kill between a new copy and the pruning of the oldest
            // leaves one more, pruned by the next delete.
            const QStringList copies = Backups::list(env.dataFile());
            QVERIFY(copies.size() <= Backups::Kept + 1);
            for (const QString& copy : copies)
                QCOMPARE(queryFile(copy, "PRAGMA integrity_check")[0][0].toString(), "ok");
        }
        mostFinished = std::max(mostFinished, finished);
        before = after;
    }
    // Kills that never met a finished operation would prove little.
    QVERIFY2(mostFinished >= 2, "the driver never got through its operations");
}

QTEST_MAIN(TestCrash)
#include "tst_crash.moc"
