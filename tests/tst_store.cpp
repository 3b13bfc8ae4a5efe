#include "app/errortrap.h"
#include "app/paths.h"
#include "app/providercheck.h"
#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sqlite3.h>
#include <stdexcept>

class StoreTest : public QObject {
    Q_OBJECT
  private slots:
    void connectionStringNamesTheProviderByTheFileName();
    void openingNeverCreatesTheFileAndCountsOnlyBaseTables();
    void foreignFilesAreRefusedAndLeftAsTheyAre_data();
    void foreignFilesAreRefusedAndLeftAsTheyAre();
    void newRowsKeepValuesExactlyAndNeverReuseAnId();
    void updateCancelDeleteAndMovingOff();
    void positionsEndsAndFind();
    void errorsReadOnlySetsAndSchemaRowset();
    void openSetKeepsWorkingWhileAnotherConnectionChangesColumns();
    void updateDoesNotOverwriteWhatAnotherConnectionChanged();
    void searchIgnoresCaseAndTakesWildcardsLiterally();
    void checkProviderOffersDownloadPagesOnlyWhenItIsMissing();
};

namespace {

// Statements run straight on a data file, as another program would.
void execOn(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

struct Failure {
    qint64 number = 0;
    QString description;
};

// The run-time error a step raises; number 0 when it raises none.
Failure failureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        return {e.number(), e.description()};
    }
    return {};
}

// The record window's way of opening its set: keyset, optimistic.
void openCustomTable(Recordset& records, Connection& connection) {
    records.Open(Sql::SelectCustomTable, connection, adOpenKeyset, adLockOptimistic);
}

QStringList names(const TestEnvironment& env) {
    QStringList values;
    for (const QVariantList& row : env.query("SELECT Name FROM CustomTable ORDER BY ID"))
        values << (row[0].isNull() ? QStringLiteral("<null>") : row[0].toString());
    return values;
}

QString name(Recordset& records) {
    return records.Fields(1).Value().toString();
}

} // namespace

void StoreTest::connectionStringNamesTheProviderByTheFileName() {
    TestEnvironment env;
    const QString jet = "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=";
    const QString ace = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=";
    const QString tail = ";Persist Security Info=False";
    QCOMPARE(ConnectionString(QString()), jet + env.dataFile() + tail);
    QCOMPARE(ConnectionString("/data/Books.ACCDB"), ace + "/data/Books.ACCDB" + tail);
    QCOMPARE(ConnectionString("/data/accdb/Books.mdb"), jet + "/data/accdb/Books.mdb" + tail);
    QCOMPARE(ConnectionString("/data/Books.accdb.mdb"), jet + "/data/Books.accdb.mdb" + tail);
    QCOMPARE(ConnectionString("cdb"), jet + "cdb" + tail); // shorter than the extension
    QCOMPARE(ConnectionString("ACCDB"), ace + "ACCDB" + tail);

    // The path stands unquoted in the string; a file in a folder with ';' in its name opens.
    const QString folder = env.paths().dataFolder() + "/odd;name";
    QVERIFY(QDir().mkpath(folder));
    env.createDataFile();
    QVERIFY(QFile::copy(env.dataFile(), folder + "/dbData.mdb"));
    Connection connection;
    connection.Open(ConnectionString(folder + "/dbData.mdb"));
    QCOMPARE(connection.dataSource(), folder + "/dbData.mdb");
}

void StoreTest::openingNeverCreatesTheFileAndCountsOnlyBaseTables() {
    TestEnvironment env;
    const Failure missing = failureOf([] { OpenConnection(); });
    QVERIFY(missing.number != 0);
    QVERIFY2(missing.description.contains(env.dataFile()), qPrintable(missing.description));
    QVERIFY(!TableExists(env.dataFile(), "CustomTable"));
    QVERIFY(!QFile::exists(env.dataFile()));

    env.createDataFile();
    env.addField("Name", "Textfield");
    auto connection = OpenConnection();
    QCOMPARE(connection->Execute("insert into CustomTable (Name) values ('Ann')"), 1);
    QCOMPARE(names(env), QStringList{"Ann"});
    connection->Close();
    QCOMPARE(failureOf([&] { connection->Execute("select 1"); }).number, ErrorNumber::ObjectClosed);

    QVERIFY(TableExists(env.dataFile(), "customtable"));
    QVERIFY(TableExists(env.dataFile(), "FIELDCONTROL"));
    QVERIFY(!TableExists(env.dataFile(), "sqlite_sequence"));
    // The record table turned into a view over another table no longer counts.
    execOn(env.dataFile(), "ALTER TABLE CustomTable RENAME TO Records;"
                           "CREATE VIEW CustomTable AS SELECT * FROM Records");
    QVERIFY(!TableExists(env.dataFile(), "customtable"));
    QVERIFY(TableExists(env.dataFile(), "records"));
}

void StoreTest::foreignFilesAreRefusedAndLeftAsTheyAre_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("empty file") << QByteArray();
    QByteArray noise(4096, '\0');
    QRandomGenerator generator(20210831);
    for (char& byte : noise)
        byte = char(generator.bounded(256));
    noise[0] = 'x'; // never by chance a database header
    QTest::newRow("random bytes") << noise;
    QByteArray access("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    QTest::newRow("Access file") << access.append(QByteArray(2028, '\x5a'));
    QTest::newRow("text file") << QByteArray("Name;Colour\r\nAnn;Red\r\n");
}

void StoreTest::foreignFilesAreRefusedAndLeftAsTheyAre() {
    QFETCH(QByteArray, contents);
    TestEnvironment env;
    QVERIFY(QDir().mkpath(env.paths().dataFolder()));
    QFile file(env.dataFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();

    const Failure opening = failureOf([] { OpenConnection(); });
    QVERIFY(opening.number != 0);
    QVERIFY2(opening.description.contains(env.dataFile()), qPrintable(opening.description));
    Connection readOnly;
    readOnly.setMode(adModeRead);
    QVERIFY(failureOf([&] { readOnly.Open(ConnectionString(env.dataFile())); }).number != 0);
    QCOMPARE(readOnly.State(), int(adStateClosed));
    QVERIFY(failureOf([&] { TableExists(env.dataFile(), "CustomTable"); }).number != 0);

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), contents);
    QCOMPARE(QDir(env.paths().dataFolder()).entryList(QDir::Files), QStringList{"dbData.mdb"});
}

void StoreTest::newRowsKeepValuesExactlyAndNeverReuseAnId() {
    TestEnvironment env;
    for (const char* field : {"A", "B", "C"})
        env.addField(field, "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}});
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);
    records.MoveLast();
    const qint64 lastId = records.Fields(0).Value().toLongLong();
    records.Delete();

    records.AddNew();
    QCOMPARE(records.RecordCount(), 2L);
    QVERIFY(records.Fields(0).Value().isNull() && records.Fields(1).Value().isNull());
    records.Fields(1).setValue(QString(""));
    records.Fields(2).setValue(QString("007"));
    records.Fields(3).setValue(QString(" 12"));
    records.AddNew(); // the first new row is written on the way
    records.Fields(1).setValue(QVariant());
    records.Fields(2).setValue(QString("Smith, 'John' [Jr]"));
    records.Fields(3).setValue(QString("Zoë ✓"));
    records.Update();
    QCOMPARE(records.currentKey(), records.Fields(0).Value().toLongLong());
    QCOMPARE(records.AbsolutePosition(), 3L);
    records.AddNew(); // a row written without any value is still a record of its own
    records.Update();

    const QString fresh = QString("ID > %1").arg(lastId);
    QCOMPARE(env.query("SELECT " + fresh + ", typeof(A), A, B, C FROM CustomTable ORDER BY ID"),
             QList<QVariantList>({{"0", "text", "Ann", QVariant(), QVariant()},
                                  {"1", "text", "", "007", " 12"},
                                  {"1", "null", QVariant(), "Smith, 'John' [Jr]", "Zoë ✓"},
                                  {"1", "null", QVariant(), QVariant(), QVariant()}}));

    Recordset again;
    openCustomTable(again, connection);
    again.MoveNext();
    QVERIFY(!again.Fields(1).Value().isNull() && again.Fields(1).Value().toString().isEmpty());
    QCOMPARE(again.Fields(2).Value().toString() + '|' + again.Fields(3).Value().toString(),
             QString("007| 12"));
    again.MoveNext();
    QVERIFY(again.Fields(1).Value().isNull());
}

void StoreTest::updateCancelDeleteAndMovingOff() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Town", "Textfield");
    env.addRecords({{"Ann", "Oslo"}, {"Bob", "Rome"}, {"Cid", "Bern"}});
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);

    records.Fields(1).setValue(QString("Anna"));
    QCOMPARE(name(records), QString("Anna"));
    records.Cancel();
    QCOMPARE(name(records), QString("Ann"));
    records.MoveNext(); // nothing left to write
    records.Fields(2).setValue(QString("Paris"));
    records.Update();
    QCOMPARE(env.query("SELECT Town FROM CustomTable ORDER BY ID"),
             QList<QVariantList>({{"Oslo"}, {"Paris"}, {"Bern"}}));
    records.Fields(1).setValue(QString("Bobby"));
    records.MoveNext(); // moving off writes the pending value
    QCOMPARE(names(env), QStringList({"Ann", "Bobby", "Cid"}));

    // A new row cancelled before it was written leaves no trace; the old row is current.
    records.AddNew();
    records.Fields(1).setValue(QString("Dan"));
    records.Cancel();
    QCOMPARE(records.RecordCount(), 3L);
    QCOMPARE(records.AbsolutePosition(), 3L);
    QCOMPARE(name(records), QString("Cid"));
    records.AddNew();
    records.Fields(1).setValue(QString("Dan"));
    records.MoveFirst();
    QCOMPARE(names(env), QStringList({"Ann", "Bobby", "Cid", "Dan"}));
    QCOMPARE(records.RecordCount(), 4L);

    // A deleted row stays current, without values, until the position moves.
    records.MoveNext();
    records.Delete();
    QCOMPARE(names(env), QStringList({"Ann", "Cid", "Dan"}));
    QVERIFY(!records.IsBOF() && !records.IsEOF());
    QCOMPARE(failureOf([&] { name(records); }).number, ErrorNumber::NoCurrentRecord);
    QCOMPARE(records.RecordCount(), 3L);
    records.MoveNext();
    QCOMPARE(name(records), QString("Cid"));
    QCOMPARE(records.AbsolutePosition(), 2L);
    records.MovePrevious();
    QCOMPARE(name(records), QString("Ann"));
    records.MoveLast();
    records.Delete();
    records.MoveNext();
    QVERIFY(records.IsEOF());
    records.MoveLast();
    QCOMPARE(name(records), QString("Cid"));

    // A new row that was never written is just discarded.
    records.AddNew();
    records.Fields(1).setValue(QString("Eve"));
    records.Delete();
    records.MoveFirst();
    QCOMPARE(records.RecordCount(), 2L);
    QCOMPARE(names(env), QStringList({"Ann", "Cid"}));
}

void StoreTest::positionsEndsAndFind() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset empty;
    openCustomTable(empty, connection);
    QCOMPARE(empty.RecordCount(), 0L);
    empty.MoveFirst();
    empty.MoveLast();
    QVERIFY(empty.IsBOF() && empty.IsEOF());
    QCOMPARE(failureOf([&] { empty.MoveNext(); }).number, ErrorNumber::NoCurrentRecord);
    QList<QVariantList> rows;
    for (int i = 1; i <= 150; ++i) // more than the set reads at a time
        rows << QVariantList{QString("Name %1").arg(i)};
    env.addRecords(rows);

    Recordset records;
    openCustomTable(records, connection);
    QCOMPARE(records.RecordCount(), 150L);
    long visited = 0;
    for (; !records.IsEOF(); records.MoveNext()) {
        QCOMPARE(records.AbsolutePosition(), ++visited);
        QCOMPARE(name(records), QString("Name %1").arg(visited));
    }
    QCOMPARE(visited, 150L);
    QCOMPARE(records.AbsolutePosition(), long(adPosEOF));
    QCOMPARE(failureOf([&] { name(records); }).number, ErrorNumber::NoCurrentRecord);
    QCOMPARE(failureOf([&] { records.MoveNext(); }).number, ErrorNumber::NoCurrentRecord);
    records.MovePrevious();
    QCOMPARE(name(records), QString("Name 150"));
    for (long back = 150; back > 0; --back)
        records.MovePrevious();
    QVERIFY(records.IsBOF() && !records.IsEOF());
    QCOMPARE(failureOf([&] { records.MovePrevious(); }).number, ErrorNumber::NoCurrentRecord);

    // Find searches forward from the current row for an id.
    execOn(env.dataFile(), "DELETE FROM CustomTable WHERE ID = 50");
    const QString wanted =
        env.query("SELECT ID FROM CustomTable WHERE Name = 'Name 80'")[0][0].toString();
    Recordset found;
    openCustomTable(found, connection);
    found.MoveLast();
    found.MoveFirst();
    found.Find("id=" + wanted);
    QCOMPARE(name(found), QString("Name 80"));
    QCOMPARE(found.AbsolutePosition(), 79L);
    found.Find("id=3");
    QVERIFY(found.IsEOF());
    found.MoveFirst();
    found.Find("id=50");
    QVERIFY(found.IsEOF());
    found.MoveFirst();
    found.Find("ID = 3");
    QCOMPARE(name(found), QString("Name 3"));
}

void StoreTest::errorsReadOnlySetsAndSchemaRowset() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}});
    execOn(env.dataFile(), "CREATE VIEW Named AS SELECT * FROM CustomTable");
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);
    QCOMPARE(failureOf([&] { records.Fields(2).Value(); }).number, ErrorNumber::ItemNotFound);
    QCOMPARE(failureOf([&] { records.Fields("Colour").Value(); }).number,
             ErrorNumber::ItemNotFound);
    QCOMPARE(records.Fields("name").Value().toString(), QString("Ann"));
    QCOMPARE(failureOf([&] { records.Open(Sql::SelectCustomTable, connection); }).number,
             ErrorNumber::ObjectOpen);
    records.Close();
    QCOMPARE(failureOf([&] { records.MoveFirst(); }).number, ErrorNumber::ObjectClosed);

    const Failure missing =
        failureOf([&] { records.Open("select * from Orders", connection, adOpenKeyset); });
    QCOMPARE(missing.number, qint64(0x80040E37));
    QVERIFY2(missing.description.contains("Orders"), qPrintable(missing.description));
    QCOMPARE(records.State(), int(adStateClosed));
    QCOMPARE(failureOf([&] { connection.Execute("delete from Orders"); }).number,
             ErrorNumber::TableNotFound);
    const Failure column =
        failureOf([&] { records.Open("select Colour from CustomTable", connection); });
    QCOMPARE(column.number, ErrorNumber::Database);
    QVERIFY2(column.description.contains("no such column: Colour"), qPrintable(column.description));

    // A static read-only set refuses every write and still moves.
    records.Open(Sql::SelectCustomTable, connection, adOpenStatic, adLockReadOnly);
    QCOMPARE(failureOf([&] { records.Fields(1).setValue(QString("Anna")); }).number,
             ErrorNumber::NotUpdatable);
    QCOMPARE(failureOf([&] { records.AddNew(); }).number, ErrorNumber::NotUpdatable);
    QCOMPARE(failureOf([&] { records.Delete(); }).number, ErrorNumber::NotUpdatable);
    records.MoveNext();
    QCOMPARE(name(records), QString("Bob"));
    QCOMPARE(names(env), QStringList({"Ann", "Bob"}));

    auto tables = connection.OpenSchema(adSchemaTables);
    QStringList types;
    for (; !tables->IsEOF(); tables->MoveNext())
        types << tables->Fields("TABLE_NAME").Value().toString() + ':' +
                     tables->Fields("TABLE_TYPE").Value().toString();
    for (const char* type :
         {"CustomTable:TABLE", "FieldControl:TABLE", "Named:VIEW", "sqlite_sequence:SYSTEM TABLE"})
        QVERIFY2(types.contains(type), qPrintable(types.join(' ')));
    QCOMPARE(failureOf([&] { connection.OpenSchema(4); }).number, ErrorNumber::General);
}

void StoreTest::openSetKeepsWorkingWhileAnotherConnectionChangesColumns() {
    TestEnvironment env;
    env.addField("A", "Textfield");
    env.addField("B", "Textfield");
    QList<QVariantList> rows;
    for (int i = 1; i <= 200; ++i)
        rows << QVariantList{QString("a%1").arg(i), QString("b%1").arg(i)};
    env.addRecords(rows);
    auto window = OpenConnection();
    Recordset records;
    openCustomTable(records, *window);
    QCOMPARE(records.Fields(2).Value().toString(), QString("b1"));

    auto fieldList = OpenConnection();
    fieldList->Execute(Sql::addFieldColumn("C"));
    fieldList->Execute(Sql::insertFieldRow("C", "Textfield", "8", ""));
    fieldList->Execute("update CustomTable set C = 'c' || ID");

    // Sets opened afresh on the window's connection see the new column at once.
    Recordset noRows;
    noRows.Open(Sql::SelectCustomTable + " where ID < 0", *window, adOpenKeyset, adLockOptimistic);
    QCOMPARE(noRows.Fields(3).Name(), QString("C"));
    records.MoveLast();
    QCOMPARE(records.Fields(1).Value().toString(), QString("a200"));
    QCOMPARE(records.Fields(3).Value().toString(), QString("c200"));

    // A column dropped while a row is current: writing that row and reading on still work.
    records.MoveFirst();
    QCOMPARE(records.Fields(1).Value().toString(), QString("a1"));
    fieldList->Execute(Sql::dropFieldColumn("A"));
    fieldList->Execute(Sql::deleteFieldRow("A"));
    records.Fields("B").setValue(QString("changed"));
    records.Update();
    QCOMPARE(env.query("SELECT * FROM CustomTable WHERE ID = 1"),
             QList<QVariantList>({{"1", "changed", "c1"}}));
    QCOMPARE(records.Fields("C").Value().toString(), QString("c1"));
    records.MoveNext();
    QCOMPARE(records.fieldCount(), 3);
    QCOMPARE(records.Fields(1).Value().toString(), QString("b2"));
    for (long n = 2; !records.IsEOF(); records.MoveNext(), ++n)
        QCOMPARE(records.Fields(2).Value().toString(), QString("c%1").arg(n));
}

void StoreTest::updateDoesNotOverwriteWhatAnotherConnectionChanged() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Town", "Textfield");
    env.addRecords({{"Ann", "Oslo"}, {"Bob", "Rome"}, {"Cid", "Bern"}});
    Connection mine;
    mine.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, mine);
    QCOMPARE(name(records), QString("Ann"));

    Connection theirs;
    theirs.Open(ConnectionString(env.dataFile()));
    theirs.Execute("update CustomTable set Name = 'Annika' where ID = 1");
    records.Fields(1).setValue(QString("Anna"));
    const Failure changed = failureOf([&] { records.Update(); });
    QCOMPARE(changed.number, ErrorNumber::RowChanged);
    QVERIFY2(changed.description.contains("changed by another"), qPrintable(changed.description));
    QCOMPARE(names(env).first(), QString("Annika"));
    records.Cancel();
    QCOMPARE(name(records), QString("Annika"));
    records.Fields(1).setValue(QString("Anna"));
    records.Update();
    QCOMPARE(names(env).first(), QString("Anna"));

    // A change to another field of the row is kept alongside mine.
    records.MoveNext();
    theirs.Execute("update CustomTable set Town = 'Milan' where ID = 2");
    records.Fields(1).setValue(QString("Bobby"));
    records.Update();
    QCOMPARE(env.query("SELECT Name, Town FROM CustomTable WHERE ID = 2"),
             QList<QVariantList>({{"Bobby", "Milan"}}));

    records.MoveNext();
    theirs.Execute("delete from CustomTable where ID = 3");
    records.Fields(2).setValue(QString("Genf"));
    const Failure deleted = failureOf([&] { records.Update(); });
    QCOMPARE(deleted.number, ErrorNumber::RowChanged);
    QVERIFY2(deleted.description.contains("deleted by another"), qPrintable(deleted.description));
    QCOMPARE(names(env), QStringList({"Anna", "Bobby"}));
}

void StoreTest::searchIgnoresCaseAndTakesWildcardsLiterally() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Note", "Textfield");
    QList<QVariantList> rows;
    for (const char* name :
         {"École", "ecole", "Straße", "STRAẞE", "ПРИВЕТ", "привет", "ΛΌΓΟΣ", "λόγος"})
        rows << QVariantList{QString::fromUtf8(name)};
    env.addRecords(rows << QVariantList{"100% sure", ""}
                        << QVariantList{"1000 items", "100 percent"}
                        << QVariantList{"a_b", QVariant()} << QVariantList{"axb", "[x]"}
                        << QVariantList{"x", "it's"} << QVariantList{"say \"hi\"", "C:\\temp"}
                        << QVariantList{"C:temp", "a]b"});
    env.addField("Odd ]'\" name", "Textfield");
    execOn(env.dataFile(), "UPDATE CustomTable SET \"Odd ]'\"\" name\" = 'odd' WHERE ID = 10");
    const QStringList both{"Name", "Note"};
    const struct {
        QStringList columns;
        QString text;
        QStringList found;
    } cases[] = {
        {{"Name"}, "ÉCOLE", {"École"}},
        {{"Name"}, "ß", {"Straße", "STRAẞE"}},
        {{"Name"}, "Привет", {"ПРИВЕТ", "привет"}},
        {{"Name"}, "ΌΓΟΣ", {"ΛΌΓΟΣ", "λόγος"}},
        {{"Name"}, "%", {"100% sure"}},
        {{"Name"}, "_", {"a_b"}},
        {both, "]", {"axb", "C:temp"}},
        {both, "'", {"x"}},
        {both, "\"hi\"", {"say \"hi\""}},
        {both, "C:\\", {"say \"hi\""}},
        {both, "100 P", {"1000 items"}},
        {{"Name", "Odd ]'\" name"}, "ODD", {"1000 items"}},
    };
    for (const auto& c : cases) {
        QStringList found;
        for (qint64 id : RecordSearch(env.dataFile(), c.columns, c.text).run())
            found << env.query(QString("SELECT Name FROM CustomTable WHERE ID = %1").arg(id))[0][0]
                         .toString();
        QCOMPARE(found, c.found);
    }
}

void StoreTest::checkProviderOffersDownloadPagesOnlyWhenItIsMissing() {
    TestEnvironment env;
    QStringList pages;
    const auto opener = [&](const QString& page) { pages << page; };
    ScriptedMessages messages;
    int created = 0;
    QVERIFY(CheckProvider(messages, {[&] { ++created; }, opener}));
    QCOMPARE(created, 1);
    QVERIFY(!QDir(env.paths().companyFolder()).exists());
    QVERIFY(CheckProvider(messages)); // the program's own engine is there
    // Other failures show nothing.
    QVERIFY(!CheckProvider(
        messages, {[] { throw RuntimeError(ErrorNumber::Database, "out of memory"); }, opener}));
    QVERIFY(!CheckProvider(messages, {[] { throw std::runtime_error("no engine"); }, opener}));
    QVERIFY(!CheckProvider(messages, {[] { throw 42; }, opener}));
    QVERIFY(messages.shown.isEmpty() && pages.isEmpty());

    const QString help = providerHelpMessage();
    QVERIFY2(help.startsWith("Error #3706: Provider cannot be found. It may not be properly "
                             "installed.\r\n\r\n") &&
                 help.contains("Microsoft Access Database Engine 2010 or 2016") &&
                 help.contains('@'),
             qPrintable(help));
    const struct {
        RuntimeError error;
        Answer answer;
    } cases[] = {
        {RuntimeError(ErrorNumber::ProviderNotFound, "Provider missing."), Answer::No},
        {RuntimeError(ErrorNumber::ProviderNotFound, "Provider missing."), Answer::Yes},
        {RuntimeError(ErrorNumber::Database, "The PROVIDER CANNOT BE FOUND here."), Answer::Yes},
    };
    for (const auto& c : cases) {
        messages.clear();
        messages.answer(c.answer);
        pages.clear();
        QVERIFY(!CheckProvider(messages, {[&] { throw c.error; }, opener}));
        QCOMPARE(messages.shown.size(), 1);
        const Message& box = messages.shown.first();
        QCOMPARE(box.text, help);
        QCOMPARE(box.buttons, Message::Buttons::YesNo);
        QVERIFY(box.title.isEmpty() && box.icon == Message::Icon::None);
        QCOMPARE(pages.size(), c.answer == Answer::Yes ? 2 : 0);
    }
    QVERIFY2(pages.value(0).startsWith("https://") && pages.value(0).endsWith("?id=13255") &&
                 pages.value(1).endsWith("?id=54920"),
             qPrintable(pages.join(' ')));
    QVERIFY(!QFile::exists(env.dataFile()));
}

QTEST_MAIN(StoreTest)
#include "tst_store.moc"
