// Broken and foreign data files, a file or folder the program may not write, a full disk, no
// room for the backup copy: one message that names the file and says what is wrong, the
// user's input kept, the file never made worse, no crash.

#include "support/testsupport.h"

#include "fields/form4.h"
#include "record/form1.h"
#include "store/backup.h"
#include "store/recordset.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Records with long values that do not compress, over several pages of the file.
void fillDataFile(const TestEnvironment& env) {
    env.addFields(3);
    QList<QVariantList> rows;
    for (int r = 0; r < 300; ++r) {
        const QString noise = QString::fromLatin1(
            QCryptographicHash::hash(QByteArray::number(r), QCryptographicHash::Sha512).toHex());
        rows << QVariantList{QStringLiteral("record %1").arg(r), noise + noise.left(72), "z"};
    }
    env.addRecords(rows);
}

// As root every permission is granted; act as an ordinary user owning the data folder.
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

// Walks every record, so a damaged one is met, then edits and saves or else adds.
void useTheWindow(Form1& window, const QString& typed, std::optional<rlim_t> room) {
    for (int i = 0; i < 400 && window.mRSRecords().State() != 0 &&
                    window.mIndex() < window.mRSRecords().RecordCount();
         ++i)
        press(window, "PushButton11");
    press(window, "PushButton1");
    if (QLineEdit* first = textBox(window, 0)) {
        first->setText(typed);
        std::optional<FileSizeLimit> full;
        if (room)
            full.emplace(*room);
        press(window, "PushButton6");
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
    QByteArray full;
    {
        TestEnvironment env;
        fillDataFile(env);
        full = bytesOf(env.dataFile());
    }
    QTest::newRow("truncated") << full.left(full.size() / 2) << "cut off";
    QByteArray corrupted = full;
    for (qsizetype i = full.size() / 3; i < full.size() * 2 / 3; ++i)
        corrupted[i] = char((i * 7919) & 0xff); // garbage over the pages of the records
    QTest::newRow("corrupted") << corrupted << "damaged";
    QTest::newRow("header only") << QByteArray("SQLite format 3\0", 16) << "cut off";
    QTest::newRow("empty") << QByteArray("") << "is empty";
    QTest::newRow("text") << QByteArray("Name;Phone\nSmith;123\n") << "not a database";
    QTest::newRow("read-only file") << QByteArray() << "cannot be written";
    QTest::newRow("read-only folder") << QByteArray() << "cannot be written";
    QTest::newRow("disk full on save") << QByteArray() << "cannot be written";
    QTest::newRow("disk full on export") << QByteArray() << "";
    QTest::newRow("no folder for the backup") << QByteArray() << "backup";
}

void TestHostile::reportedOnceAndFileKept() {
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    const QString cause = QString::fromLatin1(QTest::currentDataTag());
    TestEnvironment env;
    fillDataFile(env);
    if (!content.isNull())
        writeFile(env.dataFile(), content);
    const QString folder = env.paths().dataFolder();
    std::optional<OrdinaryUser> user;
    if (cause.startsWith("read-only")) {
        user.emplace(folder);
        const auto exe = cause.endsWith("folder") ? QFile::ExeOwner : QFile::Permissions();
        QVERIFY(QFile::setPermissions(cause.endsWith("folder") ? folder : env.dataFile(),
                                      QFile::ReadOwner | exe));
    }
    QByteArray before = bytesOf(env.dataFile());
    QString named = env.dataFile();
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    if (cause == "disk full on export") {
        // The workbook goes to the documents folder of the test's home.
        named = QDir::home().filePath("Documents");
        {
            FileSizeLimit full(16 * 1024);
            press(*window, "PushButton5");
        }
        QCOMPARE(QDir(named).entryList(QDir::Files | QDir::Hidden), QStringList());
    } else if (cause == "no folder for the backup") {
        Form4 list(messages, env.paths(), *window, window.get());
        const QStringList fieldsBefore = env.columnsOf("CustomTable");
        list.PushButton3->click();
        // The newest copy is the file as it was just before the delete.
        const QString copy = Backups::list(env.dataFile()).value(0);
        QCOMPARE(queryFile(copy, "SELECT name FROM pragma_table_info('CustomTable')").size(),
                 fieldsBefore.size());
        named = Backups::folderFor(env.dataFile());
        QVERIFY(QDir(named).removeRecursively());
        writeFile(named, QByteArray());
        before = bytesOf(env.dataFile());
        list.PushButton3->click();
        QCOMPARE(list.ListView1->topLevelItemCount(), 2);
    } else {
        const bool diskFull = cause == "disk full on save";
        const QString typed = diskFull ? QString(100000, QChar(0x00e9)) : QString("typed");
        useTheWindow(*window, typed,
                     diskFull ? std::optional<rlim_t>(before.size()) : std::nullopt);
        if (diskFull) { // with room again, the same Save stores it
            QVERIFY2(messages.saidOnce({named, said}), qPrintable(messages.texts().join('\n')));
            messages.clear();
            press(*window, "PushButton6");
            QCOMPARE(messages.texts(), QStringList());
            QCOMPARE(env.query("SELECT F1 FROM CustomTable ORDER BY ID DESC")[0][0].toString(),
                     typed);
            return;
        }
    }
    QVERIFY2(messages.saidOnce({named, said}), qPrintable(messages.texts().join('\n')));
    window.reset();
    user.reset();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(bytesOf(env.dataFile()), before);
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
