// Draws the pictures of the README: every window of Ledgerloom, opened for real on a sample data
// file in a temporary folder, saved as PNG files. Run it offscreen through scripts/screenshots.sh.
// Usage: screenshots <output folder>
#include "app/messages.h"
#include "fields/form2.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "search/form3.h"
#include "store/serversecrets.h"
#include "support/testsupport.h"
#include "table/tablewindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

namespace {
QString outputFolder;
int failures = 0;

void save(QWidget& window, const QString& name) {
    QCoreApplication::processEvents();
    const QString file = QDir(outputFolder).filePath(name + QStringLiteral(".png"));
    if (window.grab().save(file)) {
        std::printf("%s\n", qPrintable(file));
    } else {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        ++failures;
    }
}

void addSampleData(const TestEnvironment& env) {
    env.addField(QStringLiteral("Name"), QStringLiteral("Textfield"), QStringLiteral("8"));
    env.addField(QStringLiteral("Street"), QStringLiteral("Textfield"), QStringLiteral("8"));
    env.addField(QStringLiteral("City"), QStringLiteral("Textfield"), QStringLiteral("5"));
    env.addField(QStringLiteral("Country"), QStringLiteral("Dropdown"), QStringLiteral("5"),
                 QStringLiteral("Denmark,Germany,Norway,Sweden"));
    env.addField(QStringLiteral("Phone"), QStringLiteral("Textfield"), QStringLiteral("5"));
    env.addField(QStringLiteral("Notes"), QStringLiteral("Multiline Textfield"),
                 QStringLiteral("8"));
    env.addField(QStringLiteral("Member"), QStringLiteral("Checkbox"), QStringLiteral("1"),
                 QStringLiteral("Yes,No"));
    env.addField(QStringLiteral("Company"), QStringLiteral("Textfield"), QStringLiteral("8"));
    env.addField(QStringLiteral("Department"), QStringLiteral("Textfield"), QStringLiteral("6"));
    env.addField(QStringLiteral("Plan"), QStringLiteral("Dropdown"), QStringLiteral("4"),
                 QStringLiteral("Basic,Plus,Gold"));
    env.addRecords({
        {"Ingrid Solberg", "Strandgata 14", "Bergen", "Norway", "55 30 12 40",
         "Prefers e-mail.\nCall back in May.", "1", "Fjordline AS", "Sales", "Gold"},
        {"Jonas Weber", "Lindenstrasse 3", "Kassel", "Germany", "0561 70 99 12", "", "0",
         "Weber & Sohn", "Purchasing", "Basic"},
        {"Maja Lindqvist", "Kungsgatan 8", "Uppsala", "Sweden", "018 12 34 56",
         "Met at the Malmo fair.", "1", "Nordic Paper", "Accounts", "Plus"},
        {"Peter Holm", "Norregade 21", "Odense", "Denmark", "66 11 22 33", "", "1",
         "Holm Consulting", "Owner", "Plus"},
    });
}

// A modal box opened by a button: grabbed and closed as soon as it shows.
void grabNextModal(const QString& name) {
    QTimer::singleShot(200, [name] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) {
            std::fprintf(stderr, "no box for %s\n", qPrintable(name));
            ++failures;
            return;
        }
        save(*box, name);
        box->close();
    });
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots <output folder>\n");
        return 2;
    }
    outputFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outputFolder);
    QApplication::setApplicationDisplayName(QStringLiteral("Ledgerloom"));

    TestEnvironment env;
    addSampleData(env);
    DialogMessages messages([](const QString& text) { return maskSecrets(text); });
    // The record window with real message boxes, as the program has it.
    Form1 window(messages, env.paths(), env.store());
    if (!window.Form_Load())
        return 1;
    window.show();
    settle(window);
    save(window, QStringLiteral("record-window"));

    {
        Form4 fieldList(messages, env.paths(), env.store(), window, &window);
        fieldList.show();
        fieldList.ListView1->setCurrentItem(fieldList.ListView1->topLevelItem(3));
        save(fieldList, QStringLiteral("field-list"));

        Form2 editor(messages, env.paths(), env.store(),
                     FieldDefinition{QStringLiteral("Country"), QStringLiteral("Dropdown"),
                                     QStringLiteral("5"),
                                     QStringLiteral("Denmark,Germany,Norway,Sweden")},
                     &fieldList);
        editor.show();
        save(editor, QStringLiteral("field-editor"));
        editor.close();
        fieldList.close();
    }
    {
        Form3 search(messages, env.paths(), env.store(), window, &window);
        search.show();
        search.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("or"));
        search.PushButton3_Click();
        save(search, QStringLiteral("search"));
        search.close();
    }

    {
        // The table view ordered by city, and the first page of its list as printed.
        window.tableViewClicked();
        TableWindow* table = window.tableWindow();
        table->headingClicked(3);
        table->resize(table->width(), table->height() * 2 / 3);
        save(*table, QStringLiteral("table-view"));
        const QString list = QDir(outputFolder).filePath(QStringLiteral("table-view.pdf"));
        if (table->exportPdfTo(list))
            std::printf("%s\n", qPrintable(list));
        else
            ++failures;
        table->close();
    }

    // "Create New Record", then "Search " while the record is unsaved.
    window.findChild<QPushButton*>(QStringLiteral("PushButton3"))->click();
    settle(window);
    grabNextModal(QStringLiteral("save-or-cancel"));
    window.findChild<QPushButton*>(QStringLiteral("PushButton7"))->click();
    window.findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
    settle(window);
    return failures == 0 ? 0 : 1;
}
