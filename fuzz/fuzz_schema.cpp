// The schema statements quote any name: the column created carries exactly the fuzzed name, and
// dropping it removes that column only.
#include "fuzzinput.h"
#include "store/schema.h"

#include <sqlite3.h>

namespace {
sqlite3* db = nullptr;

// Runs one statement and returns its rows' first columns joined by '\n'; false when refused.
bool run(const QString& sql, QString* rows = nullptr) {
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, &tail) != SQLITE_OK)
        return false;
    // One statement only: a name or value never ends it early and starts another.
    FUZZ_CHECK(tail == text.constData() + text.size());
    QStringList values;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                    sqlite3_column_bytes(st, 0));
    sqlite3_finalize(st);
    if (rows)
        *rows = values.join(QLatin1Char('\n'));
    return rc == SQLITE_DONE;
}

QString rowsOf(const char* sql) {
    QString rows;
    run(QString::fromLatin1(sql), &rows);
    return rows;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList parts = textOf(data, size).split(QLatin1Char('\x1f'));
    const QString name = parts.value(0);
    // A NUL ends a statement's text; the field editor refuses such names.
    if (parts.join(QString()).contains(QChar(0)))
        return 0;
    sqlite3_open(":memory:", &db);
    run("CREATE TABLE CustomTable (ID INTEGER PRIMARY KEY)");
    run("CREATE TABLE FieldControl (fieldname, FieldType, FieldLength, FieldValues)");
    // The engine may refuse a name (the key's own, say), but never create another one.
    const bool added = run(Sql::addFieldColumn(name));
    FUZZ_CHECK(rowsOf("SELECT name FROM pragma_table_info('CustomTable')") ==
               (added ? QStringLiteral("ID\n") + name : QStringLiteral("ID")));
    // Dropping it again names the same column, and only that one.
    FUZZ_CHECK(!added || run(Sql::dropFieldColumn(name)));
    FUZZ_CHECK(rowsOf("SELECT name FROM pragma_table_info('CustomTable')") == QStringLiteral("ID"));
    sqlite3_close(db);
    return 0;
}
