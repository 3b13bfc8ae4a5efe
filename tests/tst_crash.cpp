// The program killed at any moment of a write: the data file must open afterwards, be sound,
// keep its two tables paired and hold the state from just before or just after an operation.

#include "support/testsupport.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/backup.h"
#include "store/connection.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>

namespace {
constexpr int FieldsPerPage = 26;
// Far apart, so that each trial's values can be told from every other trial's.
constexpr long GenerationsPerTrial = 100000;

int trialsPerOperation() {
    const int asked = qEnvironmentVariableIntValue("LEDGERLOOM_CRASH_TRIALS");
    return asked > 0 ? asked : 48;
}

struct Trial {
    long finished = 0; // operations reported as done before the kill
    bool killed = false;
    int exitCode = 0;
    QString errors;
};

// Every row of a query, read with the engine's own interface on a connection that may write,
// so that a hot journal left by the kill is rolled back as any program would.
QList<QVariantList> rowsOf(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    QList<QVariantList> rows;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                row << (sqlite3_column_type(st, i) == SQLITE_NULL
                            ? QVariant()
                            : QVariant(QString::fromUtf8(
                                  reinterpret_cast<const char*>(sqlite3_column_text(st, i)))));
            rows << row;
        }
    } else {
        qWarning("query failed: %s", sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
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

// What a file holds after a trial, told apart by page: one value per page of each record.
struct Snapshot {
    QStringList fields;
    QStringList columns;
    QList<QVariantList> pageValues; // per record: the page's value, or "torn" when mixed
};

Snapshot snapshotOf(const QString& file) {
    Snapshot s;
    for (const auto& row : rowsOf(file, QStringLiteral("SELECT fieldname FROM FieldControl")))
        s.fields << row[0].toString();
    for (const auto& row : rowsOf(file, QStringLiteral("SELECT name FROM "
                                                       "pragma_table_info('CustomTable')")))
        s.columns << row[0].toString();
    for (const auto& row : rowsOf(file, QStringLiteral("SELECT * FROM CustomTable ORDER BY ID"))) {
        QVariantList pages;
        for (int first = 1; first < row.size(); first += FieldsPerPage) {
            const int last = std::min<int>(int(row.size()), first + FieldsPerPage);
            QVariant value = row[first];
            for (int c = first + 1; c < last; ++c)
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

bool beforeOrAfterOne(long stored, long reported) {
    return stored == reported || stored == reported + 1;
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void savedEditsAreWholeOrAbsent();
    void createdRecordsAreWholeOrAbsent();
    void deletedRecordsAreGoneOrKept();
    void pageSwitchWritesAreWholeOrAbsent();
    void addedFieldsArePairedOrAbsent();
    void deletedFieldsArePairedOrKept();

  private:
    Trial runAndKill(const QString& operation, long firstGeneration);
    void prepare(TestEnvironment& env, int fields, int records) const;
    // The checks every trial ends with; returns the file's state for the operation's own.
    Snapshot checkSound(const TestEnvironment& env, const Trial& trial);
    // Runs the trials; check(before, after, trial, first generation) judges each one.
    void runTrials(
        const QString& operation, TestEnvironment& env, int fields, int records,
        const std::function<void(const Snapshot&, const Snapshot&, const Trial&, long)>& check,
        const std::function<bool(const Snapshot&)>& needsFreshFile = {});

    QRandomGenerator m_random;
};

void TestCrash::initTestCase() {
    quint32 seed = quint32(qEnvironmentVariableIntValue("LEDGERLOOM_CRASH_SEED"));
    if (seed == 0)
        seed = QRandomGenerator::system()->generate();
    qInfo("kill moments from seed %u (LEDGERLOOM_CRASH_SEED repeats them)", seed);
    m_random.seed(seed);
}

void TestCrash::prepare(TestEnvironment& env, int fields, int records) const {
    QFile::remove(env.dataFile());
    QDir(Backups::folderFor(env.dataFile())).removeRecursively();
    env.createDataFile();
    env.addFields(fields);
    QList<QVariantList> rows;
    for (int r = 0; r < records; ++r)
        rows << QVariantList(fields, QStringLiteral("G0"));
    env.addRecords(rows);
}

Trial TestCrash::runAndKill(const QString& operation, long firstGeneration) {
    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    driver.setProcessEnvironment(environment);
    driver.start(QStringLiteral(LEDGERLOOM_CRASHDRIVER),
                 {operation, QString::number(firstGeneration)});
    Trial trial;
    if (!driver.waitForStarted(10000)) {
        trial.errors = driver.errorString();
        return trial;
    }
    // Most kills fall among the operations; some during start-up, where a journal left by the
    // previous kill is being rolled back.
    const bool duringStartUp = m_random.bounded(4) == 0;
    QByteArray out;
    if (!duringStartUp) {
        while (!out.contains("ready\n") && driver.state() == QProcess::Running) {
            driver.waitForReadyRead(50);
            out += driver.readAllStandardOutput();
        }
    }
    QThread::msleep(m_random.bounded(duringStartUp ? 800 : 500));
    if (driver.state() == QProcess::Running) {
        ::kill(pid_t(driver.processId()), SIGKILL);
        trial.killed = true;
    }
    driver.waitForFinished(10000);
    out += driver.readAllStandardOutput();
    trial.exitCode = driver.exitCode();
    trial.errors = QString::fromLocal8Bit(driver.readAllStandardError());
    for (const QByteArray& line : out.split('\n'))
        if (line.startsWith("done "))
            trial.finished = line.mid(5).toLong();
    return trial;
}

Snapshot TestCrash::checkSound(const TestEnvironment& env, const Trial& trial) {
    [&] {
        QVERIFY2(trial.killed || trial.exitCode == 0, qPrintable(trial.errors));
        Connection connection;
        try {
            connection.Open(ConnectionString(env.dataFile()));
            connection.Close();
        } catch (const RuntimeError& e) {
            QFAIL(qPrintable(e.description()));
        }
        QCOMPARE(integrityOf(env.dataFile()), QStringLiteral("ok"));
    }();
    Snapshot s = snapshotOf(env.dataFile());
    if (!QTest::currentTestFailed())
        [&] { QCOMPARE(s.columns.mid(1), s.fields); }();
    return s;
}

void TestCrash::runTrials(
    const QString& operation, TestEnvironment& env, int fields, int records,
    const std::function<void(const Snapshot&, const Snapshot&, const Trial&, long)>& check,
    const std::function<bool(const Snapshot&)>& needsFreshFile) {
    prepare(env, fields, records);
    long mostFinished = 0, allFinished = 0;
    Snapshot before = snapshotOf(env.dataFile());
    for (int t = 1; t <= trialsPerOperation(); ++t) {
        if (needsFreshFile && needsFreshFile(before)) {
            prepare(env, fields, records);
            before = snapshotOf(env.dataFile());
        }
        const long first = t * GenerationsPerTrial;
        const Trial trial = runAndKill(operation, first);
        const Snapshot after = checkSound(env, trial);
        if (QTest::currentTestFailed())
            return;
        for (const QVariantList& pages : after.pageValues)
            for (const QVariant& value : pages)
                QVERIFY2(value != QStringLiteral("torn"), "a record holds values of two saves");
        check(before, after, trial, first);
        if (QTest::currentTestFailed()) {
            qWarning("trial %d: %ld operations reported done", t, trial.finished);
            return;
        }
        mostFinished = std::max(mostFinished, trial.finished);
        allFinished += trial.finished;
        before = after;
    }
    qInfo("%s: %d kills, %ld operations finished before them", qPrintable(operation),
          trialsPerOperation(), allFinished);
    // Kills that never met a finished operation would prove little.
    QVERIFY2(mostFinished >= 2, "the driver never got through its operations");
}

void TestCrash::savedEditsAreWholeOrAbsent() {
    TestEnvironment env;
    runTrials(QStringLiteral("save"), env, 30, 20,
              [](const Snapshot& before, const Snapshot& after, const Trial& trial, long first) {
                  QCOMPARE(after.pageValues.size(), before.pageValues.size());
                  QVERIFY2(beforeOrAfterOne(operationsSeen(after, first), trial.finished),
                           qPrintable(QStringLiteral("%1 saves stored, %2 reported")
                                          .arg(operationsSeen(after, first))
                                          .arg(trial.finished)));
              });
}

void TestCrash::createdRecordsAreWholeOrAbsent() {
    TestEnvironment env;
    runTrials(QStringLiteral("create"), env, 30, 3,
              [](const Snapshot& before, const Snapshot& after, const Trial& trial, long) {
                  const long added = after.pageValues.size() - before.pageValues.size();
                  QVERIFY2(beforeOrAfterOne(added, trial.finished),
                           qPrintable(QStringLiteral("%1 records added, %2 reported")
                                          .arg(added)
                                          .arg(trial.finished)));
              });
}

void TestCrash::deletedRecordsAreGoneOrKept() {
    TestEnvironment env;
    runTrials(
        QStringLiteral("delete"), env, 30, 1500,
        [](const Snapshot& before, const Snapshot& after, const Trial& trial, long) {
            const long removed = before.pageValues.size() - after.pageValues.size();
            QVERIFY2(beforeOrAfterOne(removed, trial.finished),
                     qPrintable(QStringLiteral("%1 records gone, %2 reported")
                                    .arg(removed)
                                    .arg(trial.finished)));
            for (const QVariantList& pages : after.pageValues)
                QCOMPARE(pages, (QVariantList{QStringLiteral("G0"), QStringLiteral("G0")}));
        },
        [](const Snapshot& s) { return s.pageValues.size() < 300; });
}

void TestCrash::pageSwitchWritesAreWholeOrAbsent() {
    TestEnvironment env;
    runTrials(QStringLiteral("page"), env, 30, 20,
              [](const Snapshot&, const Snapshot& after, const Trial& trial, long first) {
                  QVERIFY2(beforeOrAfterOne(operationsSeen(after, first), trial.finished),
                           qPrintable(QStringLiteral("%1 edits stored, %2 reported")
                                          .arg(operationsSeen(after, first))
                                          .arg(trial.finished)));
                  // Only the record being edited at a kill may have its pages from two edits,
                  // the second page one behind; of this trial's edits, one at most.
                  int behind = 0;
                  for (const QVariantList& pages : after.pageValues)
                      if (pages[0] != pages[1]) {
                          QVERIFY(generationOf(pages[1]) < generationOf(pages[0]));
                          behind += generationOf(pages[0]) >= first;
                      }
                  QVERIFY(behind <= 1);
              });
}

void TestCrash::addedFieldsArePairedOrAbsent() {
    TestEnvironment env;
    runTrials(
        QStringLiteral("addfield"), env, FieldsPerPage, 30,
        [](const Snapshot& before, const Snapshot& after, const Trial& trial, long) {
            const long added = after.fields.size() - before.fields.size();
            QVERIFY2(
                beforeOrAfterOne(added, trial.finished),
                qPrintable(
                    QStringLiteral("%1 fields added, %2 reported").arg(added).arg(trial.finished)));
            QCOMPARE(after.fields.mid(0, before.fields.size()), before.fields);
            QCOMPARE(after.pageValues.size(), 30);
            for (const QVariantList& pages : after.pageValues)
                QCOMPARE(pages.value(0), QVariant(QStringLiteral("G0")));
        },
        [](const Snapshot& s) { return s.fields.size() > 1500; });
}

void TestCrash::deletedFieldsArePairedOrKept() {
    TestEnvironment env;
    runTrials(
        QStringLiteral("delfield"), env, 80, 30,
        [&env](const Snapshot& before, const Snapshot& after, const Trial& trial, long) {
            const long removed = before.fields.size() - after.fields.size();
            QVERIFY2(beforeOrAfterOne(removed, trial.finished),
                     qPrintable(QStringLiteral("%1 fields deleted, %2 reported")
                                    .arg(removed)
                                    .arg(trial.finished)));
            QCOMPARE(after.fields, before.fields.mid(int(removed)));
            for (const QVariantList& pages : after.pageValues)
                for (const QVariant& value : pages)
                    QCOMPARE(value, QVariant(QStringLiteral("G0")));
            // Every copy kept is whole; a copy cut short never counts as one. A kill between a
            // new copy and the pruning of the oldest leaves one more, pruned by the next delete.
            const QStringList copies = Backups::list(env.dataFile());
            QVERIFY(copies.size() <= Backups::Kept + 1);
            for (const QString& copy : copies)
                QCOMPARE(integrityOf(copy), QStringLiteral("ok"));
        },
        [](const Snapshot& s) { return s.fields.size() < 10; });
}
QTEST_MAIN(TestCrash)
#include "tst_crash.moc"
