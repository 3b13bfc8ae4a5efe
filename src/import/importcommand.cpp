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

QString columnAs(const QString& column, const QString& name) {
    return name == column ? column : QStringLiteral("%1 → %2").arg(column, name);
}

// The kind of the new field a column became, when it is not text: " (Number)".
QString madeAs(const ImportResult& result, qsizetype column) {
    const QString& kind = result.madeAs[size_t(column)];
    return kind.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(kind);
}

// The outcome: how many records, where each column went, which values do not fit.
QString summary(const TableSource& source, const ImportPlan& plan, const ImportResult& result) {
    QStringList lines{result.records > 0 || result.refusedRows > 0
                          ? QStringLiteral("%1 imported from '%2'.")
                                .arg(result.records == 1 ? QStringLiteral("1 record was")
                                     : result.records == 0
                                         ? QStringLiteral("No record was")
                                         : QStringLiteral("%L1 records were").arg(result.records),
                                     source.label())
                          : QStringLiteral("'%1' holds no records, so none were imported; its "
                                           "columns are in the fields below.")
                                .arg(source.label())};
    QStringList matched, added, left, misfits;
    QString key;
    long misfitCount = 0;
    for (qsizetype i = 0; i < plan.columns.size(); ++i) {
        const QString& column = plan.columns[i];
        const ColumnTarget& target = plan.targets[size_t(i)];
        switch (target.kind) {
        case ColumnTarget::Kind::Field:
            matched << columnAs(column, target.field);
            break;
        case ColumnTarget::Kind::NewField:
            added << columnAs(column, plan.newNames[i]) + madeAs(result, i);
            break;
        case ColumnTarget::Kind::Skip:
            left << column;
            break;
        case ColumnTarget::Kind::RecordIds:
            if (result.keyBecameField.isEmpty()) {
                key = QStringLiteral("The values of the column %1 became the records' ids.")
                          .arg(column);
                break;
            }
            added << columnAs(column, plan.newNames[i]) + madeAs(result, i);
            key = QStringLiteral("The column %1 became the field %2: %3.")
                      .arg(column, plan.newNames[i], result.keyBecameField);
            break;
        }
        if (const long count = result.misfits[size_t(i)]) {
            misfitCount += count;
            misfits << QStringLiteral("%L1 in %2").arg(count).arg(target.field);
        }
    }
    const auto list = [&lines](const QString& title, const QStringList& names) {
        if (!names.isEmpty())
            lines << title + names.join(QStringLiteral(", ")) + QLatin1Char('.');
    };
    list(QStringLiteral("Columns into the fields there: "), matched);
    list(QStringLiteral("Columns into new fields: "), added);
    list(QStringLiteral("Columns left out: "), left);
    list(QStringLiteral("Left out, because they hold pictures or other binary data that no field "
                        "can hold: "),
         source.skippedColumns());
    if (!key.isEmpty())
        lines << key;
    if (misfitCount > 0)
        lines << QStringLiteral("%1 fit their field (not in a drop-down's list, or other than 0 "
                                "and 1 for a check box), kept as they are: %2.")
                     .arg(misfitCount == 1 ? QStringLiteral("1 value does not")
                                           : QStringLiteral("%L1 values do not").arg(misfitCount))
                     .arg(misfits.join(QStringLiteral(", ")));
    if (result.refusedRows > 0)
        lines << QStringLiteral("%1 not imported, as a value there is not of its field's kind or "
                                "breaks the field's checks; the first: %2.")
                     .arg(result.refusedRows == 1
                              ? QStringLiteral("1 row was")
                              : QStringLiteral("%L1 rows were").arg(result.refusedRows),
                          result.firstRefused);
    return lines.join(QStringLiteral("\r\n"));
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

// The table to import: the CSV file, or the table of the Access file held in database (opened
// here when it is not yet).
// The record count's own reading of an Access file runs on its thread, with no progress shown.
bool runNow(const QString&, const std::function<void()>& work, const std::function<void()>&) {
    work();
    return true;
}

std::unique_ptr<TableSource> openSource(const QString& path, const QString& table,
                                        std::unique_ptr<AccessFile>& database,
                                        const FieldRoom& room, const QString& encoding) {
    if (!isAccessFile(path))
        return std::make_unique<CsvSource>(path, room, encoding);
    if (!database)
        database = std::make_unique<AccessFile>(path, runNow);
    return database->openTable(table);
}
} // namespace

long importSource(MessageService& messages, Connection& connection, TableSource& source,
                  const LongWorkRunner& run, const ImportChooser& choose,
                  const TableSurveyor& survey, ImportResult* done) {
    ImportPlan plan;
    ImportResult result;
    try {
        plan = planImport(connection, source);
        if (choose && !choose(plan, source.label(), survey))
            return -1;
        std::atomic<bool> cancelled = false;
        const bool finished = run(
            QStringLiteral("Importing %1...").arg(source.label()),
            [&] { result = importTable(connection, source, plan, cancelled); },
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
    messages.show(Message{summary(source, plan, result), Title});
    if (done)
        *done = result;
    return result.records;
}

long importFile(MessageService& messages, Connection& connection, const QString& path,
                const QString& tableName, const LongWorkRunner& run, const ImportChooser& choose,
                const QString& encoding, ImportResult* done) {
    // The table is read through the database's handle, so it must go first.
    std::unique_ptr<AccessFile> database;
    std::unique_ptr<TableSource> source;
    QString table;
    FieldRoom room;
    try {
        room = fieldRoom(connection);
        if (!QFileInfo(path).isFile())
            throw RuntimeError(ErrorNumber::General,
                               QStringLiteral("The file '%1' cannot be found.").arg(path));
        if (isAccessFile(path)) {
            database = std::make_unique<AccessFile>(path, run);
            table = chooseTable(messages, database->tableNames(), tableName, path);
            if (table.isEmpty())
                return -1;
        }
        source = openSource(path, table, database, room, encoding);
    } catch (const RuntimeError& e) {
        tellProblem(messages, e.description());
        return -1;
    }
    const TableSurveyor survey = [path, table, room, encoding](const std::atomic<bool>& stop) {
        std::unique_ptr<AccessFile> database;
        const std::unique_ptr<TableSource> source =
            openSource(path, table, database, room, encoding);
        return surveyTable(*source, stop);
    };
    return importSource(messages, connection, *source, run, choose, survey, done);
}

LongWorkRunner windowRunner(QWidget* parent) {
    return [parent](const QString& label, const std::function<void()>& work,
                    const std::function<void()>& cancel) {
        return runLongWork(parent, label, work, cancel);
    };
}
