#include "fields/form4.h"
#include "import/accessmigration.h"
#include "import/csvsource.h"
#include "import/importcommand.h"
#include "import/tablesource.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
const QString Data = QStringLiteral(LEDGERLOOM_TEST_DATA);

bool runNow(const QString&, const std::function<void()>& work, const std::function<void()>&) {
    work();
    return true;
}

// As the progress dialog does when Cancel is pressed at once: the work fails as cancelled.
bool cancelAtOnce(const QString&, const std::function<void()>& work,
                  const std::function<void()>& cancel) {
    cancel();
    try {
        work();
    } catch (...) {
        return false;
    }
    return true;
}

long importInto(const QString& dataFile, MessageService& messages, const QString& path,
                const QString& table = QString(), const LongWorkRunner& run = runNow) {
    Connection connection;
    connection.Open(ConnectionString(dataFile));
    return importFile(messages, connection, path, table, run);
}

// A data file of the Access version, its tables given as CSV text.
struct CsvTables : DatabaseSource {
    QString folder;
    QMap<QString, QByteArray> tables;
    QStringList tableNames() const override { return tables.keys(); }
    std::unique_ptr<TableSource> openTable(const QString& name) override {
        return std::make_unique<CsvSource>(writeFile(folder + "/" + name + ".csv", tables[name]));
    }
};
} // namespace

class TransferTest : public QObject {
    Q_OBJECT
  private slots:
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void sourcesAreRead_data();
    void sourcesAreRead();
    void csvRoundTripThroughTheFieldList();
    void accessDataFileAtStartUp();
    void dataFileTablesKeepDefinitionsAndIds();
    void commandLineRunsWithoutDisplay();
};

void TransferTest::badInputChangesNothing_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("said");
    const auto csv = [](const char* name, const QByteArray& content, const char* said) {
        QTest::newRow(name) << content << QString() << false << QString(said);
    };
    csv("ragged row", "a,b\r\n1,2\r\n3\r\n", "has 1 values in row 3, but its header names 2");
    csv("invalid UTF-8", "a\r\n\xff\xfe\r\n", "is not UTF-8 text");
    csv("cut inside a character", "a\r\nZo\xc3", "ends inside a character");
    csv("NUL byte", QByteArray("a\r\nx\0y\r\n", 8), "holds a NUL byte (at byte 5)");
    csv("empty name", "a,,c\r\n1,2,3\r\n", "gives no name for column 2");
    csv("duplicate names", "Price,PRICE\r\n1,2\r\n", "names the column 'PRICE' twice");
    csv("name clash refused", "name\r\nx\r\n", "have the names of fields already there");
    csv("unclosed quote", "a\r\n\"open\r\n", "quoted value is not closed");
    csv("empty file", "", "is empty");
    csv("header only", "a,b\r\n", "has no records");
    QByteArray wide = "c1";
    for (int i = 2; i <= 5000; ++i)
        wide += ",c" + QByteArray::number(i);
    csv("5,000 columns", wide + "\r\n" + QByteArray(4999, ',') + "\r\n", "has 5,000 columns");
    QTest::newRow("cancel") << QByteArray("a\r\n1\r\n") << QString() << true << "cancelled";
    const QByteArray jet3 = bytesOf(Data + "/nwind.mdb");
    QTest::newRow("Access cut off") << jet3.left(1000000) << "Orders" << false << "is cut off";
    QTest::newRow("Access cut at a page")
        << jet3.left(1001472) << "Orders" << false << "is damaged: the table 'Orders' should";
    QByteArray damaged = jet3;
    for (qsizetype i = 300 * 2048; i < 500 * 2048; ++i) // over the table's definition
        damaged[i] = char((i * 7919) >> 3);
    QTest::newRow("Access damaged")
        << damaged << "Orders" << false << "is damaged: the table 'Orders' cannot be read";
    QByteArray locked = bytesOf(Data + "/DateTestDatabase.mdb");
    const quint16 maskedS = 0x6aba ^ 's'; // a password beginning with "s"
    locked[0x42] = char(maskedS & 0xff);
    locked[0x43] = char(maskedS >> 8);
    QTest::newRow("Access password")
        << locked << "DateTest" << false << "is protected with a password";
}

void TransferTest::badInputChangesNothing() {
    QFETCH(QByteArray, content);
    QFETCH(QString, table);
    QFETCH(bool, cancel);
    QFETCH(QString, said);
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"kept"}});
    const QByteArray before = bytesOf(env.dataFile());
    const QString file =
        writeFile(env.programFolder() + (table.isEmpty() ? "/in.csv" : "/in.mdb"), content);
    ScriptedMessages messages;
    QCOMPARE(importInto(env.dataFile(), messages, file, table, cancel ? cancelAtOnce : runNow), -1);
    const QString text = messages.texts().join('\n');
    QVERIFY2(text.contains(said), qPrintable(text));
    QVERIFY(QString(QTest::currentDataTag()) == "name clash refused" ||
            text.contains("Nothing was imported; the data file is as it was."));
    QVERIFY(bytesOf(env.dataFile()) == before);
}

void TransferTest::sourcesAreRead_data() {
    QTest::addColumn<QString>("file"); // in tests/data, or the CSV text below
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("query"); // of the first imported record
    QTest::addColumn<QVariantList>("expected");
    const auto row = [](const char* name, const QString& file, const char* table, int records,
                        const char* query, const QVariantList& expected) {
        QTest::newRow(name) << file << QString(table) << records << QString(query) << expected;
    };
    row("Jet 3", "nwind.mdb", "Orders", 830, "OrderID, ShipCity, OrderDate",
        {"10330", "Barquisimeto", "1994-11-16 00:00:00"});
    row("Jet 3, Yes/No column", "nwind.mdb", "Products", 77, "ProductName, Discontinued",
        {"Chai", "0"});
    row("Jet 4", "DateTestDatabase.mdb", "DateTest", 6, "IDCol, DateTimeCol, LongTextCol",
        {"1", "2021-12-02 00:00:00", "Hello"});
    row("ACE", "ASampleDatabase.accdb", "", 65, "Make, Cost, Warranty",
        {"GEO Rocket", "1995.5000", "12"});
    row("CSV, semicolon, BOM",
        "\xEF\xBB\xBF"
        "a;b\r\n\"1;2\";x\r\n",
        "", 1, "a, b", {"1;2", "x"});
    row("CSV, tab, LF", "a\tb\n1,2\t\"x\"\"y\"\n", "", 1, "a, b", {"1,2", "x\"y"});
    QByteArray many = "a,b\r\n"; // rows that go on from one block read into the next
    for (int i = 0; i < 30000; ++i)
        many += QByteArray::number(i) + ",\"" + QByteArray(40, 'v') + "\"\r\n";
    row("CSV, several blocks", many, "", 30000, "a, b", {"0", QString(40, 'v')});
    row("CSV, quoted break, missing", "a,b\r\n\"1\r\n2\",\r\n", "", 1, "a, b",
        {"1\r\n2", QVariant()});
}

void TransferTest::sourcesAreRead() {
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(int, records);
    QFETCH(QString, query);
    QFETCH(QVariantList, expected);
    TestEnvironment env;
    env.createDataFile();
    const QString path = QFile::exists(Data + "/" + file)
                             ? Data + "/" + file
                             : writeFile(env.programFolder() + "/in.csv", file.toUtf8());
    ScriptedMessages messages;
    QCOMPARE(importInto(env.dataFile(), messages, path, table), long(records));
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toInt(), records);
    QCOMPARE(env.query("SELECT " + query + " FROM CustomTable ORDER BY ID LIMIT 1")[0], expected);
}

void TransferTest::csvRoundTripThroughTheFieldList() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Notes", "Multiline Textfield");
    env.addField("Paid", "Checkbox", "8", "Yes,No");
    const QList<QVariantList> records{{"Smith, \"Jr\"", "line 1\r\nline 2\nline 3", "1"},
                                      {"Zoë 😀 ;\ttab", "", "0"},
                                      {QVariant(), "x", "1"}};
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    Form4 fieldList(messages, env.paths(), *window);
    const QString file = env.programFolder() + "/out.csv";
    fieldList.exportCsvTo(file, false);
    messages.answer(Answer::Yes); // import the clashing names under new ones
    fieldList.importFrom(file);
    QCOMPARE(env.query("SELECT Name_2, Notes_2, Paid_2 FROM CustomTable WHERE ID > 3"), records);
    QCOMPARE(
        env.query("SELECT FieldType FROM FieldControl WHERE fieldname LIKE '%\\_2' ESCAPE '\\'"),
        (QList<QVariantList>{{"Textfield"}, {"Multiline Textfield"}, {"Checkbox"}}));
}

// No leaves the Access file as it is, and it is offered again at the next start; Yes keeps it
// under a new name and brings its table into a new data file.
void TransferTest::accessDataFileAtStartUp() {
    TestEnvironment env;
    const QByteArray access = bytesOf(Data + "/DateTestDatabase.mdb");
    writeFile(env.dataFile(), access);
    const QString folder = env.paths().dataFolder();
    ScriptedMessages messages;
    messages.answer(Answer::No);
    startRecordWindow(messages, env);
    QVERIFY(messages.shown[0].text.contains("is a Microsoft Access database"));
    QVERIFY(messages.texts().last().contains("cannot open it"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"dbData.mdb"});
    QVERIFY(bytesOf(env.dataFile()) == access);
    messages.answer(Answer::Yes);
    messages.answer(Answer::Yes); // the table DateTest
    auto window = startRecordWindow(messages, env);
    const QStringList files = QDir(folder).entryList(QDir::Files);
    QCOMPARE(files.size(), 2);
    QVERIFY(QRegularExpression("^dbData-access-\\d{8}-\\d{6}\\.mdb$").match(files[0]).hasMatch());
    QVERIFY(bytesOf(folder + "/" + files[0]) == access);
    QCOMPARE(window->shownCaptions().first(), QString("IDCol"));
    QCOMPARE(window->mRSRecords().RecordCount(), 6L);
}

void TransferTest::dataFileTablesKeepDefinitionsAndIds() {
    TestEnvironment env;
    writeFile(env.dataFile(), "stands for the Access file");
    CsvTables source;
    source.folder = env.programFolder();
    source.tables["FieldControl"] =
        "fieldname,FieldType,FieldLength,FieldValues\n"
        "Colour,Dropdown,3,\"Red,[Blue]\"\nPaid,checkbox,1,\"Yes,No\"\n";
    source.tables["CustomTable"] = "ID,Paid,Colour,Unlisted\n3,1,Blue,x\n42,0,,y\n";
    ScriptedMessages messages;
    QVERIFY(replaceAccessDataFile(env.paths(), messages, source, runNow));
    QCOMPARE(env.query("SELECT * FROM FieldControl"),
             (QList<QVariantList>{{"Colour", "Dropdown", "3", "Red,[Blue]"},
                                  {"Paid", "checkbox", "1", "Yes,No"}}));
    QCOMPARE(env.query("SELECT * FROM CustomTable"),
             (QList<QVariantList>{{"3", "Blue", "1"}, {"42", QVariant(), "0"}}));
    QCOMPARE(env.query("SELECT seq FROM sqlite_sequence")[0][0].toInt(), 42);
}

void TransferTest::commandLineRunsWithoutDisplay() {
    TestEnvironment env;
    env.createDataFile();
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb"); // a window would fail without a display
    program.setProcessEnvironment(environment);
    const auto run = [&](const QStringList& arguments) {
        program.start(LEDGERLOOM_PROGRAM, arguments);
        program.waitForFinished(60000);
        return program.exitCode();
    };
    const QByteArray csv = "Name,Paid\r\n\"a \"\"b\"\"\",yes\r\n,No\r\n";
    QCOMPARE(run({"--import", writeFile(env.programFolder() + "/in.csv", csv)}), 0);
    QCOMPARE(run({"--import", env.programFolder() + "/missing.csv"}), 1);
    QVERIFY(program.readAllStandardError().contains("cannot be found"));
    const QString out = env.programFolder() + "/out.csv";
    QCOMPARE(run({"--export-csv", out}), 0);
    QCOMPARE(bytesOf(out),
             QByteArray("\"Name\",\"Paid\"\r\n\"a \"\"b\"\"\",\"Yes\"\r\n,\"No\"\r\n"));
}

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
