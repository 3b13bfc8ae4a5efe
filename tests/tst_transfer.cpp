#include "fields/columnmapping.h"
#include "fields/form4.h"
#include "import/accessmigration.h"
#include "import/csvsource.h"
#include "import/importcommand.h"
#include "import/tablesource.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fieldrules.h"
#include "store/recordbin.h"
#include "store/recordcursor.h"
#include "support/testserver.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const QString Data = QStringLiteral(LEDGERLOOM_TEST_DATA);

// Runs the program itself without a display, where a window would fail; its exit code.
int runProgram(QProcess& program, const QStringList& arguments) {
    qunsetenv("DISPLAY");
    qputenv("QT_QPA_PLATFORM", "xcb");
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

// The process may take only this many bytes more address space while the object lives; 0 sets
// no limit.
struct MemoryLimit {
    explicit MemoryLimit(rlim_t bytes) {
        rlim_t pages = 0; // the address space taken now
        std::ifstream("/proc/self/statm") >> pages;
        getrlimit(RLIMIT_AS, &old);
        const rlimit limit{bytes ? pages * getpagesize() + bytes : old.rlim_cur, old.rlim_max};
        setrlimit(RLIMIT_AS, &limit);
    }
    ~MemoryLimit() { setrlimit(RLIMIT_AS, &old); }
    rlimit old{};
};

// A data file of the Access version, its tables given as CSV text.
struct CsvTables : DatabaseSource {
    QString folder;
    QMap<QString, QByteArray> tables;
    QStringList tableNames() const override { return tables.keys(); }
    std::unique_ptr<TableSource> openTable(const QString& name) override {
        return std::make_unique<CsvSource>(writeFile(folder + "/" + name + ".csv", tables[name]),
                                           FieldRoom{10, 10});
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
    void optionsEndAtOnceTouchingNothing_data();
    void optionsEndAtOnceTouchingNothing();
};

void TransferTest::importsOrChangesNothing_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("table");
    QTest::addColumn<LongWorkRunner>("run"); // none: the program itself on the command line
    QTest::addColumn<bool>("emptyFile");     // else the data file holds one record
    QTest::addColumn<int>("records");        // -1: refused
    QTest::addColumn<QString>("said");       // in the summary or the refusal
    QTest::addColumn<QString>("columns");    // read: compared in the first record imported
    QTest::addColumn<QVariantList>("first");
    QTest::addColumn<QString>("made"); // the new fields that are not text, with their kind
    QTest::addColumn<StoreKind>("store");
    const auto read = [](const char* name, const QByteArray& content, const char* table,
                         int records, const char* columns, const QVariantList& first,
                         const char* said = "", const char* made = "",
                         const LongWorkRunner& run = windowRunner(nullptr), bool emptyFile = false,
                         StoreKind store = StoreKind::Local) {
        QTest::newRow(name) << content << QString(table) << run << emptyFile << records
                            << QString(said) << QString(columns) << first << QString(made) << store;
    };
    const auto refused =
        [](const char* name, const QByteArray& content, const char* said, const char* table = "",
           const LongWorkRunner& run = windowRunner(nullptr), StoreKind store = StoreKind::Local) {
            QTest::newRow(name) << content << QString(table) << run << false << -1 << QString(said)
                                << QString() << QVariantList() << QString() << store;
        };
    QByteArray jet3 = bytesOf(Data + "/nwind.mdb"), jet4 = bytesOf(Data + "/DateTestDatabase.mdb"),
               ace = bytesOf(Data + "/ASampleDatabase.accdb");
    QByteArray idKey = jet4, noRows = jet4; // IDCol named "ID   "; DateTest's rows given away
    idKey.replace(idKey.indexOf(QByteArray("I\0D\0C\0o\0l", 9)) + 4, 5, QByteArray(" \0 \0 ", 5));
    qToLittleEndian<quint32>(0, noRows.data() + 18 * 4096 + 16);
    qToLittleEndian<quint32>(0, noRows.data() + 20 * 4096 + 4);
    // An Access column's own kind decides its field: a text column with line breaks stays text.
    read("Jet 3", jet3, "Orders", 830, "OrderID, ShipCity, OrderDate",
         {"10330", "Barquisimeto", "1994-11-16"}, "830 records",
         "OrderID: Number, EmployeeID: Number, OrderDate: Date, RequiredDate: Date, ShippedDate: "
         "Date, "
         "ShipVia: Number, Freight: Currency",
         {});
    read(
        "Jet 3, Yes/No column", jet3, "Products", 77, "ProductName, Discontinued", {"Chai", "0"},
        "",
        "ProductID: Number, SupplierID: Number, CategoryID: Number, UnitPrice: Currency, "
        "UnitsInStock: Number, UnitsOnOrder: Number, ReorderLevel: Number, Discontinued: Checkbox");
    read("Jet 3, memo and picture", jet3, "Categories", 8, "CategoryName, Description",
         {"Beverages", "Soft drinks, coffees, teas, beers, and ales"},
         "binary data that no field can hold: Picture.",
         "CategoryID: Number, Description: Multiline Textfield");
    read("Jet 4", jet4, "DateTest", 6, "IDCol, DateTimeCol, LongTextCol",
         {"1", "2021-12-02", "Hello"}, "",
         "IDCol: Number, DateTimeCol: Date, DateCol: Date, TimeCol: Date, LongTextCol: Multiline "
         "Textfield");
    read("Jet 4, dates before 1900", jet4, "DateTest", 6,
         "(SELECT group_concat(DateCol || '/' || TimeCol, ' ') FROM CustomTable)",
         {"2021-12-02/2021-12-02 9999-01-01/9999-01-01 1899-01-01/1900-01-01 0633-01-01/0634-01-01 "
          "2021-12-02/2021-12-02 2021-12-02/2021-12-02"},
         "",
         "IDCol: Number, DateTimeCol: Date, DateCol: Date, TimeCol: Date, LongTextCol: Multiline "
         "Textfield");
    read("Jet 4, key column ID", idKey, "DateTest", 6, "ID, LongTextCol", {"1", "Hello"},
         "records' ids",
         "DateTimeCol: Date, DateCol: Date, TimeCol: Date, LongTextCol: Multiline Textfield", {},
         true);
    read("Jet 4, no rows", noRows, "DateTest", 0, "count(IDCol), count(LongTextCol)", {"0", "0"},
         "no records",
         "IDCol: Number, DateTimeCol: Date, DateCol: Date, TimeCol: Date, LongTextCol: Multiline "
         "Textfield",
         {}, true);
    read("ACE", ace, "", 65, "Make, Cost, Warranty", {"GEO Rocket", "1995.50", "12"}, "",
         "Acquired: Date, Cost: Currency, Warranty: Number, Comments: Multiline Textfield");
    read("CSV, semicolon, BOM",
         "\xEF\xBB\xBF"
         "a;b\r\n\"1;2\";x\r\n",
         "", 1, "a, b", {"1;2", "x"});
    read("CSV, tab, LF", "a\tb\n1,2\t\"x\"\"y\"\n", "", 1, "a, b", {"1,2", "x\"y"});
    read("CSV, bare quotes",
         "Place,Size\r\n37\xc2\xb0"
         "36'37.8\"N,12\" pipe\r\n",
         "", 1, "Place, Size", {"37°36'37.8\"N", "12\" pipe"});
    read("CSV, Windows-1252",
         "Person;Stra\xdf"
         "e\r\nM\xfcller;K\xf6ln \x80\r\n",
         "", 1, "Person, Straße", {"Müller", "Köln €"});
    const QString unicodeText = "Product\tPrice\r\nCrème brûlée\t4,50\r\n";
    read("CSV, UTF-16 with BOM, tab",
         "\xFF\xFE" +
             QByteArray(reinterpret_cast<const char*>(unicodeText.utf16()), unicodeText.size() * 2),
         "", 1, "Product, Price", {"Crème brûlée", "4,50"});
    QByteArray many = "a,b\r\n"; // rows that go on from one block read into the next
    for (int i = 0; i < 30000; ++i)
        many += QByteArray::number(i) + ",\"" + QByteArray(40, 'v') + "\"\r\n";
    read("CSV, several blocks", many, "", 30000, "a, b", {"0", QString(40, 'v')}, "", "a: Number");
    read("CSV, numbers and dates", "n,d,z,m\r\n1.5,1948-12-08,00501,1\r\n-2,8 Dec 1948,7,x\r\n", "",
         2, "n, d, z, m", {"1.5", "1948-12-08", "00501", "1"}, "", "n: Number, d: Date");
    read("CSV, quoted break, missing", "a,b\r\n\"1\r\n2\",\r\n", "", 1, "a, b",
         {"1\r\n2", QVariant()}, "", "a: Multiline Textfield");
    read("into the fields there", " NAME ,paid,Colour,Notes\r\nx,Yes,Green,y\r\n,2,[Blue],\r\n", "",
         2, "Name, Paid, Colour, Notes", {"x", "1", "Green", "y"}, "2 values");
    read("into typed fields, with checks",
         "Amount,Name\r\n12.5,a\r\nabc,b\r\n-1,c\r\n,d\r\n1e3,e\r\n", "", 1, "Amount, Name",
         {"12.50", "a"},
         "4 rows were not imported, as a value there is not of its field's kind or breaks the "
         "field's checks; the first: row 2, column Amount, \"abc\" is not a number.");
    read("typed fields, server", "Amount,Name\r\n-1,c\r\n7.001,x\r\n7,x\r\n", "", 1,
         "\"Amount\", \"Name\"", {"7.00", "x"}, "row 1, column Amount, \"-1\" is below its minimum",
         "", windowRunner(nullptr), false, StoreKind::Server);
    read("ID kept in an empty file", "id,Name\r\n7,x\r\n-3,y\r\n", "", 2, "ID, Name", {"-3", "y"},
         "records' ids", "", windowRunner(nullptr), true);
    read("ID not unique", "ID,Name\r\n5,x\r\n5,y\r\n", "", 2, "ID_2, Name", {"5", "x"},
         "became the field ID_2", "ID_2: Number", windowRunner(nullptr), true);
    read("ID not unique, server", "ID,Name\r\n5,x\r\n5,y\r\n", "", 2, "\"ID_2\", \"Name\"",
         {"5", "x"}, "field ID_2", "", windowRunner(nullptr), true, StoreKind::Server);
    read("ID beside records", "ID\r\n7\r\n", "", 1, "ID, ID_2", {"2", "7"}, "field ID_2",
         "ID_2: Number");
    read("header only", "a,b\r\n", "", 0, "count(a), count(b)", {"0", "0"}, "no records", "",
         windowRunner(nullptr), true);
    refused("ragged row", "a,b\r\n1,2\r\n3\r\n", "has 1 values in row 3, but its header names 2");
    refused("invalid UTF-8 past the start", "a\r\n" + QByteArray(1 << 22, 'x') + "\r\n\xff\r\n",
            "is not UTF-8 text");
    refused("cut inside a character", "a\r\nZo\xc3", "ends inside a character");
    refused("NUL byte", QByteArray("a\r\nx\0y\r\n", 8), "holds a NUL character (at byte 5");
    refused("empty name", "a,,c\r\n1,2,3\r\n", "gives no name for column 2");
    refused("duplicate names", "Price,PRICE\r\n1,2\r\n", "names the column 'PRICE' twice");
    refused("unclosed quote", "a\r\n\"open\r\n", "quoted value is not closed");
    refused("empty file", "", "is empty");
    QByteArray wide = "c1";
    for (int i = 2; i <= 5000; ++i)
        wide += ",c" + QByteArray::number(i);
    refused("5,000 columns", wide + "\r\n" + QByteArray(4999, ',') + "\r\n", "has 5,000 columns");
    const QByteArray commas(20'000'000, ',');
    refused("in little memory: 20 M names", commas + "\r\nx\r\n", "has 20,000,001 columns");
    refused("in little memory: 20 M values", "a\r\n" + commas + "\r\n", "20,000,001 values");
    refused("on the server: 64 bytes", QString(32, u'é').toUtf8() + "\r\nx\r\n", "at most 63", "",
            windowRunner(nullptr), StoreKind::Server);
    refused("cancel", "a\r\n1\r\n", "cancelled", "", cancelAtOnce);
    refused("Access cut off", jet3.left(1000000), "is cut off", "Orders");
    refused("Access cut at a page", jet3.left(1001472), "is damaged: the table 'Orders' should",
            "Orders");
    QByteArray damaged = jet3; // written over the table's definition
    damaged.replace(300 * 2048, 200 * 2048, QByteArray(200 * 2048, '\x5a'));
    refused("Access damaged", damaged, "is damaged: the table 'Orders' cannot be read", "Orders");
    damaged = ace; // one byte that sends libmdb round and round its list of tables
    damaged[438039] = 'y';
    // Runaway memory or no end, whichever the machine meets first.
    refused("Access looping", damaged, "is damaged: reading it");
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
    QFETCH(bool, emptyFile);
    QFETCH(int, records);
    QFETCH(QString, said);
    QFETCH(QString, columns);
    QFETCH(QVariantList, first);
    QFETCH(QString, made);
    QFETCH(StoreKind, store);
    const QString tag = QTest::currentDataTag();
    TestEnvironment env(store);
    env.addField("Name", "Textfield");
    env.addField("Paid", "Checkbox", "8", "Yes,No");
    env.addField("Colour", "Dropdown", "8", "Red,[Blue]");
    env.addField("Amount", "Currency");
    env.execute("CREATE TABLE \"FieldChecks\" (\"fieldname\" TEXT, \"Required\" INTEGER, "
                "\"Minimum\" TEXT, \"Maximum\" TEXT, \"Decimals\" INTEGER); INSERT INTO "
                "\"FieldChecks\" VALUES ('Amount', 1, '0.00', NULL, NULL)");
    if (!emptyFile)
        env.addRecords({{"kept"}});
    const QByteArray before = bytesOf(env.dataFile());
    ScriptedMessages messages;
    Connection connection;
    connection.Open(env.connectionString());
    const QString file = writeFile(env.programFolder() + "/in.dat", content);
    // A third of what keeping every value's place took.
    const MemoryLimit limit(tag.contains("in little memory") ? rlim_t(256) << 20 : 0);
    QProcess program;
    if (run)
        QCOMPARE(importFile(messages, connection, file, table, run), long(records));
    else
        QCOMPARE(runProgram(program, {"--import", file, "--table", table}), records < 0 ? 1 : 0);
    const QString text =
        messages.texts().join('\n') + (run ? QByteArray() : program.readAllStandardError());
    QVERIFY2(text.contains(said), qPrintable(text));
    if (records >= 0) {
        QCOMPARE(env.query("SELECT count(*) FROM \"CustomTable\"")[0][0].toInt(),
                 records + !emptyFile);
        QCOMPARE(env.query("SELECT " + columns + " FROM \"CustomTable\" ORDER BY \"ID\"")
                     .value(!emptyFile),
                 first);
        if (store == StoreKind::Local)
            QCOMPARE(env.query("SELECT group_concat(fieldname || ': ' || FieldType, ', ') FROM "
                               "FieldControl WHERE FieldType <> 'Textfield' AND rowid > 4")[0][0]
                         .toString(),
                     made);
        return;
    }
    QVERIFY(text.contains("Nothing was imported; the data file is as it was."));
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
    Form4 fieldList(messages, env.paths(), env.store(), *window);
    const QString file = env.programFolder() + "/out.csv", headless = file + ".2";
    fieldList.exportCsvTo(file, false);
    QProcess program;
    const auto run = [&](const QStringList& arguments) { return runProgram(program, arguments); };
    QCOMPARE(run({"--export-csv", headless}), 0);
    QCOMPARE(bytesOf(headless),
             QByteArray("\"Name\",\"Notes\",\"Paid\"\r\n\"Smith, \"\"Jr\"\"\",\"line 1\r\n"
                        "line 2\nline 3\",\"Yes\"\r\n\"Zoë 😀 ;\ttab\",\"\",\"No\"\r\n"
                        ",\"x\",\"Yes\"\r\n"));
    QCOMPARE(bytesOf(file), bytesOf(headless));
    QString counted, howRead; // back in through the dialog: Name into a new field, Paid left out
    whenShown<ColumnMappingDialog>([&](ColumnMappingDialog& mapping) {
        const auto done = [&] { return !mapping.recordsLabel->text().endsWith("..."); };
        counted = QTest::qWaitFor(done) ? mapping.recordsLabel->text() : QString();
        howRead = mapping.findChild<QLabel*>("howReadLabel")->text();
        mapping.target(0)->setCurrentIndex(mapping.target(0)->findText("(new field Name_2)"));
        mapping.target(2)->setCurrentIndex(mapping.target(2)->findText("(leave out)"));
        QTest::mouseClick(mapping.buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    fieldList.importFrom(file);
    QCOMPARE(counted, QString("Records to import: 3"));
    QCOMPARE(howRead, QString("Read as UTF-8 text, the values separated by commas."));
    QCOMPARE(env.query("SELECT Name_2, Notes FROM CustomTable WHERE ID > 3"),
             env.query("SELECT Name, Notes FROM CustomTable WHERE ID <= 3"));
    QCOMPARE(env.query("SELECT count(Paid) FROM CustomTable WHERE ID > 3")[0][0].toInt(), 0);
    QCOMPARE(run({"--import", env.programFolder() + "/missing.csv"}), 1);
    QVERIFY(program.readAllStandardError().contains("cannot be found"));
    QCOMPARE(run({"--import", headless, "--rename-clashes"}), 0);
    QCOMPARE(env.query("SELECT FieldType FROM FieldControl WHERE fieldname IN ('Name_3', "
                       "'Notes_2', 'Paid_2')"),
             (QList<QVariantList>{{"Textfield"}, {"Multiline Textfield"}, {"Checkbox"}}));
    QCOMPARE(run({"--import", headless}), 0);
    QVERIFY(program.readAllStandardError().contains(
        "Columns into the fields there: Name, Notes, Paid."));
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toInt(), 12);
    writeFile(file, "n,d,Paid\r\n1.5,1948-12-08,1\r\n"); // the dates kept as text
    QStringList kinds;
    whenShown<ColumnMappingDialog>([&](ColumnMappingDialog& mapping) {
        QVERIFY(QTest::qWaitFor([&] { return mapping.kind(1)->isEnabled(); }));
        for (int row = 0; row < 3; ++row)
            kinds << mapping.kind(row)->currentText()
                  << QString::number(mapping.kind(row)->count());
        QTest::keyClick(mapping.kind(1), Qt::Key_Down);
        QTest::mouseClick(mapping.buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    messages.clear();
    fieldList.importFrom(file);
    QCOMPARE(kinds, (QStringList{"Number", "2", "Date", "2", "Checkbox", "1"}));
    VERIFY_SAID_ONCE(messages, "Columns into new fields: n (Number), d.");
    QCOMPARE(env.query("SELECT FieldType FROM FieldControl WHERE fieldname IN ('n', 'd')"),
             (QList<QVariantList>{{"Number"}, {"Textfield"}}));
    window.reset();
    QVERIFY(QFile::remove(env.dataFile())); // a first run on this account makes the data file
    QCOMPARE(run({"--import", headless}), 0);
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toInt(), 3);
    // Found from the file, 0xA4 would be Windows-1252's currency sign.
    writeFile(file, "Price\r\n5 \xa4\r\n");
    QCOMPARE(run({"--import", file, "--encoding", "iso-8859-15"}), 0);
    QCOMPARE(env.query("SELECT Price FROM CustomTable WHERE ID = 4")[0][0].toString(), "5 €");
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
    TestEnvironment env(StoreKind::Server);
    env.addFields(3);
    env.addRecords({{"007", QVariant(), "a"}, {"", "Zoë 😀 ;\"'", ""}, {"last", "gone", "b"}});
    {
        auto connection = env.store().open();
        RecordBin::move(*connection, 3);
        deleteFieldFromTables(*connection, "F3");
    }
    env.execute("CREATE TABLE \"FieldChecks\" (\"fieldname\" TEXT PRIMARY KEY, \"Required\" "
                "INTEGER NOT NULL, \"Minimum\" TEXT, \"Maximum\" TEXT, \"Decimals\" INTEGER); "
                "INSERT INTO \"FieldChecks\" VALUES ('F2', 1, '-1', NULL, 2)");
    const QString records = "SELECT * FROM \"CustomTable\" ORDER BY \"ID\"";
    const QString fields = FieldRows;
    const QString checks = "SELECT * FROM \"FieldChecks\"";
    const QString bin = "SELECT \"ID\", \"Record\" FROM \"DeletedRecords\" ORDER BY \"BinKey\"";
    const QString kept =
        "SELECT f.\"fieldname\", \"Definition\", \"ID\", \"Value\" FROM \"KeptFields\" "
        "f JOIN \"KeptFieldValues\" v ON v.\"FieldKey\" = f.\"FieldKey\" ORDER BY 3";
    QProcess program;
    const auto run = [&](const QStringList& arguments) { return runProgram(program, arguments); };
    QCOMPARE(run({"--copy-from", env.server()}), 0);
    QCOMPARE(queryFile(env.dataFile(), records), env.query(records));
    QCOMPARE(queryFile(env.dataFile(), fields), env.query(fields));
    QCOMPARE(queryFile(env.dataFile(), checks), env.query(checks));
    QCOMPARE(queryFile(env.dataFile(), bin), env.query(bin));
    QCOMPARE(queryFile(env.dataFile(), kept), env.query(kept));
    QCOMPARE(queryFile(env.dataFile(), "SELECT \"DeletedAt\" FROM \"DeletedRecords\""),
             env.query("SELECT to_char(\"DeletedAt\" AT TIME ZONE 'UTC', "
                       "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') FROM \"DeletedRecords\""));
    QCOMPARE(
        queryFile(env.dataFile(), "SELECT seq FROM sqlite_sequence WHERE name = 'CustomTable'"),
        QList<QVariantList>{{"3"}});
    const QByteArray copied = bytesOf(env.dataFile());
    QCOMPARE(run({"--copy-from", env.server()}), 1);
    QCOMPARE(bytesOf(env.dataFile()), copied);

    const QString second = TestServer::shared().newDatabase();
    QCOMPARE(run({"--copy-to", second}), 0);
    OtherProgram server(second);
    QCOMPARE(server.rows(records), env.query(records));
    QCOMPARE(server.rows(fields), env.query(fields));
    QCOMPARE(server.rows(bin), env.query(bin));
    QCOMPARE(server.rows(kept), env.query(kept));
    // The records' search documents came in with them.
    QCOMPARE(server.rows("SELECT id FROM \"SearchDocument\" ORDER BY id"),
             (QList<QVariantList>{{"1"}, {"2"}}));
    QCOMPARE(run({"--copy-to", second}), 1);
    QCOMPARE(server.rows("SELECT count(*) FROM \"CustomTable\""), QList<QVariantList>{{"2"}});
    QCOMPARE(server.rows("INSERT INTO \"CustomTable\" DEFAULT VALUES RETURNING \"ID\""),
             QList<QVariantList>{{"4"}});
}

void TransferTest::optionsEndAtOnceTouchingNothing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // on the standard output for 0, else on the error
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--import <file>";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "Ledgerloom ";
    QTest::newRow("Qt's own option") << QStringList{"-platform", "xcb", "-h"} << 0 << "Usage:";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
    QTest::newRow("missing argument") << QStringList{"--server"} << 2 << "Missing value after";
    QTest::newRow("stray argument") << QStringList{"in.csv"} << 2 << "argument 'in.csv'";
}

// Help, version and mistakes end without a window (which could not start here) and leave the
// sandbox's home empty.
void TransferTest::optionsEndAtOnceTouchingNothing() {
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, said);
    TestEnvironment env;
    QProcess program;
    QCOMPARE(runProgram(program, arguments), code);
    const QString out = program.readAllStandardOutput(), error = program.readAllStandardError();
    QVERIFY2((code ? error : out).contains(said) && (!code || error.contains("Usage:")),
             qPrintable(out + error));
    QVERIFY(!QDirIterator(qEnvironmentVariable("HOME"), QDir::Files | QDir::Hidden,
                          QDirIterator::Subdirectories)
                 .hasNext());
}

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
