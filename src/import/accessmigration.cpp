#include "import/accessmigration.h"

#include "app/messages.h"
#include "app/paths.h"
#include "app/runtimeerror.h"
#include "import/accesssource.h"
#include "import/importer.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/datafile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <atomic>

namespace {
const QString Title = QStringLiteral("Access data file");

QString keptAccessName(const AppPaths& paths) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return QDir(paths.dataFolder()).filePath(QStringLiteral("dbData-access-%1.mdb").arg(stamp));
}

// A new data file beside the old one, made from the template, until it takes the data file's
// name; dropped when the import does not finish.
class NewDataFile {
  public:
    explicit NewDataFile(const AppPaths& paths)
        : m_path(QDir(paths.dataFolder()).filePath(QStringLiteral("dbData-importing.mdb"))) {
        const QString source = FileExists(paths.customizedTemplate()) ? paths.customizedTemplate()
                                                                      : paths.blankTemplate();
        QFile::remove(m_path);
        if (!copyPrivately(source, m_path))
            throw RuntimeError(
                75,
                QStringLiteral("The template '%1' cannot be copied to '%2'.").arg(source, m_path));
        connection.Open(ConnectionString(m_path));
    }
    ~NewDataFile() {
        if (connection.State() == adStateOpen)
            connection.Close();
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }
    // Keeps the Access file under kept and puts this file in its place.
    void replace(const QString& dataFile, const QString& kept) {
        connection.Close();
        if (!QFile::rename(dataFile, kept))
            throw RuntimeError(75, QStringLiteral("The Access file '%1' cannot be renamed to "
                                                  "'%2'.")
                                       .arg(dataFile, kept));
        if (!QFile::rename(m_path, dataFile)) {
            QFile::rename(kept, dataFile);
            throw RuntimeError(
                75, QStringLiteral("The new data file cannot be renamed to '%1'.").arg(dataFile));
        }
        m_path.clear();
    }
    Connection connection;

  private:
    QString m_path;
};

// Offers each table of a database that is not a data file; false when none was imported.
bool importChosenTables(MessageService& messages, Connection& connection, DatabaseSource& source,
                        const LongWorkRunner& run) {
    bool any = false;
    for (const QString& table : source.tableNames()) {
        const Message question{
            QStringLiteral("Import the table '%1' of the Access file? Its columns become fields "
                           "and its rows records.")
                .arg(table),
            Title, Message::Buttons::YesNo, Message::Icon::Question};
        if (messages.show(question) != Answer::Yes)
            continue;
        any |= importSource(messages, connection, *source.openTable(table), run) >= 0;
    }
    return any;
}
} // namespace

bool replaceAccessDataFile(const AppPaths& paths, MessageService& messages, DatabaseSource& source,
                           const LongWorkRunner& run) {
    NewDataFile fresh(paths);
    if (holdsDataFileTables(source)) {
        std::atomic<bool> cancelled = false;
        if (!run(
                QStringLiteral("Importing the Access data file..."),
                [&] { importFieldsAndRecords(fresh.connection, source, cancelled); },
                [&] {
                    cancelled = true;
                    source.cancel();
                    fresh.connection.interrupt();
                }))
            return false;
    } else if (!importChosenTables(messages, fresh.connection, source, run)) {
        return false;
    }
    const QString kept = keptAccessName(paths);
    fresh.replace(paths.dataFile(), kept);
    messages.show(Message{QStringLiteral("The records are now in a new data file. The Access "
                                         "file was kept, unchanged, as '%1'.")
                              .arg(QDir::toNativeSeparators(kept)),
                          Title});
    return true;
}

void offerAccessImport(const AppPaths& paths, MessageService& messages, const LongWorkRunner& run) {
    const QString file = paths.dataFile();
    if (!isAccessFile(file))
        return;
    const Message question{
        QStringLiteral("The data file '%1' is a Microsoft Access database. Ledgerloom keeps its "
                       "records in SQLite databases.\r\n\r\nImport its records into a new data "
                       "file? The Access file is kept beside it, renamed, and never changed.\r\n"
                       "No leaves everything as it is.")
            .arg(QDir::toNativeSeparators(file)),
        Title, Message::Buttons::YesNo, Message::Icon::Question, true};
    if (messages.show(question) != Answer::Yes)
        return;
    try {
        AccessFile source(file, run);
        if (replaceAccessDataFile(paths, messages, source, run))
            return;
        messages.show(Message{QStringLiteral("Nothing was imported: the Access file is still the "
                                             "data file, unchanged."),
                              Title});
    } catch (const RuntimeError& e) {
        messages.show(Message{e.description() +
                                  QStringLiteral("\r\n\r\nNothing was changed: the Access file is "
                                                 "still the data file."),
                              Title, Message::Buttons::Ok, Message::Icon::Exclamation});
    }
}
