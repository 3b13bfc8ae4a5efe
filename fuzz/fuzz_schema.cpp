// The schema statements quote any name and value: the column created carries exactly the
// fuzzed name, and the field row read back holds exactly the fuzzed texts.
#include "fuzzinput.h"
#include "store/schema.h"

#include <sqlite3.h>

namespace {
bool run(sqlite3* db, const QString& sql) {
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, &tail) != SQLITE_OK)
        return false;
    // One statement only: a name or value never ends it early and starts another.
    FUZZ_CHECK(tail == text.constData() + text.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

QStringList column(sqlite3* db, const char* sql, int index) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    QStringList values;
    while (sqlite3_step(st) == SQLITE_ROW)
        values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, index)),
                                    sqlite3_column_bytes(st, index));
    sqlite3_finalize(st);
    return values;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = textOf(data, size);
    // A NUL ends a statement's text; the field editor refuses such names.
    if (text.contains(QChar(0)))
        return 0;
    const QStringList parts = text.split(QLatin1Char('\x1f'));
    const QString name = parts.value(0);
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
                 "CREATE TABLE CustomTable (ID INTEGER PRIMARY KEY);"
                 "CREATE TABLE FieldControl (fieldname TEXT, FieldType TEXT, FieldLength TEXT,"
                 " FieldValues TEXT);",
                 nullptr, nullptr, nullptr);
    // The engine may refuse a name (the key's own, say), but never create another one.
    if (run(db, Sql::addFieldColumn(name)))
        FUZZ_CHECK(column(db, "SELECT name FROM pragma_table_info('CustomTable')", 0) ==
                   QStringList({QStringLiteral("ID"), name}));
    else
        FUZZ_CHECK(column(db, "SELECT name FROM pragma_table_info('CustomTable')", 0) ==
                   QStringList(QStringLiteral("ID")));

    const QString type = parts.value(1), length = parts.value(2), values = parts.value(3);
    FUZZ_CHECK(run(db, Sql::insertFieldRow(name, type, length, values)));
    const QStringList written{name, type, length, values};
    for (int i = 0; i < 4; ++i)
        FUZZ_CHECK(column(db, "SELECT * FROM FieldControl", i) == QStringList(written[i]));
    FUZZ_CHECK(run(db, Sql::updateFieldRow(name, values, type, length)));
    FUZZ_CHECK(column(db, "SELECT FieldType FROM FieldControl", 0) == QStringList(values));
    FUZZ_CHECK(run(db, Sql::deleteFieldRow(name)));
    FUZZ_CHECK(column(db, "SELECT count(*) FROM FieldControl", 0) ==
               QStringList(QStringLiteral("0")));
    sqlite3_close(db);
    return 0;
}
