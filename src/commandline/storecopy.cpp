#include "commandline/storecopy.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/recordbatches.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "store/statement.h"

#include <algorithm>

namespace {
QString textOf(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// Records read and written per statement: few round trips to a server, bounded memory.
constexpr int ReadBatch = 5000;
constexpr int MaxParameters = 30000;

void refuseUnlessEmpty(Connection& to) {
    Statement records(to, Sql::CountRecords);
    const bool empty = readFieldDefinitions(to).empty() && records.step() &&
                       records.columnInt64(0) == 0 && readRecordColumns(to).size() == 1;
    if (!empty)
        throw RuntimeError(ErrorNumber::Database,
                           QStringLiteral("The %1 already holds fields or records; records are "
                                          "copied only into an empty store. Nothing was copied.")
                               .arg(to.describe()));
}

// The field rows in the order of the field list, which the target keeps as they come in.
void copyFields(Connection& from, Connection& to, const QStringList& columns) {
    for (const QString& column : columns) {
        // A field row must name its column exactly: a name the store would change is refused.
        if (const QString problem = columnNameProblem(to, column); !problem.isEmpty())
            throw RuntimeError(ErrorNumber::General,
                               QStringLiteral("The field '%1' cannot be copied to the %2. %3 "
                                              "Nothing was copied.")
                                   .arg(column, to.describe(), problem));
        to.Execute(Sql::addFieldColumn(column));
    }
    for (const FieldDefinition& field : readFieldDefinitions(from))
        to.Execute(Sql::InsertFieldRow, {field.name, field.type, field.length, field.values});
}

// Writes the rows read so far in statements of many records each.
void writeRecords(Connection& to, const QStringList& columns,
                  const std::vector<QVariantList>& rows) {
    const int perStatement = std::max(1, MaxParameters / int(columns.size()));
    for (size_t first = 0; first < rows.size(); first += size_t(perStatement)) {
        const size_t count = std::min(rows.size() - first, size_t(perStatement));
        Statement insert(to, Sql::insertRecords(columns, int(count)));
        int parameter = 1;
        for (size_t r = first; r < first + count; ++r)
            for (const QVariant& value : rows[r])
                insert.bind(parameter++, value);
        insert.run();
    }
}

// The id and every field column of each record, by name.
long copyRecords(Connection& from, Connection& to, const QStringList& fieldColumns) {
    const QStringList columns = QStringList{QStringLiteral("ID")} + fieldColumns;
    RecordBatches batches(from, fieldColumns, ReadBatch);
    long copied = 0;
    for (;;) {
        std::vector<QVariantList> rows;
        batches.readBatch([&](const BatchRecord& record) {
            QVariantList row{record.id()};
            for (int i = 0; i < fieldColumns.size(); ++i)
                row << (record.isNull(i) ? QVariant() : QVariant(textOf(record.text(i))));
            rows.push_back(std::move(row));
        });
        if (rows.empty())
            return copied;
        writeRecords(to, columns, rows);
        copied += long(rows.size());
    }
}
} // namespace

long copyStore(Connection& from, Connection& to) {
    const QStringList columns = readRecordColumns(from).mid(1);
    Transaction transaction(to);
    refuseUnlessEmpty(to);
    SearchIndex::beforeCopy(to);
    copyFields(from, to, columns);
    const long copied = copyRecords(from, to, columns);
    to.engine().continueRecordIdsAfter(from.engine().lastRecordIdGiven());
    SearchIndex::afterCopy(to);
    transaction.commit();
    to.engine().tidyAfterBulkWrite();
    return copied;
}
