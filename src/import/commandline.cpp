#include "import/commandline.h"

#include "app/datafilesetup.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/runtimeerror.h"
#include "app/settings.h"
#include "export/csvexport.h"
#include "import/importcommand.h"
#include "import/importer.h"
#include "import/storecopy.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/serversecrets.h"

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
        QString text = maskSecrets(message.text);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QTextStream(stderr) << text << Qt::endl;
        if (message.buttons == Message::Buttons::Ok)
            return Answer::Ok;
        QTextStream(stderr) << (m_yes ? "Answered Yes." : "Answered No.") << Qt::endl;
        return m_yes ? Answer::Yes : Answer::No;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&) override {
        QString text = maskSecrets(prompt);
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
bool renameClashes(ImportPlan& plan, const QString&, const RecordCounter&) {
    importClashesAsNewFields(plan);
    return true;
}
const char* const CommandOptions[] = {"--import",    "--export-csv", "--copy-to",
                                      "--copy-from", "--set-server", "--clear-server"};

// The setting that names the user's server; it never holds a password.
const QString ServerSetting = QStringLiteral("Server");

// The local data file, made from the template on a first run as the window's start-up would.
QString localDataFile() {
    const AppPaths paths = AppPaths::standard();
    DataFileSetup::makeCompanyFolder(paths);
    DataFileSetup::makeDataFolder(paths);
    DataFileSetup::copyTemplateIfMissing(paths);
    return paths.dataFile();
}

int copyBetween(const QString& from, const QString& to, const QString& done) {
    Connection source, target;
    source.setMode(adModeRead);
    source.Open(from);
    target.Open(to);
    const long copied = copyStore(source, target);
    QTextStream(stdout) << done.arg(copied).arg(target.describe()) << Qt::endl;
    return 0;
}

int rememberServer(const QString& address) {
    // Whatever libpq takes as a secret: a password, a key's passphrase.
    if (const QString secret = secretIn(address); !secret.isEmpty())
        throw RuntimeError(ErrorNumber::General,
                           QStringLiteral("The address holds a password (%1), which Ledgerloom "
                                          "does not keep. Put the password in the file ~/.pgpass "
                                          "(or use a service file) and give the address without "
                                          "it.")
                               .arg(secret));
    // Reaching it first spares the user a setting that leads nowhere.
    Connection check;
    check.Open(ServerConnectionString(address));
    SaveSetting(ServerSetting, address);
    QTextStream(stdout)
        << QStringLiteral("Ledgerloom now keeps its records in the %1.").arg(check.describe())
        << Qt::endl;
    return 0;
}
} // namespace

bool isCommandLineRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : CommandOptions)
            if (!std::strcmp(argv[i], option))
                return true;
    return false;
}

void chooseStore(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* given = !std::strncmp(argv[i], "--server=", 9)              ? argv[i] + 9
                            : !std::strcmp(argv[i], "--server") && i + 1 < argc ? argv[i + 1]
                                                                                : nullptr;
        if (given) {
            qputenv("LEDGERLOOM_SERVER", given);
            return;
        }
    }
    if (!serverAddress().isEmpty())
        return;
    const QString remembered = GetSetting(ServerSetting, QString());
    if (!remembered.isEmpty())
        qputenv("LEDGERLOOM_SERVER", remembered.toUtf8());
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
                                                   "into new fields under free names instead."));
    const QCommandLineOption exportCsvOption(QStringLiteral("export-csv"),
                                             QStringLiteral("Export every record to a CSV file."),
                                             QStringLiteral("file"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Work on this server's database (a libpq "
                                                   "connection string or URI)."),
                                    QStringLiteral("address"));
    const QCommandLineOption copyTo(
        QStringLiteral("copy-to"),
        QStringLiteral(
            "Copy the local data file's fields and records to an empty server database."),
        QStringLiteral("address"));
    const QCommandLineOption copyFrom(
        QStringLiteral("copy-from"),
        QStringLiteral("Copy a server database's fields and records to an empty local data file."),
        QStringLiteral("address"));
    const QCommandLineOption setServer(
        QStringLiteral("set-server"),
        QStringLiteral("Keep the records on this server from now on."), QStringLiteral("address"));
    const QCommandLineOption clearServer(QStringLiteral("clear-server"),
                                         QStringLiteral("Keep the records in the local data file "
                                                        "again."));
    parser.addOptions(
        {import, table, rename, exportCsvOption, server, copyTo, copyFrom, setServer, clearServer});
    parser.addHelpOption();
    parser.process(arguments);

    ConsoleMessages messages(parser.isSet(rename));
    try {
        if (parser.isSet(setServer))
            return rememberServer(parser.value(setServer));
        if (parser.isSet(clearServer)) {
            SaveSetting(ServerSetting, QString());
            QTextStream(stdout) << "Ledgerloom keeps its records in the local data file again."
                                << Qt::endl;
            return 0;
        }
        if (parser.isSet(copyTo))
            return copyBetween(ConnectionString(localDataFile()),
                               ServerConnectionString(parser.value(copyTo)),
                               QStringLiteral("%1 records were copied to the %2."));
        if (parser.isSet(copyFrom))
            return copyBetween(ServerConnectionString(parser.value(copyFrom)),
                               ConnectionString(localDataFile()),
                               QStringLiteral("%1 records were copied to the data file '%2'."));
        Connection connection;
        // The records are on a server when one was chosen; else in the data file.
        connection.Open(ConnectionString(serverAddress().isEmpty() ? localDataFile() : QString()));
        if (parser.isSet(import))
            return importFile(
                       messages, connection, parser.value(import), parser.value(table), runDirectly,
                       parser.isSet(rename) ? ImportChooser(renameClashes) : ImportChooser()) >= 0
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
