#include "import/importer.h"

#include "app/numbers.h"
#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/fieldvalue.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QHash>
#include <QSet>
#include <cctype>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_set>

namespace {
constexpr qint64 BadInput = ErrorNumber::General;
// As the field editor makes them.
const QString TextType = QStringLiteral("Textfield");
const QString MultilineType = QStringLiteral("Multiline Textfield");
const QString CheckboxType = QStringLiteral("Checkbox");
const QString DropdownType = QStringLiteral("Dropdown");
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
    bool onlyNumbers = true; // each as the canonical form or the locale shows it, nothing lost
    bool onlyDates = true;
};

// The value reads as the kind and is written as the kind's canonical form or as the locale
// shows it, so that nothing written in it ("00501", "1.50") is lost.
bool readsWhole(FieldKind kind, const QString& value) {
    const ParsedValue parsed = parseFieldValue(kind, value, QLocale());
    return parsed.ok() && (parsed.canonical == value ||
                           displayFieldValue(kind, parsed.canonical, QLocale()) == value);
}

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
    if (!facts.onlyNumbers && !facts.onlyDates)
        return;
    const QString value = QString::fromUtf8(cell.data, cell.size);
    if (facts.onlyNumbers && !readsWhole(FieldKind::Number, value))
        facts.onlyNumbers = false;
    if (facts.onlyDates && !readsWhole(FieldKind::Date, value))
        facts.onlyDates = false;
}

qint64 lastRecordId(Connection& connection) {
    Statement last(connection, Sql::SelectLastRecordId);
    last.step();
    return last.columnInt64(0);
}

bool holdsRecords(Connection& connection) {
    Statement range(connection, Sql::CustomTableIdRange);
    return range.step() && !range.isNull(0);
}

// The id a value gives: a whole number, written as the id column gives it back.
std::optional<qint64> wholeNumber(const SourceCell& cell) {
    if (!cell.data || cell.size == 0)
        return std::nullopt;
    const char* end = cell.data + cell.size;
    const bool negative = cell.data[0] == '-';
    const char* digits = cell.data + (negative ? 1 : 0);
    if (digits == end || (*digits == '0' && (end - digits > 1 || negative)))
        return std::nullopt;
    qint64 value = 0;
    const auto [stop, error] = std::from_chars(cell.data, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// What a value must be to fit the field it goes into; missing and empty values fit any.
struct Fit {
    enum class Kind { Any, Checkbox, Dropdown } kind = Kind::Any;
    QSet<QByteArray> items;
    bool fits(const SourceCell& cell) const {
        if (kind == Kind::Any || cell.size == 0)
            return true;
        if (kind == Kind::Dropdown) // as the drop-down finds a stored value among its items
            return items.contains(QByteArray::fromRawData(cell.data, cell.size));
        return isYesNoWord(cell) || (cell.size == 1 && (*cell.data == '0' || *cell.data == '1'));
    }
};

Fit fitOf(const std::vector<FieldDefinition>& fields, const QString& name) {
    for (const FieldDefinition& field : fields) {
        if (field.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (field.type.compare(CheckboxType, Qt::CaseInsensitive) == 0)
            return {Fit::Kind::Checkbox, {}};
        if (field.type.compare(DropdownType, Qt::CaseInsensitive) != 0)
            return {};
        Fit fit{Fit::Kind::Dropdown, {}};
        for (const QString& item : decodeValues(field.values))
            fit.items.insert(item.toUtf8());
        return fit;
    }
    return {};
}

// What a field there asks of the values that go into it: its kind's form and its checks.
struct Rules {
    FieldKind kind = FieldKind::Textfield;
    FieldChecks checks;
    bool any() const { return hasCanonicalForm(kind) || checks.any(); }
};

Rules rulesOf(const std::vector<FieldDefinition>& fields, const QString& name) {
    for (const FieldDefinition& field : fields)
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return {fieldKindOf(field.type), field.checks};
    return {};
}

// The columns an import writes: column k of the statement takes source column sourceOf[k].
struct Targets {
    QStringList names;
    std::vector<int> sourceOf;
    std::vector<Fit> fits;
    std::vector<Rules> rules;
    std::vector<bool> added; // a new field, whose kind its values decide
    void add(const QString& name, size_t source, Fit fit, bool isNew, Rules rule = {}) {
        names << name;
        sourceOf.push_back(int(source));
        fits.push_back(std::move(fit));
        rules.push_back(std::move(rule));
        added.push_back(isNew);
    }
};

// The canonical forms of a row's values for the fields with rules, into stored[k]; what is
// wrong with the first value that breaks them (column k), or the empty text.
QString applyRules(const Targets& targets, const std::vector<SourceCell>& cells,
                   std::vector<std::optional<QByteArray>>& stored, size_t& wrongColumn) {
    for (size_t k = 0; k < targets.sourceOf.size(); ++k) {
        stored[k].reset();
        const Rules& rules = targets.rules[k];
        if (!rules.any())
            continue;
        const SourceCell& cell = cells[size_t(targets.sourceOf[k])];
        QString value = cell.data ? QString::fromUtf8(cell.data, cell.size) : QString();
        if (hasCanonicalForm(rules.kind) && cell.size > 0) {
            const ParsedValue parsed = parseFieldValue(rules.kind, value, QLocale());
            if (parsed.ok() && parsed.canonical != value)
                stored[k] = parsed.canonical.toUtf8();
            value = parsed.ok() ? parsed.canonical : value;
            if (!parsed.ok()) {
                wrongColumn = k;
                return parsed.problem;
            }
        }
        if (QString problem = checkProblem(rules.kind, rules.checks, value, QLocale());
            !problem.isEmpty()) {
            wrongColumn = k;
            return problem;
        }
    }
    return QString();
}

void checkRoom(Connection& connection, const QString& label, const ImportPlan& plan,
               size_t fieldsThere) {
    const auto adding =
        std::count_if(plan.targets.begin(), plan.targets.end(), [](const ColumnTarget& t) {
            return t.kind == ColumnTarget::Kind::NewField ||
                   t.kind == ColumnTarget::Kind::RecordIds;
        });
    const int columnLimit = connection.maxColumns();
    const qsizetype room = columnLimit - 1 - qsizetype(fieldsThere);
    if (adding > room)
        badInput(QStringLiteral("'%1' has %L2 columns that would become new fields, but this "
                                "data file has room for only %L3 more fields (a data file holds "
                                "at most %L4).")
                     .arg(label)
                     .arg(adding)
                     .arg(std::max<qsizetype>(room, 0))
                     .arg(columnLimit - 1));
}

// Appends every row of the source in one prepared statement: target column k takes the
// value of source column sourceOf[k].
long appendRows(Connection& connection, TableSource& source, const QStringList& targets,
                const std::vector<int>& sourceOf, const std::atomic<bool>& cancelled) {
    Statement insert(connection, Sql::insertRecord(targets));
    std::vector<SourceCell> cells;
    long rows = 0;
    while (source.next(cells)) {
        if (cancelled.load(std::memory_order_relaxed))
            throw RuntimeError(BadInput, QStringLiteral("The import was cancelled."));
        for (size_t k = 0; k < sourceOf.size(); ++k) {
            const SourceCell& cell = cells[size_t(sourceOf[k])];
            insert.bindText(int(k) + 1, cell.data, qsizetype(cell.size));
        }
        insert.run();
        ++rows;
    }
    return rows;
}

// The field a column becomes once its values are known; asText keeps one that would be a Number,
// Currency or Date field text.
FieldDefinition fieldFor(const QString& name, const SourceColumn& column, const ColumnFacts& facts,
                         bool asText) {
    if (column.typed && hasCanonicalForm(column.kind) && !asText)
        return {name, typeWordOf(column.kind), FieldSize, QString()};
    if (column.typed)
        return {name,
                column.yesNo       ? CheckboxType
                : column.multiline ? MultilineType
                                   : TextType,
                FieldSize, column.yesNo ? CheckboxValues : QString()};
    if (facts.anyValue && facts.onlyYesNoWords)
        return {name, CheckboxType, FieldSize, CheckboxValues};
    if (!asText && facts.anyValue && (facts.onlyNumbers || facts.onlyDates))
        return {name,
                typeWordOf(facts.onlyNumbers ? FieldKind::Number : FieldKind::Date),
                FieldSize,
                {}};
    return {name, facts.lineBreak ? MultilineType : TextType, FieldSize, {}};
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

FieldRoom fieldRoom(Connection& connection) {
    const qsizetype most = connection.maxColumns() - 1; // the id takes one column
    return {most - qsizetype(readFieldDefinitions(connection).size()), most};
}

void checkFieldRoom(const FieldRoom& room, const QString& label, qsizetype columns) {
    if (columns > room.left)
        badInput(QStringLiteral("'%1' has %L2 columns, but this data file has room for only %L3 "
                                "more fields (a data file holds at most %L4).")
                     .arg(label)
                     .arg(columns)
                     .arg(std::max<qsizetype>(room.left, 0))
                     .arg(room.most));
}

ImportPlan planImport(Connection& connection, const TableSource& source) {
    const auto& columns = source.columns();
    ImportPlan plan;
    plan.fields = readFieldDefinitions(connection);
    plan.holdsRecords = holdsRecords(connection);
    plan.howRead = source.howRead();
    if (columns.empty())
        badInput(
            QStringLiteral("'%1' has no columns that could become fields.").arg(source.label()));
    QHash<QString, QString> fieldNamed; // by the name in small letters
    for (const FieldDefinition& field : plan.fields)
        fieldNamed.insert(field.name.trimmed().toLower(), field.name);
    QSet<QString> used{IdColumn.toLower()};
    for (auto it = fieldNamed.cbegin(); it != fieldNamed.cend(); ++it)
        used.insert(it.key());
    QSet<QString> seen;
    for (size_t i = 0; i < columns.size(); ++i) {
        QString name = columns[i].name.trimmed();
        if (name.isEmpty())
            badInput(QStringLiteral("The header of '%1' gives no name for column %2: every "
                                    "column needs a name to become a field.")
                         .arg(source.label())
                         .arg(i + 1));
        if (isNumeric(name))
            name += QLatin1Char('_');
        if (seen.contains(name.toLower()))
            badInput(QStringLiteral("The header of '%1' names the column '%2' twice (capitals "
                                    "ignored): each field needs a name of its own.")
                         .arg(source.label(), name));
        seen.insert(name.toLower());
        plan.columns << name;
    }
    for (const QString& name : plan.columns) {
        const QString key = name.toLower();
        ColumnTarget target;
        if (fieldNamed.contains(key))
            target = {ColumnTarget::Kind::Field, fieldNamed.value(key)};
        else if (key == IdColumn.toLower())
            target.kind = ColumnTarget::Kind::RecordIds;
        plan.targets.push_back(target);
        // As a new field, a name already used gets the first "_2", "_3"... that no field and
        // no other column has.
        QString free = name;
        for (int n = 2;
             used.contains(free.toLower()) || (free != name && seen.contains(free.toLower())); ++n)
            free = name + QStringLiteral("_%1").arg(n);
        used.insert(free.toLower());
        plan.newNames << free;
    }
    plan.asText.assign(columns.size(), false);
    checkRoom(connection, source.label(), plan, plan.fields.size());
    // Checked as the new fields will be named, free suffixes included.
    for (qsizetype i = 0; i < plan.columns.size(); ++i)
        if (plan.targets[size_t(i)].kind == ColumnTarget::Kind::NewField)
            if (const QString problem = columnNameProblem(connection, plan.newNames[i]);
                !problem.isEmpty())
                badInput(QStringLiteral("Column %1 of '%2' cannot become a field. %3")
                             .arg(i + 1)
                             .arg(source.label(), problem));
    return plan;
}

TableSurvey surveyTable(TableSource& source, const std::atomic<bool>& stop) {
    const auto& columns = source.columns();
    std::vector<ColumnFacts> facts(columns.size());
    std::vector<SourceCell> cells;
    TableSurvey survey;
    long rows = 0;
    while (!stop && source.next(cells)) {
        ++rows;
        for (size_t i = 0; i < columns.size(); ++i)
            if (!columns[i].typed)
                learn(facts[i], cells[i]);
    }
    if (stop)
        return survey;
    survey.records = rows;
    for (size_t i = 0; i < columns.size(); ++i)
        survey.kinds.push_back(fieldKindOf(fieldFor({}, columns[i], facts[i], false).type));
    return survey;
}

void importClashesAsNewFields(ImportPlan& plan) {
    for (ColumnTarget& target : plan.targets)
        if (target.kind == ColumnTarget::Kind::Field)
            target = {ColumnTarget::Kind::NewField, QString()};
}

namespace {
// The new fields, the columns the statement writes, and the key column's place among them.
Targets prepareTargets(Connection& connection, const ImportPlan& plan, bool intoEmpty,
                       ImportResult& result, int& key) {
    const std::vector<FieldDefinition> fields = readFieldDefinitions(connection);
    Targets targets;
    std::vector<FieldDefinition> added;
    for (size_t i = 0; i < plan.targets.size(); ++i) {
        const QString& newName = plan.newNames[qsizetype(i)];
        switch (plan.targets[i].kind) {
        case ColumnTarget::Kind::Skip:
            break;
        case ColumnTarget::Kind::Field:
            targets.add(plan.targets[i].field, i, fitOf(fields, plan.targets[i].field), false,
                        rulesOf(fields, plan.targets[i].field));
            break;
        case ColumnTarget::Kind::RecordIds:
            if (intoEmpty) {
                key = int(targets.names.size());
                targets.add(IdColumn, i, {}, false);
                break;
            }
            result.keyBecameField = QStringLiteral("the data file already holds records");
            [[fallthrough]];
        case ColumnTarget::Kind::NewField:
            added.push_back({newName, TextType, FieldSize, QString()});
            targets.add(newName, i, {}, true);
            break;
        }
    }
    // All at once: the search index's triggers are made again once, not once per field.
    addFieldsWithinTransaction(connection, added);
    return targets;
}

// The ids a key column gives while its values are unique whole numbers.
class KeyIds {
  public:
    // False when the value cannot be the next record's id.
    bool take(const SourceCell& cell) {
        const std::optional<qint64> id = wholeNumber(cell);
        if (!id || !m_ids.insert(*id).second)
            return false;
        highest = std::max(highest, *id);
        return true;
    }
    qint64 highest = std::numeric_limits<qint64>::min();

  private:
    std::unordered_set<qint64> m_ids;
};

// After the rows: what the values of a new field made it, and Yes/No words into check boxes
// stored as they store them, in the records appended after the id given.
void finishFields(Connection& connection, const TableSource& source, const Targets& targets,
                  const std::vector<ColumnFacts>& facts, qint64 appendedAfter,
                  const ImportPlan& plan, ImportResult& result) {
    for (size_t k = 0; k < facts.size(); ++k) {
        const QString& name = targets.names[qsizetype(k)];
        const size_t sourceColumn = size_t(targets.sourceOf[k]);
        const SourceColumn& column = source.columns()[sourceColumn];
        const FieldDefinition field =
            targets.added[k]
                ? fieldFor(name, column, facts[k],
                           sourceColumn < plan.asText.size() && plan.asText[sourceColumn])
                : FieldDefinition{};
        if (targets.fits[k].kind == Fit::Kind::Checkbox ||
            (field.type == CheckboxType && !column.yesNo))
            connection.Execute(Sql::yesNoWordsAsNumbers(name), {appendedAfter});
        if (!targets.added[k] || field.type == TextType)
            continue;
        // Money with more than two decimals is kept as a number; what is neither stays text.
        FieldDefinition typed = field;
        for (;;) {
            try {
                updateFieldWithinTransaction(connection, typed);
                if (hasCanonicalForm(fieldKindOf(typed.type)))
                    result.madeAs[sourceColumn] = typed.type;
                break;
            } catch (const ValuesNotOfKind&) {
                if (typed.type != typeWordOf(FieldKind::Currency))
                    break;
                typed.type = typeWordOf(FieldKind::Number);
            }
        }
    }
}
} // namespace

namespace {
const QString ReturningId = QStringLiteral(" RETURNING \"ID\"");

void noteId(std::vector<std::pair<qint64, qint64>>& runs, qint64 id) {
    if (!runs.empty() && runs.back().second + 1 == id)
        runs.back().second = id;
    else
        runs.emplace_back(id, id);
}
} // namespace

ImportResult importTable(Connection& connection, TableSource& source, const ImportPlan& plan,
                         const std::atomic<bool>& cancelled) {
    Transaction transaction(connection);
    checkRoom(connection, source.label(), plan, readFieldDefinitions(connection).size());
    // Into a file without records every record is this import's, whatever id it keeps.
    const bool intoEmpty = !holdsRecords(connection);
    const qint64 appendedAfter =
        intoEmpty ? std::numeric_limits<qint64>::min() : lastRecordId(connection);
    ImportResult result;
    result.misfits.assign(plan.targets.size(), 0);
    result.madeAs.resize(plan.targets.size());
    int key = -1;
    Targets targets = prepareTargets(connection, plan, intoEmpty, result, key);
    std::optional<Statement> insert;
    insert.emplace(connection, Sql::insertRecord(targets.names) + ReturningId);
    KeyIds ids;
    // The key column becomes its new field after all, holding the ids its rows already got;
    // the records after them get ids above those.
    const auto keyBecomesField = [&] {
        const QString name = plan.newNames[targets.sourceOf[size_t(key)]];
        result.keyBecameField = QStringLiteral("its values are not unique whole numbers");
        insert.reset();
        addFieldsWithinTransaction(connection, {{name, TextType, FieldSize, QString()}});
        if (result.records > 0) {
            connection.Execute(Sql::copyIdsInto(name));
            connection.engine().continueRecordIdsAfter(ids.highest);
        }
        targets.names[key] = name;
        targets.added[size_t(key)] = true;
        insert.emplace(connection, Sql::insertRecord(targets.names) + ReturningId);
        key = -1;
    };
    std::vector<ColumnFacts> facts(size_t(targets.names.size()));
    std::vector<SourceCell> cells;
    std::vector<std::optional<QByteArray>> stored(targets.sourceOf.size());
    long row = 0;
    while (source.next(cells)) {
        if (cancelled.load(std::memory_order_relaxed))
            throw RuntimeError(BadInput, QStringLiteral("The import was cancelled."));
        ++row;
        size_t wrong = 0;
        if (const QString problem = applyRules(targets, cells, stored, wrong); !problem.isEmpty()) {
            if (result.refusedRows++ == 0) {
                const SourceCell& cell = cells[size_t(targets.sourceOf[wrong])];
                result.firstRefused =
                    QStringLiteral("row %L1, column %2, \"%3\" %4")
                        .arg(row)
                        .arg(plan.columns[targets.sourceOf[wrong]],
                             QString::fromUtf8(cell.data, cell.size).left(100), problem);
            }
            continue;
        }
        if (key >= 0 && !ids.take(cells[size_t(targets.sourceOf[size_t(key)])]))
            keyBecomesField();
        for (size_t k = 0; k < targets.sourceOf.size(); ++k) {
            const SourceCell& cell = cells[size_t(targets.sourceOf[k])];
            if (stored[k])
                insert->bindText(int(k) + 1, stored[k]->constData(), stored[k]->size());
            else
                insert->bindText(int(k) + 1, cell.data, qsizetype(cell.size));
            learn(facts[k], cell);
            if (!targets.fits[k].fits(cell))
                ++result.misfits[size_t(targets.sourceOf[k])];
        }
        insert->step();
        noteId(result.idRuns, insert->columnInt64(0));
        insert->run();
        ++result.records;
    }
    if (key >= 0 && result.records > 0)
        connection.engine().continueRecordIdsAfter(ids.highest);
    finishFields(connection, source, targets, facts, appendedAfter, plan, result);
    for (qsizetype k = 0; k < targets.names.size(); ++k)
        if (targets.added[size_t(k)])
            result.fieldsAdded << targets.names[k];
    transaction.commit();
    return result;
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
    addFieldsWithinTransaction(connection, fields);
    const long rows = appendRows(connection, *records, targets, sourceOf, cancelled);
    transaction.commit();
    return rows;
}
