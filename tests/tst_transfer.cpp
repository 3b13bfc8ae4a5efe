#include "fields/form4.h"
#include "import/accessmigration.h"
#include "import/csvsource.h"
#include "import/importcommand.h"
#include "import/tablesource.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/testserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
const QString Data = QStringLiteral(LEDGERLOOM_TEST_DATA);

// Runs the program itself without a window; its exit code.
int runProgram(QProcess& program, const QStringList& arguments) {
    program.start(LEDGERLOOM_PROGRAM, arguments);
    return program.waitForFinished(60000) ? program.exitCode() : -1;
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
    void importsOrChangesNothing_data();
    void importsOrChangesNothing();
    void csvRoundTripInTheWindowAndWithoutDisplay();
    void accessDataFileAtStartUp();
    void dataFileTablesKeepDefinitionsAndIds();
    void copiesToAServerAndBackKeepingIds();
};

void TransferTest::importsOrChangesNothing_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("table");
    QTest::addColumn<LongWorkRunner>("run");
    QTest::addColumn<int>("records");        // -1: refused
    QTest::addColumn<QString>("said");       // refused: in the message; read: the columns compared
    QTest::addColumn<QVariantList>("first"); // of the first record read
    QTest::addColumn<QString>("made");       // the fields that are not text | the summary's end
    const auto read = [](const char* name, const QByteArray& content, const char* table,
                         int records, const char* columns, const QVariantList& first,
                         const char* made = "") {
        QTest::newRow(name) << content << QString(table) << windowRunner(nullptr) << records
                            << QString(columns) << first << QString(made);
    };
    const auto refused = [](const char* name, const QByteArray& content, const char* said,
                            const char* table = "",
                            const LongWorkRunner& run = windowRunner(nullptr)) {
        QTest::newRow(name) << content << QString(table) << run << -1 << QString(said)
                            << QVariantList() << QString();
    };
    QByteArray jet3 = bytesOf(Data + "/nwind.mdb"), jet4 = bytesOf(Data + "/DateTestDatabase.mdb"),
               ace = bytesOf(Data + "/ASampleDatabase.accdb");
    read("Jet 3", jet3, "Orders", 830, "OrderID, ShipCity, OrderDate",
         {"10330", "Barquisimeto", "1994-11-16 00:00:00"}, "ShipAddress: Multiline Textfield");
    read("Jet 3, Yes/No column", jet3, "Products", 77, "ProductName, Discontinued", {"Chai", "0"},
         "Discontinued: Checkbox");
    read("Jet 3, memo and picture", jet3, "Categories", 8, "CategoryName, Description",
         {"Beverages", "Soft drinks, coffees, teas, beers, and ales"},
         "Description: Multiline Textfield | binary data that no field can hold: Picture.");
    read("Jet 4", jet4, "DateTest", 6, "IDCol, DateTimeCol, LongTextCol",
         {"1", "2021-12-02 00:00:00", "Hello"}, "LongTextCol: Multiline Textfield");
    read("ACE", ace, "", 65, "Make, Cost, Warranty", {"GEO Rocket", "1995.5000", "12"},
         "Comments: Multiline Textfield");
    read("CSV, semicolon, BOM",
         "\xEF\xBB\xBF"
         "a;b\r\n\"1;2\";x\r\n",
         "", 1, "a, b", {"1;2", "x"});
    read("CSV, tab, LF", "a\tb\n1,2\t\"x\"\"y\"\n", "", 1, "a, b", {"1,2", "x\"y"});
    QByteArray many = "a,b\r\n"; // rows that go on from one block read into the next
    for (int i = 0; i < 30000; ++i)
        many += QByteArray::number(i) + ",\"" + QByteArray(40, 'v') + "\"\r\n";
    read("CSV, several blocks", many, "", 30000, "a, b", {"0", QString(40, 'v')});
    read("CSV, quoted break, missing", "a,b\r\n\"1\r\n2\",\r\n", "", 1, "a, b",
         {"1\r\n2", QVariant()}, "a: Multiline Textfield");
    refused("ragged row", "a,b\r\n1,2\r\n3\r\n", "has 1 values in row 3, but its header names 2");
    refused("invalid UTF-8", "a\r\n\xff\xfe\r\n", "is not UTF-8 text");
    refused("cut inside a character", "a\r\nZo\xc3", "ends inside a character");
    refused("NUL byte", QByteArray("a\r\nx\0y\r\n", 8), "holds a NUL byte (at byte 5)");
    refused("empty name", "a,,c\r\n1,2,3\r\n", "gives no name for column 2");
    refused("duplicate names", "Price,PRICE\r\n1,2\r\n", "names the column 'PRICE' twice");
    refused("name clash refused", "name\r\nx\r\n", "have the names of fields already there");
    refused("unclosed quote", "a\r\n\"open\r\n", "quoted value is not closed");
    refused("empty file", "", "is empty");
    refused("header only", "a,b\r\n", "has no records");
    QByteArray wide = "c1";
    for (int i = 2; i <= 5000; ++i)
        wide += ",c" + QByteArray::number(i);
    refused("5,000 columns", wide + "\r\n" + QByteArray(4999, ',') + "\r\n", "has 5,000 columns");
    refused("cancel", "a\r\n1\r\n", "cancelled", "", cancelAtOnce);
    refused("Access cut off", jet3.left(1000000), "is cut off", "Orders");
    refused("Access cut at a page", jet3.left(1001472), "is damaged: the table 'Orders' should",
            "Orders");
    QByteArray damaged = jet3; // written over the table's definition
    damaged.replace(300 * 2048, 200 * 2048, QByteArray(200 * 2048, '\x5a'));
    refused("Access damaged", damaged, "is damaged: the table 'Orders' cannot be read", "Orders");
    damaged = ace; // one byte that sends libmdb round and round its list of tables
    damaged[438039] = 'y';
    refused("Access looping", damaged, "is damaged: reading it came to no end");
    const quint16 maskedS = 0x6aba ^ 's'; // a password beginning with "s"
    jet4[0x42] = char(maskedS & 0xff);
    jet4[0x43] = char(maskedS >> 8);
    refused("Access password", jet4, "is protected with a password", "DateTest");
}

// Read rows are imported after the record already there; refused ones change no byte.
void TransferTest::importsOrChangesNothing() {
    QFETCH(QByteArray, content);
    QFETCH(QString, table);
    QFETCH(LongWorkRunner, run);
    QFETCH(int, records);
    QFETCH(QString, said);
    QFETCH(QVariantList, first);
    QFETCH(QString, made);
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"kept"}});
    const QByteArray before = bytesOf(env.dataFile());
    ScriptedMessages messages;
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    const QString file = writeFile(env.programFolder() + "/in.dat", content);
    QCOMPARE(importFile(messages, connection, file, table, run), long(records));
    if (records >= 0) {
        QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toInt(), records + 1);
        QCOMPARE(env.query("SELECT " + said + " FROM CustomTable ORDER BY ID LIMIT 1 OFFSET 1")[0],
                 first);
        QCOMPARE(env.query("SELECT group_concat(fieldname || ': ' || FieldType, ', ') FROM "
                           "FieldControl WHERE FieldType <> 'Textfield'")[0][0]
                     .toString(),
                 made.section(" | ", 0, 0));
        QVERIFY(messages.texts().last().endsWith(made.section(" | ", 1)));
        return;
    }
    const QString text = messages.texts().join('\n');
    QVERIFY2(text.contains(said), qPrintable(text));
    QVERIFY(QString(QTest::currentDataTag()) == "name clash refused" ||
            text.contains("Nothing was imported; the data file is as it was."));
    QVERIFY(bytesOf(env.dataFile()) == before);
}

// Exported in the field list, read back there under new names; the same export, an import
// and a refused one without a display.
void TransferTest::csvRoundTripInTheWindowAndWithoutDisplay() {
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
    const QString file = env.programFolder() + "/out.csv", headless = file + ".2";
    fieldList.exportCsvTo(file, false);
    qunsetenv("DISPLAY");
    qputenv("QT_QPA_PLATFORM", "xcb"); // a window would fail without a display
    QProcess program;
    const auto run = [&](const QStringList& arguments) { return runProgram(program, arguments); };
    QCOMPARE(run({"--export-csv", headless}), 0);
    QCOMPARE(bytesOf(headless),
             QByteArray("\"Name\",\"Notes\",\"Paid\"\r\n\"Smith, \"\"Jr\"\"\",\"line 1\r\n"
                        "line 2\nline 3\",\"Yes\"\r\n\"Zoë 😀 ;\ttab\",\"\",\"No\"\r\n"
                        ",\"x\",\"Yes\"\r\n"));
    QCOMPARE(bytesOf(file), bytesOf(headless));
    messages.answer(Answer::Yes); // import the clashing names under new ones
    fieldList.importFrom(file);
    QCOMPARE(env.query("SELECT Name_2, Notes_2, Paid_2 FROM CustomTable WHERE ID > 3"), records);
    QCOMPARE(
        env.query("SELECT FieldType FROM FieldControl WHERE fieldname LIKE '%\\_2' ESCAPE '\\'"),
        (QList<QVariantList>{{"Textfield"}, {"Multiline Textfield"}, {"Checkbox"}}));
    QCOMPARE(run({"--import", env.programFolder() + "/missing.csv"}), 1);
    QVERIFY(program.readAllStandardError().contains("cannot be found"));
    QCOMPARE(run({"--import", headless, "--rename-clashes"}), 0);
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toInt(), 9);
    window.reset();
    QVERIFY(QFile::remove(env.dataFile())); // a first run on this account makes the data file
    QCOMPARE(run({"--import", headless}), 0);
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toInt(), 3);
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
    QVERIFY(replaceAccessDataFile(env.paths(), messages, source, windowRunner(nullptr)));
    QCOMPARE(env.query("SELECT * FROM FieldControl"),
             (QList<QVariantList>{{"Colour", "Dropdown", "3", "Red,[Blue]"},
                                  {"Paid", "checkbox", "1", "Yes,No"}}));
    QCOMPARE(env.query("SELECT * FROM CustomTable"),
             (QList<QVariantList>{{"3", "Blue", "1"}, {"42", QVariant(), "0"}}));
    QCOMPARE(env.query("SELECT seq FROM sqlite_sequence")[0][0].toInt(), 42);
}

// Server to data file and data file to another server, each in one transaction, and only into
// an empty store: ids, Null and "" and the next id kept.
void TransferTest::copiesToAServerAndBackKeepingIds() {
    TestEnvironment env(Store::Server);
    env.addFields(2);
    env.addRecords({{"007", QVariant()}, {"", "Zoë 😀 ;\"'"}, {"last", "gone"}});
    env.execute("DELETE FROM \"CustomTable\" WHERE \"ID\" = 3");
    const QString records = "SELECT * FROM \"CustomTable\" ORDER BY \"ID\"";
    const QString fields = FieldRows;
    QProcess program;
    const auto run = [&](const QStringList& arguments) { return runProgram(program, arguments); };
    QCOMPARE(run({"--copy-from", env.server()}), 0);
    QCOMPARE(queryFile(env.dataFile(), records), env.query(records));
    QCOMPARE(queryFile(env.dataFile(), fields), env.query(fields));
    QCOMPARE(queryFile(env.dataFile(), "SELECT seq FROM sqlite_sequence"),
             QList<QVariantList>{{"3"}});
    const QByteArray copied = bytesOf(env.dataFile());
    QCOMPARE(run({"--copy-from", env.server()}), 1);
    QCOMPARE(bytesOf(env.dataFile()), copied);

    const QString second = TestServer::shared().newDatabase();
    QCOMPARE(run({"--copy-to", second}), 0);
    OtherProgram server(second);
    QCOMPARE(server.rows(records), env.query(records));
    QCOMPARE(server.rows(fields), env.query(fields));
    QCOMPARE(run({"--copy-to", second}), 1);
    QCOMPARE(server.rows("SELECT count(*) FROM \"CustomTable\""), QList<QVariantList>{{"2"}});
    QCOMPARE(server.rows("INSERT INTO \"CustomTable\" DEFAULT VALUES RETURNING \"ID\""),
             QList<QVariantList>{{"4"}});
}

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
