#include "commandline/commandline.h"

#include "app/messages.h"
#include "app/paths.h"
#include "app/runtimeerror.h"
#include "app/settings.h"
#include "commandline/storecopy.h"
#include "export/csvexport.h"
#include "import/importcommand.h"
#include "import/importer.h"
#include "store/connection.h"
#include "store/datafilesetup.h"
#include "store/serversecrets.h"
#include "store/store.h"
#include "table/tablerecords.h"
#include "table/tablereports.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

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
bool renameClashes(ImportPlan& plan, const QString&, const TableSurveyor&) {
    importClashesAsNewFields(plan);
    return true;
}

// The options of the program itself; a value name for those that take a value.
struct OptionText {
    const char* name;
    const char* valueName;
    const char* description;
};
const OptionText Options[] = {
    {"import", "file", "Import a CSV file or a table of an Access file into the store in use."},
    {"table", "name", "The table of the Access file to import."},
    {"encoding", "name",
     "The encoding of the CSV file to import (UTF-8, UTF-16, WINDOWS-1252, ...); found from the "
     "file when not given."},
    {"rename-clashes", nullptr,
     "Import columns named like existing fields into new fields under free names instead of "
     "into those fields."},
    {"export-csv", "file", "Export every record of the store in use to a CSV file."},
    {"export-pdf", "file",
     "Write every record of the store in use to a PDF file as a list, a row per record."},
    {"copy-to", "address",
     "Copy the local data file's fields and records to an empty server database."},
    {"copy-from", "address",
     "Copy a server database's fields and records to an empty local data file."},
    {"set-server", "address", "Keep the records on this server from now on."},
    {"clear-server", nullptr, "Keep the records in the local data file again."},
    {"server", "address",
     "Work on this server's database for this run (a libpq connection string or URI)."},
    {"version", nullptr, "Show the version and end."},
};
// Each asks for work without a window; one at a time.
const char* const Commands[] = {"import",    "export-csv", "export-pdf",  "copy-to",
                                "copy-from", "set-server", "clear-server"};
// What QApplication takes for the window itself (given as -platform NAME and the like), so
// that a desktop's or a user's habits with Qt programs go on working.
const char* const QtValueOptions[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "style",         "stylesheet"};
const char* const QtFlags[] = {"reverse", "widgetcount"};

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The setting that names the user's server; it never holds a password.
const QString ServerSetting = QStringLiteral("Server");

// The local data file, made from the template on a first run as the window's start-up would.
Store localDataFile() {
    const AppPaths paths = AppPaths::standard();
    DataFileSetup::makeCompanyFolder(paths);
    DataFileSetup::makeDataFolder(paths);
    DataFileSetup::copyTemplateIfMissing(paths);
    return Store::dataFile(paths.dataFile());
}

int copyBetween(const Store& from, const Store& to) {
    const auto source = from.open(adModeRead);
    const auto target = to.open();
    const long copied = copyStore(*source, *target);
    QTextStream(stdout)
        << QStringLiteral("%1 records were copied to the %2.").arg(copied).arg(target->describe())
        << Qt::endl;
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
    const auto check = Store::server(address).open();
    SaveSetting(ServerSetting, address);
    QTextStream(stdout)
        << QStringLiteral("Ledgerloom now keeps its records in the %1.").arg(check->describe())
        << Qt::endl;
    return 0;
}
} // namespace

CommandLine::CommandLine(int argc, char** argv) : CommandLine(argumentsOf(argc, argv)) {}

CommandLine::CommandLine(const QStringList& arguments) {
    m_parser.setApplicationDescription(
        QStringLiteral("Keeps records in a database with fields of your own. Without options, "
                       "it opens the record window."));
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionText& option : Options)
        m_parser.addOption(
            QCommandLineOption(option.name, option.description, QLatin1String(option.valueName)));
    m_parser.addOption(
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and end.")});
    for (const char* name : QtValueOptions) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        m_parser.addOption(option);
    }
    for (const char* name : QtFlags) {
        QCommandLineOption option(name, QString());
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        m_parser.addOption(option);
    }
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return;
    }
    QStringList commands;
    for (const char* command : Commands)
        if (m_parser.isSet(command))
            commands << QStringLiteral("--") + command;
    if (!m_parser.positionalArguments().isEmpty())
        m_error = QStringLiteral("Unexpected argument '%1'.")
                      .arg(m_parser.positionalArguments().constFirst());
    else if (commands.size() > 1)
        m_error = QStringLiteral("%1 cannot be given together.").arg(commands.join(" and "));
    else if (!m_parser.isSet("import") &&
             (m_parser.isSet("table") || m_parser.isSet("rename-clashes") ||
              m_parser.isSet("encoding")))
        m_error = QStringLiteral("--table, --encoding and --rename-clashes go with --import.");
}

bool CommandLine::drawsText() const {
    return m_error.isEmpty() && m_parser.isSet("export-pdf");
}

bool CommandLine::opensWindow() const {
    for (const char* command : Commands)
        if (m_parser.isSet(command))
            return false;
    return m_error.isEmpty() && !m_parser.isSet("help") && !m_parser.isSet("version");
}

Store CommandLine::chooseStore() const {
    if (m_parser.isSet("server"))
        return Store::server(m_parser.value("server"));
    if (const QString given = qEnvironmentVariable("LEDGERLOOM_SERVER").trimmed(); !given.isEmpty())
        return Store::server(given);
    if (const QString remembered = GetSetting(ServerSetting, QString()); !remembered.isEmpty())
        return Store::server(remembered);
    return Store::dataFile(AppPaths::standard().dataFile());
}

int CommandLine::run() const {
    if (!m_error.isEmpty()) {
        QTextStream(stderr) << m_error << "\n\n" << m_parser.helpText();
        return 2;
    }
    if (m_parser.isSet("help")) {
        QTextStream(stdout) << m_parser.helpText();
        return 0;
    }
    if (m_parser.isSet("version")) {
        QTextStream(stdout) << "Ledgerloom " LEDGERLOOM_VERSION << Qt::endl;
        return 0;
    }
    const auto value = [this](const char* option) { return m_parser.value(option); };
    ConsoleMessages messages(m_parser.isSet("rename-clashes"));
    try {
        if (m_parser.isSet("set-server"))
            return rememberServer(value("set-server"));
        if (m_parser.isSet("clear-server")) {
            SaveSetting(ServerSetting, QString());
            QTextStream(stdout) << "Ledgerloom keeps its records in the local data file again."
                                << Qt::endl;
            return 0;
        }
        if (m_parser.isSet("copy-to"))
            return copyBetween(localDataFile(), Store::server(value("copy-to")));
        if (m_parser.isSet("copy-from"))
            return copyBetween(Store::server(value("copy-from")), localDataFile());
        const Store store = chooseStore();
        if (!store.localDataFile().isEmpty())
            localDataFile();
        const auto opened = store.open();
        Connection& connection = *opened;
        if (m_parser.isSet("import")) {
            const ImportChooser choose =
                m_parser.isSet("rename-clashes") ? ImportChooser(renameClashes) : ImportChooser();
            const long imported = importFile(messages, connection, value("import"), value("table"),
                                             runDirectly, choose, value("encoding"));
            return imported >= 0 ? 0 : 1;
        }
        if (m_parser.isSet("export-pdf")) {
            const QString target = value("export-pdf");
            TableRecords records;
            records.show(store, TableQuery{}, TableRecords::readContent(connection, TableQuery{}));
            writePdf(target, listReport(records));
            QTextStream(stdout) << QStringLiteral("%1 records were written to '%2'.")
                                       .arg(records.rowCount())
                                       .arg(QDir::toNativeSeparators(target))
                                << Qt::endl;
            return 0;
        }
        const QString target = value("export-csv");
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
