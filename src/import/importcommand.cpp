#include "import/importcommand.h"

#include "app/longwork.h"
#include "app/messages.h"
#include "app/runtimeerror.h"
#include "import/accesssource.h"
#include "import/csvsource.h"
#include "import/importer.h"
#include "store/connection.h"

#include <QFileInfo>
#include <atomic>

namespace {
const QString Title = QStringLiteral("Import");

void tellProblem(MessageService& messages, const QString& problem) {
    messages.show(Message{problem + QStringLiteral("\r\n\r\nNothing was imported; the data file "
                                                   "is as it was."),
                          Title, Message::Buttons::Ok, Message::Icon::Exclamation});
}

bool renameClashes(MessageService& messages, const ImportPlan& plan) {
    const Message question{
        QStringLiteral("These columns have the names of fields already there (capitals "
                       "ignored): %1.\r\n\r\nYes: import them as %2.\r\nNo: import nothing.")
            .arg(plan.clashes.join(QStringLiteral(", ")), plan.renamed.join(QStringLiteral(", "))),
        Title, Message::Buttons::YesNo, Message::Icon::Question, true};
    return messages.show(question) == Answer::Yes;
}

// The table of an Access file to import: the one named, the only one, or the one typed.
QString chooseTable(MessageService& messages, const QStringList& tables, const QString& named,
                    const QString& file) {
    if (tables.isEmpty())
        throw RuntimeError(ErrorNumber::General,
                           QStringLiteral("The Access file '%1' holds no tables.").arg(file));
    QString table = named;
    if (table.isEmpty() && tables.size() == 1)
        table = tables.first();
    if (table.isEmpty()) {
        const std::optional<QString> typed = messages.input(
            QStringLiteral("The Access file holds these tables:\r\n%1\r\n\r\nWhich one do you "
                           "want to import?")
                .arg(tables.join(QStringLiteral("\r\n"))),
            Title, tables.first());
        if (!typed)
            return QString();
        table = *typed;
    }
    for (const QString& candidate : tables)
        if (candidate.compare(table.trimmed(), Qt::CaseInsensitive) == 0)
            return candidate;
    throw RuntimeError(ErrorNumber::General,
                       QStringLiteral("The Access file '%1' has no table named '%2'. Its tables "
                                      "are: %3.")
                           .arg(file, table, tables.join(QStringLiteral(", "))));
}
} // namespace

long importSource(MessageService& messages, Connection& connection, TableSource& source,
                  const LongWorkRunner& run) {
    long rows = -1;
    try {
        const ImportPlan plan = planImport(connection, source);
        if (!plan.clashes.isEmpty() && !renameClashes(messages, plan))
            return -1;
        std::atomic<bool> cancelled = false;
        const bool finished = run(
            QStringLiteral("Importing %1...").arg(source.label()),
            [&] { rows = importTable(connection, source, plan, cancelled); },
            [&] {
                cancelled = true;
                source.cancel();
                connection.interrupt();
            });
        if (!finished) {
            tellProblem(messages, QStringLiteral("The import was cancelled."));
            return -1;
        }
    } catch (const RuntimeError& e) {
        tellProblem(messages, e.description());
        return -1;
    }
    QString summary = QStringLiteral("%L1 records with %L2 fields were imported from '%3'.")
                          .arg(rows)
                          .arg(source.columns().size())
                          .arg(source.label());
    if (const QStringList skipped = source.skippedColumns(); !skipped.isEmpty())
        summary += QStringLiteral("\r\n\r\nLeft out, because they hold pictures or other binary "
                                  "data that no field can hold: %1.")
                       .arg(skipped.join(QStringLiteral(", ")));
    messages.show(Message{summary, Title});
    return rows;
}

long importFile(MessageService& messages, Connection& connection, const QString& path,
                const QString& tableName, const LongWorkRunner& run) {
    // The table is read through the database's handle, so it must go first.
    std::unique_ptr<AccessFile> database;
    std::unique_ptr<TableSource> source;
    try {
        if (!QFileInfo(path).isFile())
            throw RuntimeError(ErrorNumber::General,
                               QStringLiteral("The file '%1' cannot be found.").arg(path));
        if (isAccessFile(path)) {
            database = std::make_unique<AccessFile>(path, run);
            const QString table = chooseTable(messages, database->tableNames(), tableName, path);
            if (table.isEmpty())
                return -1;
            source = database->openTable(table);
        } else {
            source = std::make_unique<CsvSource>(path);
        }
    } catch (const RuntimeError& e) {
        tellProblem(messages, e.description());
        return -1;
    }
    return importSource(messages, connection, *source, run);
}

LongWorkRunner windowRunner(QWidget* parent) {
    return [parent](const QString& label, const std::function<void()>& work,
                    const std::function<void()>& cancel) {
        return runLongWork(parent, label, work, cancel);
    };
}
