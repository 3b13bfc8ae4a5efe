#include "import/commandline.h"

#include "app/datafilesetup.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/runtimeerror.h"
#include "export/csvexport.h"
#include "import/importcommand.h"
#include "store/access1.h"
#include "store/connection.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>
#include <cstring>

namespace {
// Boxes become lines on the standard error; a question is answered as the options say.
class ConsoleMessages : public MessageService {
  public:
    explicit ConsoleMessages(bool yes) : m_yes(yes) {}
    Answer show(const Message& message) override {
        QString text = message.text;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QTextStream(stderr) << text << Qt::endl;
        if (message.buttons == Message::Buttons::Ok)
            return Answer::Ok;
        QTextStream(stderr) << (m_yes ? "Answered Yes." : "Answered No.") << Qt::endl;
        return m_yes ? Answer::Yes : Answer::No;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&) override {
        QString text = prompt;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QTextStream(stderr) << text << "\n(Name it with --table.)" << Qt::endl;
        return std::nullopt;
    }

  private:
    bool m_yes;
};

bool runDirectly(const QString&, const std::function<void()>& work, const std::function<void()>&) {
    work();
    return true;
}
} // namespace

bool isCommandLineRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--import") || !std::strcmp(argv[i], "--export-csv"))
            return true;
    return false;
}

int runCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption import(QStringLiteral("import"),
                                    QStringLiteral("Import a CSV file or an Access table."),
                                    QStringLiteral("file"));
    const QCommandLineOption table(QStringLiteral("table"),
                                   QStringLiteral("The table of the Access file to import."),
                                   QStringLiteral("name"));
    const QCommandLineOption rename(QStringLiteral("rename-clashes"),
                                    QStringLiteral("Import columns named like existing fields "
                                                   "under new names instead of refusing."));
    const QCommandLineOption exportCsvOption(QStringLiteral("export-csv"),
                                             QStringLiteral("Export every record to a CSV file."),
                                             QStringLiteral("file"));
    parser.addOptions({import, table, rename, exportCsvOption});
    parser.addHelpOption();
    parser.process(arguments);

    ConsoleMessages messages(parser.isSet(rename));
    Connection connection;
    try {
        const AppPaths paths = AppPaths::standard();
        // A first run on this account makes the data file as the window's start-up would.
        DataFileSetup::makeCompanyFolder(paths);
        DataFileSetup::makeDataFolder(paths);
        DataFileSetup::copyTemplateIfMissing(paths);
        connection.Open(ConnectionString(paths.dataFile()));
        if (parser.isSet(import))
            return importFile(messages, connection, parser.value(import), parser.value(table),
                              runDirectly) >= 0
                       ? 0
                       : 1;
        const QString target = parser.value(exportCsvOption);
        const long rows = exportCsv(connection, target);
        QTextStream(stdout) << QStringLiteral("%1 records were exported to '%2'.")
                                   .arg(rows)
                                   .arg(QDir::toNativeSeparators(target))
                            << Qt::endl;
        return 0;
    } catch (const RuntimeError& e) {
        messages.show(Message{e.description()});
        return 1;
    }
}
