// Broken and hostile data files, a file or folder the program may not write, a full disk
// during Save and export, and the backup copy written before a field is deleted. Each time:
// a message that names the file and says what is wrong, the user's input kept, the file never
// made worse, no crash.

#include "support/testsupport.h"

#include "app/recordwindowlink.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/recordset.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
struct RecordWindowStub : RecordWindowLink {
    QStringList shownCaptions() const override { return {}; }
    int shownPage() const override { return 0; }
    bool showRecordWithId(qint64) override { return false; }
    void clearFieldsAndRepaint() override {}
};

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeFile(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void press(QWidget& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button);
    button->click();
}

QLineEdit* box(Form1& window, int entry) {
    return qobject_cast<QLineEdit*>(window.mInputControls().value(entry));
}

// A data file of several pages: records with long values that do not compress, so a workbook
// of them is as large as they are.
void fillDataFile(const TestEnvironment& env, int records = 300) {
    env.addFields(3);
    QList<QVariantList> rows;
    for (int r = 0; r < records; ++r) {
        const QString noise = QString::fromLatin1(
            QCryptographicHash::hash(QByteArray::number(r), QCryptographicHash::Sha512).toHex());
        rows << QVariantList{QStringLiteral("record %1").arg(r), noise + noise.left(72), "z"};
    }
    env.addRecords(rows);
}

// The one message shown names `file` and says one of `said`.
void checkMessage(const ScriptedMessages& messages, const QString& file, const QStringList& said) {
    const QString text = messages.texts().join('\n');
    QVERIFY2(messages.shown.size() == 1 && text.contains(file), qPrintable(text));
    QVERIFY2(
        std::any_of(said.begin(), said.end(), [&](const QString& s) { return text.contains(s); }),
        qPrintable(text));
}

// As root every permission is granted; a test of a read-only file acts as an ordinary user
// for its duration, owning its data folder as such a user would.
class OrdinaryUser {
  public:
    explicit OrdinaryUser(const QString& dataFolder) {
        if (geteuid() != 0)
            return;
        constexpr uid_t Nobody = 65534;
        for (QString path = dataFolder; path.startsWith(QDir::tempPath() + QLatin1Char('/'));
             path = QFileInfo(path).absolutePath()) {
            chown(QFile::encodeName(path).constData(), Nobody, Nobody);
            QFile(path).setPermissions(QFile::permissions(path) | QFile::ExeOther);
        }
        for (const QString& name : QDir(dataFolder).entryList(QDir::Files))
            chown(QFile::encodeName(dataFolder + '/' + name).constData(), Nobody, Nobody);
        m_active = seteuid(Nobody) == 0;
    }
    ~OrdinaryUser() {
        if (m_active) [[maybe_unused]]
            int restored = seteuid(0);
    }

  private:
    bool m_active = false;
};

// Files may grow no further than this many bytes for the lifetime of the object.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

  private:
    rlimit m_old{};
};
} // namespace

class TestHostile : public QObject {
    Q_OBJECT

  private slots:
    void brokenAndForeignFilesAreReportedAndKept_data();
    void brokenAndForeignFilesAreReportedAndKept();
    void readOnlyFileOrFolderKeepsInput_data();
    void readOnlyFileOrFolderKeepsInput();
    void fullDiskDuringSaveOrExportKeepsInputAndFile();
    void fieldDeleteKeepsFiveBackupsAndNeedsOne();
};

void TestHostile::brokenAndForeignFilesAreReportedAndKept_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said");
    QByteArray full;
    {
        TestEnvironment env;
        fillDataFile(env);
        full = bytesOf(env.dataFile());
    }
    QTest::newRow("truncated") << full.left(full.size() / 2) << "cut off";
    QByteArray corrupted = full;
    // Garbage over the middle pages, where the records are.
    for (qsizetype i = full.size() / 3; i < full.size() * 2 / 3; ++i)
        corrupted[i] = char((i * 7919) & 0xff);
    QTest::newRow("corrupted") << corrupted << "damaged";
    QByteArray access(4096, '\0');
    access.replace(4, 15, "Standard Jet DB");
    QTest::newRow("Access") << access << "Microsoft Access";
    QTest::newRow("text") << QByteArray("Name;Phone\nSmith;123\n") << "not a database";
    QByteArray random(8192, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 2654435761u) >> 13);
    QTest::newRow("random") << random << "not a database";
    QTest::newRow("empty") << QByteArray() << "is empty";
    QTest::newRow("header only") << QByteArray("SQLite format 3\0", 16) << "cut off";
}

void TestHostile::brokenAndForeignFilesAreReportedAndKept() {
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    TestEnvironment env;
    env.createDataFile();
    writeFile(env.dataFile(), content);

    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    // Walk every record, so a damaged one is met, then try to edit, add and save.
    const bool open = window->mRSRecords().State() != adStateClosed;
    for (int i = 0; open && i < 400 && window->mIndex() < window->mRSRecords().RecordCount(); ++i)
        press(*window, "PushButton11");
    press(*window, "PushButton1");
    if (auto* first = box(*window, 0)) {
        first->setText(QStringLiteral("typed"));
        press(*window, "PushButton6");
        if (window->mEditing())
            QCOMPARE(first->text(), QStringLiteral("typed"));
    }
    press(*window, "PushButton3");
    press(*window, "PushButton4");
    press(*window, "PushButton6");
    const QString text = messages.texts().join('\n');
    QVERIFY2(text.contains(env.dataFile()) && text.contains(said), qPrintable(text));
    window->close();
    QCOMPARE(bytesOf(env.dataFile()), content);
}

void TestHostile::readOnlyFileOrFolderKeepsInput_data() {
    QTest::addColumn<bool>("folderOnly");
    QTest::newRow("read-only file") << false;
    QTest::newRow("read-only folder") << true;
}

void TestHostile::readOnlyFileOrFolderKeepsInput() {
    QFETCH(bool, folderOnly);
    TestEnvironment env;
    fillDataFile(env, 3);
    const QString folder = env.paths().dataFolder();
    OrdinaryUser user(folder);
    const QString locked = folderOnly ? folder : env.dataFile();
    QVERIFY(QFile::setPermissions(
        locked, QFile::ReadOwner | QFile::ReadUser |
                    (folderOnly ? QFile::ExeOwner | QFile::ExeUser : QFile::Permissions())));
    const QByteArray before = bytesOf(env.dataFile());

    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    QCOMPARE(box(*window, 0)->text(), QStringLiteral("record 0"));
    press(*window, "PushButton1");
    box(*window, 0)->setText(QStringLiteral("typed"));
    press(*window, "PushButton6");
    checkMessage(messages, env.dataFile(), {QStringLiteral("cannot be written")});
    QVERIFY(window->mEditing());
    QCOMPARE(box(*window, 0)->text(), QStringLiteral("typed"));
    press(*window, "PushButton8");
    window.reset();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(bytesOf(env.dataFile()), before);
    QVERIFY(!QFile::exists(env.dataFile() + QStringLiteral("-journal")));
}

void TestHostile::fullDiskDuringSaveOrExportKeepsInputAndFile() {
    TestEnvironment env;
    fillDataFile(env, 2000);
    QTemporaryDir home; // the workbook goes to its documents folder
    const QString exportFolder = home.filePath("Documents");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const QByteArray before = bytesOf(env.dataFile());
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    {
        // No room for a workbook: nothing is left of it.
        FileSizeLimit full(16 * 1024);
        press(*window, "PushButton5");
    }
    qputenv("HOME", oldHome);
    checkMessage(messages, exportFolder, {exportFolder});
    QCOMPARE(QDir(exportFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(!window->mEditing());

    messages.clear();
    press(*window, "PushButton1");
    const QString big(100000, QChar(0x00e9));
    box(*window, 1)->setText(big);
    {
        // The disk has room for the journal but not for the grown file.
        FileSizeLimit full(rlim_t(before.size()));
        press(*window, "PushButton6");
    }
    checkMessage(messages, env.dataFile(), {"full", "cannot be written"});
    QVERIFY(window->mEditing());
    QCOMPARE(box(*window, 1)->text(), big);
    QCOMPARE(bytesOf(env.dataFile()), before);

    // With room again, the same Save stores it.
    messages.clear();
    press(*window, "PushButton6");
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(env.query("SELECT F2 FROM CustomTable ORDER BY ID")[0][0].toString(), big);
    QCOMPARE(env.query("PRAGMA integrity_check")[0][0].toString(), QStringLiteral("ok"));
}

void TestHostile::fieldDeleteKeepsFiveBackupsAndNeedsOne() {
    TestEnvironment env;
    env.addFields(8);
    env.addRecords({QVariantList(8, QStringLiteral("kept"))});
    ScriptedMessages messages;
    RecordWindowStub record;
    Form4 list(messages, env.paths(), record);
    QStringList made;
    for (int i = 1; i <= 6; ++i) {
        const QStringList fieldsBefore = env.columnsOf(QStringLiteral("CustomTable"));
        list.PushButton3->click();
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
        const QStringList copies = Backups::list(env.dataFile());
        QVERIFY(!copies.isEmpty());
        made << copies.last();
        // The newest copy is the file as it was just before this delete.
        sqlite3* db = nullptr;
        QCOMPARE(
            sqlite3_open_v2(made.last().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
        QStringList copied;
        sqlite3_exec(
            db, "SELECT name FROM pragma_table_info('CustomTable')",
            [](void* out, int, char** values, char**) {
                static_cast<QStringList*>(out)->append(QString::fromUtf8(values[0]));
                return 0;
            },
            &copied, nullptr);
        sqlite3_close(db);
        QCOMPARE(copied, fieldsBefore);
        QCOMPARE(env.columnsOf(QStringLiteral("CustomTable")).size(), fieldsBefore.size() - 1);
    }
    const QStringList kept = Backups::list(env.dataFile());
    QCOMPARE(kept, made.mid(1));
    QStringList sorted = kept;
    sorted.sort();
    QCOMPARE(kept, sorted);
    QCOMPARE(QDir(Backups::folderFor(env.dataFile())).entryList(QDir::Files).size(), 5);

    // Something that is not a folder where the copies go: no copy, so no delete.
    QVERIFY(QDir(Backups::folderFor(env.dataFile())).removeRecursively());
    writeFile(Backups::folderFor(env.dataFile()), QByteArray());
    const QByteArray before = bytesOf(env.dataFile());
    list.PushButton3->click();
    checkMessage(messages, Backups::folderFor(env.dataFile()), {"backup"});
    QCOMPARE(list.ListView1->topLevelItemCount(), 2);
    QCOMPARE(env.columnsOf(QStringLiteral("CustomTable")),
             (QStringList{QStringLiteral("ID"), QStringLiteral("F7"), QStringLiteral("F8")}));
    QCOMPARE(bytesOf(env.dataFile()), before);
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
