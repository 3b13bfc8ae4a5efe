#include "app/errortrap.h"
#include "app/paths.h"
#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/odbcprovider.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
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
    void openConnectionUsesTheStandardFileAndNeverCreatesOne();
    void tableExistsCountsOnlyBaseTables();
    void filesThatAreNoSqliteDatabaseAreRefusedAndLeftAsTheyAre_data();
    void filesThatAreNoSqliteDatabaseAreRefusedAndLeftAsTheyAre();
    void newRecordsGetIdsThatAreNeverGivenOutTwice();
    void valuesAreStoredExactlyAsWritten();
    void updateWritesAndCancelDropsUnwrittenValues();
    void deletedRowStaysCurrentUntilThePositionMoves();
    void positionsAndEndsOfTheSet();
    void movingOffARowWritesItsPendingValues();
    void findSearchesForwardForAnId();
    void errorsCarryTheirNumberAndTheEnginesMessage();
    void staticReadOnlySetRefusesEveryWrite();
    void schemaRowsetListsTablesAndViews();
    void openRecordSetKeepsReadingWhileAnotherConnectionChangesColumns();
    void updateDoesNotOverwriteWhatAnotherConnectionChanged();
    void searchIgnoresCaseInEveryAlphabet();
    void searchMatchesWildcardsBracketsAndQuotesLiterally();
    void providerCheckSucceedsWithoutTouchingTheDataFile();
    void missingProviderOffersTheDownloadPages();
    void otherProviderFailuresShowNothing();
};

namespace {

// Statements run straight on a data file, as another program would.
void execOn(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path.toStdString());
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error(message);
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

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// The record window's way of opening its set: keyset, optimistic, client cursor.
void openCustomTable(Recordset& records, Connection& connection) {
    records.setCursorLocation(adUseClient);
    records.Open(Sql::SelectCustomTable, connection, adOpenKeyset, adLockOptimistic);
}

QStringList column(const QList<QVariantList>& rows, int index = 0) {
    QStringList values;
    for (const QVariantList& row : rows)
        values << (row[index].isNull() ? QStringLiteral("<null>") : row[index].toString());
    return values;
}

// A data file with one text field and the given records.
void fileWithNames(const TestEnvironment& env, const QStringList& names) {
    env.addField("Name", "Textfield");
    QList<QVariantList> rows;
    for (const QString& name : names)
        rows << QVariantList{name};
    env.addRecords(rows);
}

QStringList foundNames(const TestEnvironment& env, const QStringList& columns,
                       const QString& text) {
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    records.Open(Sql::searchCustomTable(columns, text), connection, adOpenStatic, adLockReadOnly);
    QStringList names;
    for (; !records.IsEOF(); records.MoveNext())
        names << records.Fields(1).Value().toString();
    return names;
}

} // namespace

void StoreTest::connectionStringNamesTheProviderByTheFileName() {
    TestEnvironment env;
    const QString jet = "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=";
    const QString ace = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=";
    const QString tail = ";Persist Security Info=False";

    QCOMPARE(ConnectionString(QString()), ConnectionString(env.dataFile()));
    QCOMPARE(ConnectionString(QString()), jet + env.dataFile() + tail);
    QCOMPARE(ConnectionString("/data/Books.ACCDB"), ace + "/data/Books.ACCDB" + tail);
    QCOMPARE(ConnectionString("/data/accdb/Books.mdb"), jet + "/data/accdb/Books.mdb" + tail);
    QCOMPARE(ConnectionString("/data/Books.accdb.mdb"), jet + "/data/Books.accdb.mdb" + tail);
    // Shorter than five characters: the whole text is compared.
    QCOMPARE(ConnectionString("cdb"), jet + "cdb" + tail);
    QCOMPARE(ConnectionString("ACCDB"), ace + "ACCDB" + tail);

    // The path stands unquoted in the string; a file in a folder with ';' in its name opens.
    const QString folder = env.paths().dataFolder() + "/odd;name";
    QVERIFY(QDir().mkpath(folder));
    env.createDataFile();
    QVERIFY(QFile::copy(env.dataFile(), folder + "/dbData.mdb"));
    Connection connection;
    connection.Open(ConnectionString(folder + "/dbData.mdb"));
    QCOMPARE(connection.State(), int(adStateOpen));
    QCOMPARE(connection.dataSource(), folder + "/dbData.mdb");
}

void StoreTest::openConnectionUsesTheStandardFileAndNeverCreatesOne() {
    TestEnvironment env;
    const Failure missing = failureOf([] { OpenConnection(); });
    QVERIFY(missing.number != 0);
    QVERIFY2(missing.description.contains(env.dataFile()), qPrintable(missing.description));
    QVERIFY(!QFile::exists(env.dataFile()));

    env.createDataFile();
    env.addField("Name", "Textfield");
    auto connection = OpenConnection();
    QCOMPARE(connection->Mode(), int(adModeReadWrite));
    QCOMPARE(connection->State(), int(adStateOpen));
    QCOMPARE(connection->Execute("insert into CustomTable (Name) values ('Ann')"), 1);
    QCOMPARE(column(env.query("SELECT Name FROM CustomTable")), QStringList{"Ann"});
    connection->Close();
    QCOMPARE(connection->State(), int(adStateClosed));
    QCOMPARE(failureOf([&] { connection->Execute("select 1"); }).number, ErrorNumber::ObjectClosed);
}

void StoreTest::tableExistsCountsOnlyBaseTables() {
    TestEnvironment env;
    QVERIFY(!TableExists(env.dataFile(), "CustomTable"));
    QVERIFY(!QFile::exists(env.dataFile()));

    env.createDataFile();
    QVERIFY(TableExists(env.dataFile(), "customtable"));
    QVERIFY(TableExists(env.dataFile(), "FIELDCONTROL"));
    QVERIFY(!TableExists(env.dataFile(), "Records"));
    QVERIFY(!TableExists(env.dataFile(), "sqlite_sequence"));

    // The record table turned into a view over another table no longer counts.
    execOn(env.dataFile(), "ALTER TABLE CustomTable RENAME TO Records;"
                           "CREATE VIEW CustomTable AS SELECT * FROM Records");
    QVERIFY(!TableExists(env.dataFile(), "customtable"));
    QVERIFY(TableExists(env.dataFile(), "records"));
}

void StoreTest::filesThatAreNoSqliteDatabaseAreRefusedAndLeftAsTheyAre_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("empty file") << QByteArray();
    QByteArray noise(4096, '\0');
    QRandomGenerator generator(20210831);
    for (char& byte : noise)
        byte = char(generator.bounded(256));
    noise[0] = 'x'; // never by chance a database header
    QTest::newRow("random bytes") << noise;
    QByteArray access("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    access.append(QByteArray(2028, '\x5a'));
    QTest::newRow("Access file") << access;
    QTest::newRow("text file") << QByteArray("Name;Colour\r\nAnn;Red\r\n");
}

void StoreTest::filesThatAreNoSqliteDatabaseAreRefusedAndLeftAsTheyAre() {
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
    const Failure reading = failureOf([&] { readOnly.Open(ConnectionString(env.dataFile())); });
    QVERIFY(reading.description.contains(env.dataFile()));
    QCOMPARE(readOnly.State(), int(adStateClosed));
    QVERIFY(failureOf([&] { TableExists(env.dataFile(), "CustomTable"); }).number != 0);

    QCOMPARE(contentsOf(env.dataFile()), contents);
    QCOMPARE(QDir(env.paths().dataFolder()).entryList(QDir::Files), QStringList{"dbData.mdb"});
}

void StoreTest::newRecordsGetIdsThatAreNeverGivenOutTwice() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}});
    const QString annId =
        env.query("SELECT ID FROM CustomTable WHERE Name = 'Ann'")[0][0].toString();
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);
    QCOMPARE(records.RecordCount(), 2L);

    records.MoveLast();
    const qint64 lastId = records.Fields(0).Value().toLongLong();
    records.Delete();
    records.MoveFirst();

    records.AddNew();
    QCOMPARE(records.RecordCount(), 2L);
    QVERIFY(records.Fields(0).Value().isNull());
    QVERIFY(records.Fields(1).Value().isNull());
    records.Fields(1).setValue(QString("Cid"));
    QCOMPARE(records.Fields(1).Value().toString(), QString("Cid"));
    records.Update();
    const qint64 newId = records.Fields(0).Value().toLongLong();
    QVERIFY2(newId > lastId, qPrintable(QString("%1 after %2").arg(newId).arg(lastId)));
    QCOMPARE(records.currentKey(), newId);
    QCOMPARE(records.Fields(1).Value().toString(), QString("Cid"));
    QCOMPARE(records.AbsolutePosition(), 2L);

    // A new row written without any value is still a record of its own.
    records.AddNew();
    records.Update();
    QVERIFY(records.Fields(0).Value().toLongLong() > newId);
    QCOMPARE(env.query("SELECT ID, Name FROM CustomTable ORDER BY ID"),
             QList<QVariantList>({{annId, "Ann"},
                                  {QString::number(newId), "Cid"},
                                  {QString::number(records.currentKey()), QVariant()}}));
}

void StoreTest::valuesAreStoredExactlyAsWritten() {
    TestEnvironment env;
    env.addField("A", "Textfield");
    env.addField("B", "Textfield");
    env.addField("C", "Textfield");
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    {
        Recordset records;
        openCustomTable(records, connection);
        QVERIFY(records.IsBOF() && records.IsEOF());
        records.AddNew();
        records.Fields(1).setValue(QString(""));
        records.Fields(2).setValue(QString("007"));
        records.Fields(3).setValue(QString(" 12"));
        records.AddNew(); // the first new row is written on the way
        records.Fields(1).setValue(QVariant());
        records.Fields(2).setValue(QString("Smith, 'John' [Jr]"));
        records.Fields(3).setValue(QString("Zoë ✓"));
        records.Update();
        records.Close();
    }
    QCOMPARE(
        env.query("SELECT typeof(A), A, typeof(B), B, typeof(C), C FROM CustomTable "
                  "ORDER BY ID"),
        QList<QVariantList>({{"text", "", "text", "007", "text", " 12"},
                             {"null", QVariant(), "text", "Smith, 'John' [Jr]", "text", "Zoë ✓"}}));

    Recordset again;
    openCustomTable(again, connection);
    QVERIFY(!again.Fields(1).Value().isNull());
    QCOMPARE(again.Fields(1).Value().toString(), QString(""));
    QCOMPARE(again.Fields(2).Value().toString(), QString("007"));
    QCOMPARE(again.Fields(3).Value().toString(), QString(" 12"));
    again.MoveNext();
    QVERIFY(again.Fields(1).Value().isNull());
    QCOMPARE(again.Fields(2).Value().toString(), QString("Smith, 'John' [Jr]"));
    QCOMPARE(again.Fields(3).Value().toString(), QString("Zoë ✓"));
}

void StoreTest::updateWritesAndCancelDropsUnwrittenValues() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Town", "Textfield");
    env.addRecords({{"Ann", "Oslo"}, {"Bob", "Rome"}});
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);

    records.Fields(1).setValue(QString("Anna"));
    QCOMPARE(records.Fields(1).Value().toString(), QString("Anna"));
    records.Cancel();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Ann"));
    records.MoveNext(); // nothing left to write
    QCOMPARE(column(env.query("SELECT Name FROM CustomTable ORDER BY ID")),
             QStringList({"Ann", "Bob"}));

    records.Fields(2).setValue(QString("Paris"));
    records.Update();
    QCOMPARE(records.Fields(2).Value().toString(), QString("Paris"));
    QCOMPARE(env.query("SELECT Name, Town FROM CustomTable ORDER BY ID"),
             QList<QVariantList>({{"Ann", "Oslo"}, {"Bob", "Paris"}}));

    // A new row cancelled before it was written leaves no trace, and the old row is current.
    records.AddNew();
    records.Fields(1).setValue(QString("Cid"));
    records.Cancel();
    QCOMPARE(records.RecordCount(), 2L);
    QCOMPARE(records.AbsolutePosition(), 2L);
    QCOMPARE(records.Fields(1).Value().toString(), QString("Bob"));
    records.MoveFirst();
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable"), QList<QVariantList>({{"2"}}));
}

void StoreTest::deletedRowStaysCurrentUntilThePositionMoves() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}, {"Cid"}});
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);

    records.MoveNext();
    records.Delete();
    QCOMPARE(column(env.query("SELECT Name FROM CustomTable ORDER BY ID")),
             QStringList({"Ann", "Cid"}));
    QVERIFY(!records.IsBOF());
    QVERIFY(!records.IsEOF());
    QCOMPARE(failureOf([&] { records.Fields(1).Value(); }).number, ErrorNumber::NoCurrentRecord);
    QCOMPARE(records.RecordCount(), 2L);
    records.MoveNext();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Cid"));
    QCOMPARE(records.AbsolutePosition(), 2L);
    records.MovePrevious();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Ann"));

    // Deleting the last row and moving on leaves the set at its end.
    records.MoveLast();
    records.Delete();
    records.MoveNext();
    QVERIFY(records.IsEOF());
    records.MoveLast();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Ann"));

    // A new row that was never written is just discarded.
    records.AddNew();
    records.Fields(1).setValue(QString("Dan"));
    records.Delete();
    records.MoveFirst();
    QCOMPARE(records.RecordCount(), 1L);
    QCOMPARE(records.Fields(1).Value().toString(), QString("Ann"));
    records.MoveNext();
    QVERIFY(records.IsEOF());
    QCOMPARE(column(env.query("SELECT Name FROM CustomTable")), QStringList{"Ann"});
}

void StoreTest::positionsAndEndsOfTheSet() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    {
        Recordset empty;
        openCustomTable(empty, connection);
        QVERIFY(empty.IsBOF());
        QVERIFY(empty.IsEOF());
        QCOMPARE(empty.RecordCount(), 0L);
        QCOMPARE(failureOf([&] { empty.Fields(1).Value(); }).number, ErrorNumber::NoCurrentRecord);
        QCOMPARE(failureOf([&] { empty.MoveNext(); }).number, ErrorNumber::NoCurrentRecord);
        empty.MoveFirst();
        empty.MoveLast();
        QVERIFY(empty.IsBOF() && empty.IsEOF());
    }
    QList<QVariantList> rows;
    for (int i = 1; i <= 150; ++i) // more than the set reads at a time
        rows << QVariantList{QString("Name %1").arg(i)};
    env.addRecords(rows);

    Recordset records;
    openCustomTable(records, connection);
    QCOMPARE(records.RecordCount(), 150L);
    QVERIFY(!records.IsBOF());
    QCOMPARE(records.AbsolutePosition(), 1L);
    long visited = 0;
    for (; !records.IsEOF(); records.MoveNext()) {
        ++visited;
        QCOMPARE(records.AbsolutePosition(), visited);
        QCOMPARE(records.Fields(1).Value().toString(), QString("Name %1").arg(visited));
    }
    QCOMPARE(visited, 150L);
    QCOMPARE(records.AbsolutePosition(), long(adPosEOF));
    QCOMPARE(failureOf([&] { records.Fields(1).Value(); }).number, ErrorNumber::NoCurrentRecord);
    QCOMPARE(failureOf([&] { records.MoveNext(); }).number, ErrorNumber::NoCurrentRecord);

    records.MovePrevious();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Name 150"));
    for (long back = 150; back > 1; --back)
        records.MovePrevious();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Name 1"));
    records.MovePrevious();
    QVERIFY(records.IsBOF());
    QVERIFY(!records.IsEOF());
    QCOMPARE(failureOf([&] { records.MovePrevious(); }).number, ErrorNumber::NoCurrentRecord);

    records.MoveLast();
    QCOMPARE(records.AbsolutePosition(), 150L);
    records.setAbsolutePosition(70);
    QCOMPARE(records.Fields(1).Value().toString(), QString("Name 70"));
    records.Move(-5);
    QCOMPARE(records.Fields(1).Value().toString(), QString("Name 65"));
    records.MoveFirst();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Name 1"));
}

void StoreTest::movingOffARowWritesItsPendingValues() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}});
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);

    records.Fields(1).setValue(QString("Anna"));
    records.MoveNext();
    QCOMPARE(column(env.query("SELECT Name FROM CustomTable ORDER BY ID")),
             QStringList({"Anna", "Bob"}));

    records.AddNew();
    records.Fields(1).setValue(QString("Cid"));
    records.MoveFirst();
    QCOMPARE(column(env.query("SELECT Name FROM CustomTable ORDER BY ID")),
             QStringList({"Anna", "Bob", "Cid"}));
    QCOMPARE(records.RecordCount(), 3L);
    records.MoveLast();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Cid"));
    QVERIFY(records.currentKey() > 0);
}

void StoreTest::findSearchesForwardForAnId() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    QList<QVariantList> rows;
    for (int i = 1; i <= 100; ++i)
        rows << QVariantList{QString("Name %1").arg(i)};
    env.addRecords(rows);
    execOn(env.dataFile(), "DELETE FROM CustomTable WHERE ID = 50");
    const QString wanted =
        env.query("SELECT ID FROM CustomTable WHERE Name = 'Name 80'")[0][0].toString();
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);

    records.MoveLast();
    records.MoveFirst();
    records.Find("id=" + wanted);
    QVERIFY(!records.IsEOF());
    QCOMPARE(records.Fields(0).Value().toString(), wanted);
    QCOMPARE(records.Fields(1).Value().toString(), QString("Name 80"));
    QCOMPARE(records.AbsolutePosition(), 79L);

    // Forward only: an id before the current row is not found from here.
    records.Find("id=3");
    QVERIFY(records.IsEOF());
    records.MoveFirst();
    records.Find("id=50");
    QVERIFY(records.IsEOF());
    records.MoveFirst();
    records.Find("ID = 3");
    QCOMPARE(records.Fields(1).Value().toString(), QString("Name 3"));
}

void StoreTest::errorsCarryTheirNumberAndTheEnginesMessage() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}});
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    openCustomTable(records, connection);
    QCOMPARE(failureOf([&] { records.Fields(2).Value(); }).number, ErrorNumber::ItemNotFound);
    QCOMPARE(failureOf([&] { records.Fields(-1).Value(); }).number, ErrorNumber::ItemNotFound);
    QCOMPARE(failureOf([&] { records.Fields(5).setValue(QString("x")); }).number,
             ErrorNumber::ItemNotFound);
    QCOMPARE(failureOf([&] { records.Fields("Colour").Value(); }).number,
             ErrorNumber::ItemNotFound);
    QCOMPARE(records.Fields("name").Value().toString(), QString("Ann"));
    QCOMPARE(failureOf([&] { records.Open(Sql::SelectCustomTable, connection); }).number,
             ErrorNumber::ObjectOpen);
    records.Close();
    QCOMPARE(records.State(), int(adStateClosed));
    QCOMPARE(failureOf([&] { records.MoveFirst(); }).number, ErrorNumber::ObjectClosed);

    const Failure missing =
        failureOf([&] { records.Open("select * from Orders", connection, adOpenKeyset); });
    QCOMPARE(missing.number, ErrorNumber::TableNotFound);
    QCOMPARE(missing.number, qint64(0x80040E37));
    QVERIFY2(missing.description.contains("Orders"), qPrintable(missing.description));
    QCOMPARE(records.State(), int(adStateClosed));
    QCOMPARE(failureOf([&] { connection.Execute("delete from Orders"); }).number,
             ErrorNumber::TableNotFound);

    const Failure column =
        failureOf([&] { records.Open("select Colour from CustomTable", connection); });
    QCOMPARE(column.number, ErrorNumber::Database);
    QVERIFY2(column.description.contains("no such column: Colour"), qPrintable(column.description));
    const Failure syntax = failureOf([&] { connection.Execute("update CustomTable sett x=1"); });
    QCOMPARE(syntax.number, ErrorNumber::Database);
    QVERIFY2(syntax.description.contains("syntax error"), qPrintable(syntax.description));
    const Failure duplicate = failureOf([&] { connection.Execute(Sql::addFieldColumn("name")); });
    QVERIFY2(duplicate.description.contains("duplicate column name"),
             qPrintable(duplicate.description));
}

void StoreTest::staticReadOnlySetRefusesEveryWrite() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}});
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    Recordset records;
    records.Open(Sql::SelectCustomTable, connection, adOpenStatic, adLockReadOnly);
    QCOMPARE(records.RecordCount(), 2L);
    QCOMPARE(failureOf([&] { records.Fields(1).setValue(QString("Anna")); }).number,
             ErrorNumber::NotUpdatable);
    QCOMPARE(failureOf([&] { records.AddNew(); }).number, ErrorNumber::NotUpdatable);
    QCOMPARE(failureOf([&] { records.Delete(); }).number, ErrorNumber::NotUpdatable);
    records.MoveNext();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Bob"));
    QCOMPARE(records.RecordCount(), 2L);
    QCOMPARE(column(env.query("SELECT Name FROM CustomTable ORDER BY ID")),
             QStringList({"Ann", "Bob"}));

    // The field list is read the same way: all its rows, in table order.
    env.addField("Colour", "Dropdown", "3", "Red,[Green]");
    Recordset fields;
    fields.Open(Sql::SelectFieldControl, connection, adOpenStatic, adLockReadOnly);
    QCOMPARE(fields.RecordCount(), 2L);
    fields.MoveLast();
    QCOMPARE(fields.Fields(0).Value().toString(), QString("Colour"));
    QCOMPARE(fields.Fields(3).Value().toString(), QString("Red,[Green]"));
    QCOMPARE(failureOf([&] { fields.Fields(1).setValue(QString("Textfield")); }).number,
             ErrorNumber::NotUpdatable);
}

void StoreTest::schemaRowsetListsTablesAndViews() {
    TestEnvironment env;
    env.createDataFile();
    execOn(env.dataFile(), "CREATE VIEW Named AS SELECT * FROM CustomTable");
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    auto tables = connection.OpenSchema(adSchemaTables);
    QMap<QString, QString> types;
    for (; !tables->IsEOF(); tables->MoveNext())
        types[tables->Fields("TABLE_NAME").Value().toString()] =
            tables->Fields("TABLE_TYPE").Value().toString();
    QCOMPARE(types.value("CustomTable"), QString("TABLE"));
    QCOMPARE(types.value("FieldControl"), QString("TABLE"));
    QCOMPARE(types.value("Named"), QString("VIEW"));
    for (auto it = types.cbegin(); it != types.cend(); ++it)
        if (it.key().startsWith("sqlite_"))
            QCOMPARE(it.value(), QString("SYSTEM TABLE"));
    QCOMPARE(failureOf([&] { connection.OpenSchema(4); }).number, ErrorNumber::General);
}

void StoreTest::openRecordSetKeepsReadingWhileAnotherConnectionChangesColumns() {
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
    QCOMPARE(env.columnsOf("CustomTable"), QStringList({"ID", "A", "B", "C"}));

    // Sets opened afresh on the window's connection see the new column at once.
    Recordset fields;
    fields.Open(Sql::SelectFieldControl, *window, adOpenStatic, adLockReadOnly);
    QCOMPARE(fields.RecordCount(), 3L);
    Recordset noRows;
    noRows.Open(Sql::SelectCustomTable + " where ID < 0", *window, adOpenKeyset, adLockOptimistic);
    QCOMPARE(noRows.fieldCount(), 4);
    QCOMPARE(noRows.Fields(3).Name(), QString("C"));

    records.MoveLast();
    QCOMPARE(records.Fields(1).Value().toString(), QString("a200"));
    QCOMPARE(records.Fields(3).Value().toString(), QString("c200"));

    // A column dropped while a row is current: writing that row and reading on still work.
    records.MoveFirst();
    QCOMPARE(records.Fields(1).Value().toString(), QString("a1"));
    fieldList->Execute(Sql::dropFieldColumn("A"));
    fieldList->Execute(Sql::deleteFieldRow("A"));
    QCOMPARE(env.columnsOf("CustomTable"), QStringList({"ID", "B", "C"}));
    records.Fields("B").setValue(QString("changed"));
    records.Update();
    QCOMPARE(env.query("SELECT B, C FROM CustomTable WHERE ID = 1"),
             QList<QVariantList>({{"changed", "c1"}}));
    QCOMPARE(records.Fields("B").Value().toString(), QString("changed"));
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
    QCOMPARE(records.Fields(1).Value().toString(), QString("Ann"));

    Connection theirs;
    theirs.Open(ConnectionString(env.dataFile()));
    theirs.Execute("update CustomTable set Name = 'Annika' where ID = 1");
    records.Fields(1).setValue(QString("Anna"));
    const Failure changed = failureOf([&] { records.Update(); });
    QCOMPARE(changed.number, ErrorNumber::RowChanged);
    QVERIFY2(changed.description.contains("changed by another"), qPrintable(changed.description));
    QCOMPARE(env.query("SELECT Name FROM CustomTable WHERE ID = 1"),
             QList<QVariantList>({{"Annika"}}));
    records.Cancel();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Annika"));
    records.Fields(1).setValue(QString("Anna"));
    records.Update();
    QCOMPARE(env.query("SELECT Name FROM CustomTable WHERE ID = 1"),
             QList<QVariantList>({{"Anna"}}));

    // A change to another field of the row is kept alongside mine.
    records.MoveNext();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Bob"));
    theirs.Execute("update CustomTable set Town = 'Milan' where ID = 2");
    records.Fields(1).setValue(QString("Bobby"));
    records.Update();
    QCOMPARE(env.query("SELECT Name, Town FROM CustomTable WHERE ID = 2"),
             QList<QVariantList>({{"Bobby", "Milan"}}));

    records.MoveNext();
    QCOMPARE(records.Fields(1).Value().toString(), QString("Cid"));
    theirs.Execute("delete from CustomTable where ID = 3");
    records.Fields(2).setValue(QString("Genf"));
    const Failure deleted = failureOf([&] { records.Update(); });
    QCOMPARE(deleted.number, ErrorNumber::RowChanged);
    QVERIFY2(deleted.description.contains("deleted by another"), qPrintable(deleted.description));
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable WHERE ID = 3"),
             QList<QVariantList>({{"0"}}));
}

void StoreTest::searchIgnoresCaseInEveryAlphabet() {
    TestEnvironment env;
    fileWithNames(env, {"École", "ecole", "Straße", "STRAẞE", "Äpfel", "äpfel", "Apfel", "ПРИВЕТ",
                        "привет", "ΛΌΓΟΣ", "λόγος", "plain"});
    QCOMPARE(foundNames(env, {"Name"}, "é"), QStringList({"École"}));
    QCOMPARE(foundNames(env, {"Name"}, "ÉCOLE"), QStringList({"École"}));
    QCOMPARE(foundNames(env, {"Name"}, "ß"), QStringList({"Straße", "STRAẞE"}));
    QCOMPARE(foundNames(env, {"Name"}, "Ä"), QStringList({"Äpfel", "äpfel"}));
    QCOMPARE(foundNames(env, {"Name"}, "äPF"), QStringList({"Äpfel", "äpfel"}));
    QCOMPARE(foundNames(env, {"Name"}, "Привет"), QStringList({"ПРИВЕТ", "привет"}));
    QCOMPARE(foundNames(env, {"Name"}, "λόγος"), QStringList({"ΛΌΓΟΣ", "λόγος"}));
    QCOMPARE(foundNames(env, {"Name"}, "ΌΓΟΣ"), QStringList({"ΛΌΓΟΣ", "λόγος"}));
    QCOMPARE(foundNames(env, {"Name"}, "PLAIN"), QStringList({"plain"}));
}

void StoreTest::searchMatchesWildcardsBracketsAndQuotesLiterally() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Note", "Textfield");
    env.addRecords({{"100% sure", ""},
                    {"1000 items", "100 percent"},
                    {"a_b", QVariant()},
                    {"axb", "[x]"},
                    {"x", "it's"},
                    {"say \"hi\"", "C:\\temp"},
                    {"C:temp", "a]b"}});
    QCOMPARE(foundNames(env, {"Name"}, "100%"), QStringList({"100% sure"}));
    QCOMPARE(foundNames(env, {"Name"}, "%"), QStringList({"100% sure"}));
    QCOMPARE(foundNames(env, {"Name"}, "a_b"), QStringList({"a_b"}));
    QCOMPARE(foundNames(env, {"Name"}, "_"), QStringList({"a_b"}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "[x]"), QStringList({"axb"}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "[x"), QStringList({"axb"}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "]"), QStringList({"axb", "C:temp"}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "it's"), QStringList({"x"}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "'"), QStringList({"x"}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "\"hi\""), QStringList({"say \"hi\""}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "C:\\"), QStringList({"say \"hi\""}));
    QCOMPARE(foundNames(env, {"Name", "Note"}, "100 P"), QStringList({"1000 items"}));

    // Column names with quotes and brackets of their own are carried too.
    env.addField("Odd ]'\" name", "Textfield");
    execOn(env.dataFile(), "UPDATE CustomTable SET \"Odd ]'\"\" name\" = 'odd' WHERE ID = 2");
    QCOMPARE(foundNames(env, {"Name", "Odd ]'\" name"}, "ODD"), QStringList({"1000 items"}));
}

void StoreTest::providerCheckSucceedsWithoutTouchingTheDataFile() {
    TestEnvironment env;
    ScriptedMessages messages;
    QStringList pages;
    int created = 0;
    const ProviderServices services{[&] { ++created; },
                                    [&](const QString& page) { pages << page; }};
    QVERIFY(CheckProvider(messages, services));
    QCOMPARE(created, 1);
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(pages.isEmpty());
    QVERIFY(!QFile::exists(env.dataFile()));
    QVERIFY(!QDir(env.paths().companyFolder()).exists());

    // With the program's own services: the engine is there, and still no file is made.
    QVERIFY(CheckProvider(messages));
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(!QFile::exists(env.dataFile()));
}

void StoreTest::missingProviderOffersTheDownloadPages() {
    TestEnvironment env;
    const QStringList paragraphs = providerHelpMessage().split("\r\n\r\n");
    QCOMPARE(paragraphs.size(), 7);
    QCOMPARE(
        paragraphs.mid(0, 6),
        QStringList({"Error #3706: Provider cannot be found. It may not be properly installed.",
                     "You are getting this error because:",
                     "1. Microsoft Access is not installed on your computer.",
                     "2. A set of Microsoft components to transfer data is not installed on your "
                     "computer.",
                     "You need to download and install Microsoft Access Database Engine 2010 or "
                     "2016 to solve this problem.",
                     "Would you like me to open the Microsoft site now so you can do this?"}));
    const QString opening = "(If you have any further questions please email a screenshot of "
                            "this error message to ";
    QVERIFY2(paragraphs[6].startsWith(opening), qPrintable(paragraphs[6]));
    QVERIFY(paragraphs[6].endsWith(")"));
    QVERIFY(paragraphs[6].contains('@'));
    QVERIFY(!paragraphs[6].contains('\r') && !paragraphs[6].contains('\n'));

    struct Case {
        const char* name;
        RuntimeError error;
        Answer answer;
    };
    const Case cases[] = {
        {"3706, No", RuntimeError(ErrorNumber::ProviderNotFound, "Provider missing."), Answer::No},
        {"3706, Yes", RuntimeError(ErrorNumber::ProviderNotFound, "Provider missing."),
         Answer::Yes},
        {"described, Yes",
         RuntimeError(ErrorNumber::Database, "The PROVIDER CANNOT BE FOUND on this machine."),
         Answer::Yes},
    };
    for (const Case& c : cases) {
        ScriptedMessages messages;
        messages.answer(c.answer);
        QStringList pages;
        const ProviderServices services{[&] { throw c.error; },
                                        [&](const QString& page) { pages << page; }};
        QVERIFY2(!CheckProvider(messages, services), c.name);
        QCOMPARE(messages.shown.size(), 1);
        const Message& box = messages.shown.first();
        QCOMPARE(box.text, providerHelpMessage());
        QCOMPARE(box.buttons, Message::Buttons::YesNo);
        QCOMPARE(box.icon, Message::Icon::None);
        QVERIFY2(box.title.isEmpty(), qPrintable(box.title));
        if (c.answer == Answer::No) {
            QVERIFY2(pages.isEmpty(), c.name);
            continue;
        }
        QCOMPARE(pages.size(), 2);
        QVERIFY2(pages[0].endsWith("/en-us/download/details.aspx?id=13255"), qPrintable(pages[0]));
        QVERIFY2(pages[1].endsWith("/en-us/download/details.aspx?id=54920"), qPrintable(pages[1]));
        QVERIFY(pages[0].startsWith("https://"));
    }
    QVERIFY(!QFile::exists(env.dataFile()));
}

void StoreTest::otherProviderFailuresShowNothing() {
    ScriptedMessages messages;
    QStringList pages;
    const auto opener = [&](const QString& page) { pages << page; };
    QVERIFY(!CheckProvider(
        messages, {[] { throw RuntimeError(ErrorNumber::Database, "out of memory"); }, opener}));
    QVERIFY(!CheckProvider(messages, {[] { throw std::runtime_error("no engine"); }, opener}));
    QVERIFY(!CheckProvider(messages, {[] { throw 42; }, opener}));
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(pages.isEmpty());
}

QTEST_MAIN(StoreTest)
#include "tst_store.moc"
