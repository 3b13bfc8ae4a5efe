// Broken and foreign data files, a file or folder the program may not write, a full disk, no
// room for the backup copy: one message that names the file and says what is wrong, the
// user's input kept, the file never made worse, no crash.

#include "support/testsupport.h"

#include "fields/form4.h"
#include "record/form1.h"
#include "store/recordcursor.h"
#include "store/sqlitebackup.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Records with long values that do not compress, over several pages of the file; its bytes.
QByteArray fillDataFile(const TestEnvironment& env) {
    env.addFields(3);
    QList<QVariantList> rows;
    for (int r = 0; r < 300; ++r) {
        const QString noise = QString::fromLatin1(
            QCryptographicHash::hash(QByteArray::number(r), QCryptographicHash::Sha512).toHex());
        rows << QVariantList{QStringLiteral("record %1").arg(r), noise + noise.left(72), "z"};
    }
    env.addRecords(rows);
    return bytesOf(env.dataFile());
}

// As root every permission is granted; act as an ordinary user owning the data file and folder.
struct OrdinaryUser {
    explicit OrdinaryUser(const QString& dataFile) {
        if (geteuid() != 0)
            return;
        constexpr uid_t Nobody = 65534;
        for (QString path = dataFile; path.startsWith(QDir::tempPath() + QLatin1Char('/'));
             path = QFileInfo(path).absolutePath()) {
            chown(QFile::encodeName(path).constData(), Nobody, Nobody);
            QFile(path).setPermissions(QFile::permissions(path) | QFile::ExeOther);
        }
        active = seteuid(Nobody) == 0;
    }
    ~OrdinaryUser() { QVERIFY(!active || seteuid(0) == 0); }
    bool active = false;
};

// Files may grow no further than this many bytes for the lifetime of the object.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
    rlimit old{};
};

// Walks every record, so a damaged one is met, then edits and saves with that room, or else adds.
void useTheWindow(Form1& window, const QString& typed, rlim_t room) {
    RecordCursor& set = window.mRSRecords();
    for (int i = 0; i < 400 && set.State() != 0 && window.mIndex() < set.RecordCount(); ++i)
        press(window, "PushButton11");
    press(window, "PushButton1");
    if (QLineEdit* first = textBox(window, 0)) {
        first->setText(typed);
        (FileSizeLimit(room), press(window, "PushButton6")); // the limit lasts for the Save
        if (window.mEditing()) {
            QCOMPARE(first->text(), typed);
            return;
        }
    }
    press(window, "PushButton3");
}
} // namespace

class TestHostile : public QObject {
    Q_OBJECT

  private slots:
    void reportedOnceAndFileKept_data();
    void reportedOnceAndFileKept();
};

void TestHostile::reportedOnceAndFileKept_data() {
    QTest::addColumn<QByteArray>("content"); // the data file's bytes; null: a sound file
    QTest::addColumn<QString>("said");
    const QByteArray full = fillDataFile(TestEnvironment());
    QTest::newRow("truncated") << full.left(full.size() / 2) << "cut off";
    QByteArray corrupted = full;
    for (qsizetype i = full.size() / 3; i < full.size() * 2 / 3; ++i)
        corrupted[i] = char((i * 7919) & 0xff); // garbage over the pages of the records
    QTest::newRow("corrupted") << corrupted << "damaged";
    QTest::newRow("header only") << QByteArray("SQLite format 3\0", 16) << "cut off";
    QTest::newRow("empty") << QByteArray("") << "is empty";
    QTest::newRow("text") << QByteArray("Name;Phone\nSmith;123\n") << "not a database";
    for (const char* cause : {"read-only file", "read-only folder", "disk full on save"})
        QTest::newRow(cause) << QByteArray() << "cannot be written";
    QTest::newRow("disk full on export") << QByteArray() << "";
    QTest::newRow("no folder for the backup") << QByteArray() << "backup";
}

void TestHostile::reportedOnceAndFileKept() {
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    const QString cause = QTest::currentDataTag();
    TestEnvironment env;
    fillDataFile(env);
    if (!content.isNull())
        writeFile(env.dataFile(), content);
    const QString folder = env.paths().dataFolder();
    std::optional<OrdinaryUser> user;
    if (cause.startsWith("read-only")) {
        user.emplace(env.dataFile());
        const auto exe = cause.endsWith("folder") ? QFile::ExeOwner : QFile::Permissions();
        QVERIFY(QFile::setPermissions(cause.endsWith("folder") ? folder : env.dataFile(),
                                      QFile::ReadOwner | exe));
    }
    const QByteArray before = bytesOf(env.dataFile());
    QString named = env.dataFile();
    const bool diskFull = cause == "disk full on save";
    const QString typed = diskFull ? QString(100000, QChar(0x00e9)) : QString("typed");
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    if (cause == "disk full on export") {
        // The workbook goes to the documents folder of the test's home.
        named = QDir::home().filePath("Documents");
        (FileSizeLimit(16 * 1024), press(*window, "PushButton5"));
        QCOMPARE(QDir(named).entryList(QDir::Files | QDir::Hidden), QStringList());
    } else if (cause == "no folder for the backup") {
        Form4 list(messages, env.paths(), env.store(), *window, window.get());
        named = Backups::folderFor(env.dataFile());
        QVERIFY(!writeFile(named, {}).isEmpty()); // a file where the folder would be made
        list.PushButton3->click();
        QCOMPARE(list.ListView1->topLevelItemCount(), 3);
    } else {
        useTheWindow(*window, typed, diskFull ? rlim_t(before.size()) : RLIM_INFINITY);
    }
    VERIFY_SAID_ONCE(messages, named, said);
    if (diskFull) { // with room again, the same Save stores it
        messages.clear();
        press(*window, "PushButton6");
        QCOMPARE(messages.texts(), QStringList());
        QCOMPARE(env.query("SELECT F1 FROM CustomTable ORDER BY ID DESC")[0][0].toString(), typed);
        return;
    }
    window.reset(); // the owner, still, may make the folder writable again
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(bytesOf(env.dataFile()), before);
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
