#include "commandline/storecopy.h"

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fieldchecks.h"
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
    for (const FieldDefinition& field : readFieldDefinitions(from)) {
        to.Execute(Sql::InsertFieldRow, {field.name, field.type, field.length, field.values});
        writeFieldChecks(to, field.name, field.checks);
    }
}

// Writes the rows read so far into the table in statements of many rows each.
void writeRows(Connection& to, const QString& table, const QStringList& columns,
               const std::vector<QVariantList>& rows) {
    const int perStatement = std::max(1, MaxParameters / int(columns.size()));
    for (size_t first = 0; first < rows.size(); first += size_t(perStatement)) {
        const size_t count = std::min(rows.size() - first, size_t(perStatement));
        Statement insert(to, Sql::insertRows(table, columns, int(count)));
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
        writeRows(to, QStringLiteral("\"CustomTable\""), columns, rows);
        copied += long(rows.size());
    }
}
// The rows a select reads, written into the table's columns a batch at a time.
void copyRows(Connection& from, Connection& to, const QString& select, const QString& table,
              const QStringList& columns) {
    Statement read(from, select);
    for (bool more = true; more;) {
        std::vector<QVariantList> rows;
        while (rows.size() < size_t(ReadBatch) && (more = read.step())) {
            QVariantList row;
            for (int i = 0; i < columns.size(); ++i)
                row << read.column(i);
            rows.push_back(std::move(row));
        }
        writeRows(to, table, columns, rows);
    }
}

// The bin in the order of its entries, and the fields kept with their values, each entry under
// a key of the target's own; the times as the engines write them.
void copyBinAndKeptFields(Connection& from, Connection& to) {
    if (TableExists(from, Sql::BinTableName)) {
        to.engine().makeBinIfMissing();
        copyRows(from, to,
                 QStringLiteral("SELECT \"ID\", %1, \"Record\" FROM \"DeletedRecords\" ORDER BY "
                                "\"BinKey\"")
                     .arg(from.engine().timeAsText(QStringLiteral("\"DeletedAt\""))),
                 QStringLiteral("\"DeletedRecords\""),
                 {QStringLiteral("ID"), QStringLiteral("DeletedAt"), QStringLiteral("Record")});
    }
    if (!TableExists(from, QStringLiteral("KeptFields")))
        return;
    to.engine().makeKeptFieldsIfMissing();
    Statement fields(from, QStringLiteral("SELECT \"FieldKey\", \"fieldname\", %1, \"Definition\" "
                                          "FROM \"KeptFields\" ORDER BY \"FieldKey\"")
                               .arg(from.engine().timeAsText(QStringLiteral("\"KeptAt\""))));
    while (fields.step()) {
        Statement keep(to,
                       QStringLiteral("INSERT INTO \"KeptFields\" (\"fieldname\", \"KeptAt\", "
                                      "\"Definition\") VALUES (?, ?, ?) RETURNING \"FieldKey\""));
        keep.bindAll({fields.column(1), fields.column(2), fields.column(3)});
        keep.step();
        const qint64 key = keep.columnInt64(0);
        keep.run();
        copyRows(from, to,
                 QStringLiteral("SELECT %1, \"ID\", \"Value\", \"Now\" FROM \"KeptFieldValues\" "
                                "WHERE \"FieldKey\" = %2 ORDER BY \"ID\"")
                     .arg(key)
                     .arg(fields.columnInt64(0)),
                 QStringLiteral("\"KeptFieldValues\""),
                 {QStringLiteral("FieldKey"), QStringLiteral("ID"), QStringLiteral("Value"),
                  QStringLiteral("Now")});
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
    copyBinAndKeptFields(from, to);
    to.engine().continueRecordIdsAfter(from.engine().lastRecordIdGiven());
    SearchIndex::afterCopy(to);
    transaction.commit();
    to.engine().tidyAfterBulkWrite();
    return copied;
}
