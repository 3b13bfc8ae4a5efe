#include "import/importer.h"

#include "app/numbers.h"
#include "app/runtimeerror.h"
#include "fields/fieldschema.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QSet>
#include <cctype>
#include <cstring>
#include <memory>

namespace {
constexpr qint64 BadInput = ErrorNumber::General;
// As the field editor makes them.
const QString TextType = QStringLiteral("Textfield");
const QString MultilineType = QStringLiteral("Multiline Textfield");
const QString CheckboxType = QStringLiteral("Checkbox");
const QString CheckboxValues = QStringLiteral("Yes,No");
const QString FieldSize = QStringLiteral("8");
const QString IdColumn = QStringLiteral("ID");

[[noreturn]] void badInput(const QString& text) {
    throw RuntimeError(BadInput, text);
}

// What the values of one column turned out to be.
struct ColumnFacts {
    bool lineBreak = false;
    bool onlyYesNoWords = true;
    bool anyValue = false;
};

bool isYesNoWord(const SourceCell& cell) {
    if (cell.size > 5)
        return false;
    char word[6] = {};
    for (qsizetype i = 0; i < cell.size; ++i)
        word[i] = char(std::tolower(static_cast<unsigned char>(cell.data[i])));
    return !std::strcmp(word, "yes") || !std::strcmp(word, "no") || !std::strcmp(word, "true") ||
           !std::strcmp(word, "false");
}

void learn(ColumnFacts& facts, const SourceCell& cell) {
    if (!cell.data)
        return;
    facts.anyValue = true;
    if (!facts.lineBreak && (std::memchr(cell.data, '\n', size_t(cell.size)) ||
                             std::memchr(cell.data, '\r', size_t(cell.size))))
        facts.lineBreak = true;
    if (facts.onlyYesNoWords && !isYesNoWord(cell))
        facts.onlyYesNoWords = false;
}

qint64 lastRecordId(Connection& connection) {
    Statement last(connection, Sql::SelectLastRecordId);
    last.step();
    return last.columnInt64(0);
}

// Appends every row of the source in one prepared statement: target column k takes the
// value of source column sourceOf[k]. Facts, when wanted, are learnt per target column.
long appendRows(Connection& connection, TableSource& source, const QStringList& targets,
                const std::vector<int>& sourceOf, std::vector<ColumnFacts>* facts,
                const std::atomic<bool>& cancelled) {
    Statement insert(connection, Sql::insertRecord(targets));
    std::vector<SourceCell> cells;
    long rows = 0;
    while (source.next(cells)) {
        if (cancelled.load(std::memory_order_relaxed))
            throw RuntimeError(BadInput, QStringLiteral("The import was cancelled."));
        for (size_t k = 0; k < sourceOf.size(); ++k) {
            const SourceCell& cell = cells[size_t(sourceOf[k])];
            insert.bindText(int(k) + 1, cell.data, qsizetype(cell.size));
            if (facts)
                learn((*facts)[k], cell);
        }
        insert.run();
        ++rows;
    }
    return rows;
}

// The field a column becomes once its values are known.
FieldDefinition fieldFor(const QString& name, const SourceColumn& column,
                         const ColumnFacts& facts) {
    if (column.yesNo || (facts.anyValue && facts.onlyYesNoWords))
        return {name, CheckboxType, FieldSize, CheckboxValues};
    return {name, column.multiline || facts.lineBreak ? MultilineType : TextType, FieldSize, {}};
}

int findColumn(const TableSource& table, const QString& name) {
    const auto& columns = table.columns();
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString findTable(const DatabaseSource& source, const QString& name) {
    for (const QString& table : source.tableNames())
        if (table.compare(name, Qt::CaseInsensitive) == 0)
            return table;
    return QString();
}

std::vector<FieldDefinition> readDefinitions(TableSource& table) {
    const int name = findColumn(table, QStringLiteral("fieldname"));
    if (name < 0)
        badInput(QStringLiteral("The table FieldControl has no column 'fieldname', so the field "
                                "definitions cannot be read."));
    const int columns[3] = {findColumn(table, QStringLiteral("FieldType")),
                            findColumn(table, QStringLiteral("FieldLength")),
                            findColumn(table, QStringLiteral("FieldValues"))};
    std::vector<FieldDefinition> fields;
    std::vector<SourceCell> cells;
    const auto text = [&cells](int column) {
        return column < 0 || !cells[size_t(column)].data
                   ? QString()
                   : QString::fromUtf8(cells[size_t(column)].data, cells[size_t(column)].size);
    };
    while (table.next(cells))
        fields.push_back({text(name), text(columns[0]), text(columns[1]), text(columns[2])});
    return fields;
}
} // namespace

ImportPlan planImport(Connection& connection, const TableSource& source) {
    const auto& columns = source.columns();
    const std::vector<FieldDefinition> existing = readFieldDefinitions(connection);
    if (columns.empty())
        badInput(
            QStringLiteral("'%1' has no columns that could become fields.").arg(source.label()));
    const int columnLimit = connection.maxColumns();
    const qsizetype room = columnLimit - 1 - qsizetype(existing.size());
    if (qsizetype(columns.size()) > room)
        badInput(QStringLiteral("'%1' has %L2 columns, but this data file has room for only %L3 "
                                "more fields (a data file holds at most %L4).")
                     .arg(source.label())
                     .arg(columns.size())
                     .arg(std::max<qsizetype>(room, 0))
                     .arg(columnLimit - 1));
    QSet<QString> used{IdColumn.toLower()};
    for (const FieldDefinition& field : existing)
        used.insert(field.name.toLower());
    QSet<QString> seen;
    ImportPlan plan;
    for (size_t i = 0; i < columns.size(); ++i) {
        QString name = columns[i].name.trimmed();
        if (name.isEmpty())
            badInput(QStringLiteral("The header of '%1' gives no name for column %2: every "
                                    "column needs a name to become a field.")
                         .arg(source.label())
                         .arg(i + 1));
        if (isNumeric(name))
            name += QLatin1Char('_');
        if (const QString problem = columnNameProblem(name); !problem.isEmpty())
            badInput(QStringLiteral("Column %1 of '%2' cannot become a field. %3")
                         .arg(i + 1)
                         .arg(source.label(), problem));
        if (seen.contains(name.toLower()))
            badInput(QStringLiteral("The header of '%1' names the column '%2' twice (capitals "
                                    "ignored): each field needs a name of its own.")
                         .arg(source.label(), name));
        seen.insert(name.toLower());
        if (used.contains(name.toLower()))
            plan.clashes << name;
        plan.fieldNames.push_back(name);
    }
    // A clashing name gets the first "_2", "_3"... that no field and no other column has.
    for (QString& name : plan.fieldNames) {
        if (!plan.clashes.contains(name))
            continue;
        QString free;
        for (int n = 2;
             free.isEmpty() || used.contains(free.toLower()) || seen.contains(free.toLower()); ++n)
            free = name + QStringLiteral("_%1").arg(n);
        used.insert(free.toLower());
        plan.renamed << free;
        name = free;
    }
    return plan;
}

long importTable(Connection& connection, TableSource& source, const ImportPlan& plan,
                 const std::atomic<bool>& cancelled) {
    const auto& columns = source.columns();
    QStringList targets;
    std::vector<int> sourceOf;
    for (size_t i = 0; i < plan.fieldNames.size(); ++i) {
        targets << plan.fieldNames[i];
        sourceOf.push_back(int(i));
    }
    Transaction transaction(connection);
    const qint64 lastId = lastRecordId(connection);
    for (const QString& name : targets)
        addFieldWithinTransaction(connection, {name, TextType, FieldSize, QString()});
    std::vector<ColumnFacts> facts(targets.size());
    const long rows = appendRows(connection, source, targets, sourceOf, &facts, cancelled);
    if (rows == 0)
        badInput(
            QStringLiteral("'%1' has no records: there is nothing to import.").arg(source.label()));
    for (size_t i = 0; i < facts.size(); ++i) {
        const FieldDefinition field = fieldFor(targets[qsizetype(i)], columns[i], facts[i]);
        if (field.type == TextType)
            continue;
        if (field.type == CheckboxType && !columns[i].yesNo)
            connection.Execute(Sql::yesNoWordsAsNumbers(field.name), {lastId});
        updateFieldDefinition(connection, field);
    }
    transaction.commit();
    return rows;
}

bool holdsDataFileTables(const DatabaseSource& source) {
    return !findTable(source, QStringLiteral("FieldControl")).isEmpty() &&
           !findTable(source, Sql::CustomTableName).isEmpty();
}

long importFieldsAndRecords(Connection& connection, DatabaseSource& source,
                            const std::atomic<bool>& cancelled) {
    const std::vector<FieldDefinition> fields =
        readDefinitions(*source.openTable(findTable(source, QStringLiteral("FieldControl"))));
    const auto records = source.openTable(findTable(source, Sql::CustomTableName));
    QStringList targets;
    std::vector<int> sourceOf;
    for (const QString& name : QStringList{IdColumn} + [&] {
             QStringList names;
             for (const FieldDefinition& field : fields)
                 names << field.name;
             return names;
         }()) {
        // A field whose column is missing stays empty.
        if (const int column = findColumn(*records, name); column >= 0) {
            targets << name;
            sourceOf.push_back(column);
        }
    }
    Transaction transaction(connection);
    for (const FieldDefinition& field : fields)
        addFieldWithinTransaction(connection, field);
    const long rows = appendRows(connection, *records, targets, sourceOf, nullptr, cancelled);
    transaction.commit();
    return rows;
}
