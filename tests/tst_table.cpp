#include "record/form1.h"
#include "support/testsupport.h"
#include "table/tablerecords.h"
#include "table/tablewindow.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace {

// Opens the table view as the user does, with Ctrl+T in the record window.
TableWindow& openTable(Form1& window) {
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
    TableWindow* table = window.tableWindow();
    if (!table)
        qFatal("Ctrl+T opened no table view");
    return *table;
}

// The headings, then every row as the table shows it.
QList<QStringList> rowsOf(const TableWindow& table) {
    const QAbstractItemModel* model = table.view()->model();
    QList<QStringList> rows;
    for (int r = -1; r < model->rowCount(); ++r) {
        rows << QStringList();
        for (int c = 0; c < model->columnCount(); ++c)
            rows.last() << (r < 0 ? model->headerData(c, Qt::Horizontal)
                                  : model->data(model->index(r, c)))
                               .toString();
    }
    return rows;
}

} // namespace

class TableViewTest : public QObject {
    Q_OBJECT
  private slots:
    void showsEveryFieldAndFollowsTheRecordWindow_data() { storeRows(); }
    void showsEveryFieldAndFollowsTheRecordWindow();
};

void TableViewTest::showsEveryFieldAndFollowsTheRecordWindow() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields(27); // two pages
    env.addField("Wide", "Textfield", "12");
    QList<QVariantList> records;
    for (int i = 1; i <= 600; ++i) {
        QVariantList values{QString("first %1").arg(i)};
        for (int f = 2; f <= 27; ++f)
            values << (i % 3 ? QVariant(QString("v%1.%2").arg(i).arg(f)) : QVariant());
        records << (values << QString("wide %1").arg(i));
    }
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    TableWindow& table = openTable(*window);
    QCOMPARE(table.statusText(), QString("600 of 600 records"));
    const QList<QStringList> rows = rowsOf(table);
    QCOMPARE(rows[0].size(), 29);
    QCOMPARE(rows[0].mid(0, 3), (QStringList{"ID", "F1", "F2"}));
    QCOMPARE(rows[0].last(), QString("Wide"));
    // Read on demand across chunks, every value in its own field's column.
    const auto stored = env.query("select * from \"CustomTable\" order by \"ID\"");
    for (int r : {599, 0, 255, 256, 300})
        for (int c = 0; c < 29; ++c)
            QCOMPARE(rows[r + 1][c], stored[r][c].toString());
    QVERIFY2(table.view()->columnWidth(28) > table.view()->columnWidth(1),
             "a field of greater size has a wider column");

    // Enter on a row moves the record window there.
    table.view()->setCurrentIndex(table.view()->model()->index(299, 2));
    QTest::keyClick(table.view(), Qt::Key_Return);
    QCOMPARE(textBox(*window, 0)->text(), QString("first 300"));

    // A save and a delete in the record window show in the table.
    window->PushButton1_Click();
    textBox(*window, 0)->setText("changed");
    window->PushButton6_Click();
    QCOMPARE(table.view()->model()->index(299, 1).data().toString(), QString("changed"));
    QCOMPARE(table.view()->currentIndex().row(), 299);
    messages.answer(Answer::Yes);
    window->PushButton2_Click();
    QCOMPARE(table.statusText(), QString("599 of 599 records"));
    QCOMPARE(table.view()->model()->index(299, 1).data().toString(), QString("first 301"));
    // A field added elsewhere shows with the fields read afresh.
    env.addField("Later", "Textfield");
    window->PushButton4_Click();
    settle(*window);
    QCOMPARE(rowsOf(table)[0].last(), QString("Later"));
    QCOMPARE(messages.texts(),
             QStringList{"Do you really want to delete this record number changed?"});
}

QTEST_MAIN(TableViewTest)
#include "tst_table.moc"
