#include "store/schema.h"

#include "store/textmatch.h"

#include <QCryptographicHash>

QString Sql::quoteName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Sql::quoteText(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Field columns hold text of any length, and as text, so "007" stays "007".
QString Sql::addFieldColumn(const QString& name) {
    return QStringLiteral("ALTER TABLE \"CustomTable\" ADD COLUMN ") + quoteName(name) +
           QStringLiteral(" TEXT");
}

QString Sql::insertRecord(const QStringList& columns) {
    return insertRecords(columns, 1);
}

QString Sql::insertRecords(const QStringList& columns, int records) {
    QStringList names;
    for (const QString& column : columns)
        names << quoteName(column);
    const QString record = QLatin1Char('(') +
                           QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')) +
                           QLatin1Char(')');
    return QStringLiteral("insert into \"CustomTable\" (") + names.join(QLatin1Char(',')) +
           QStringLiteral(") values ") + QStringList(records, record).join(QLatin1Char(','));
}

QString Sql::updateRecordIfUnchanged(const QStringList& columns) {
    QStringList sets, checks;
    for (const QString& column : columns) {
        sets << quoteName(column) + QStringLiteral(" = ?");
        checks << quoteName(column) + QStringLiteral(" IS NOT DISTINCT FROM ?");
    }
    return QStringLiteral("UPDATE \"CustomTable\" SET ") + sets.join(QStringLiteral(", ")) +
           QStringLiteral(" WHERE \"ID\" = ? AND ") + checks.join(QStringLiteral(" AND "));
}

QString Sql::selectBinEntries(const QString& timeAsText) {
    return QStringLiteral("SELECT \"BinKey\", \"ID\", ") + timeAsText +
           QStringLiteral(", \"Record\" FROM \"DeletedRecords\" WHERE \"BinKey\" < ? ORDER BY "
                          "\"BinKey\" DESC LIMIT ?");
}

QString Sql::selectFieldRows(const QString& order) {
    return QStringLiteral("select \"fieldname\", \"FieldType\", \"FieldLength\", \"FieldValues\" "
                          "from \"FieldControl\" order by ") +
           order;
}

QString Sql::selectRecordBatch(const QStringList& columnsOrValues, bool afterId) {
    QString list = QStringLiteral("\"ID\"");
    for (const QString& column : columnsOrValues)
        list += QLatin1Char(',') + column;
    return QStringLiteral("SELECT ") + list + QStringLiteral(" FROM \"CustomTable\"") +
           (afterId ? QStringLiteral(" WHERE \"ID\" > ?2") : QString()) +
           QStringLiteral(" ORDER BY \"ID\" LIMIT ?1");
}

QString Sql::selectTableIds(const QStringList& tests, const QStringList& orderTerms) {
    return QStringLiteral("SELECT \"ID\" FROM \"CustomTable\"") +
           (tests.isEmpty() ? QString()
                            : QStringLiteral(" WHERE ") + tests.join(QStringLiteral(" AND "))) +
           QStringLiteral(" ORDER BY ") +
           (orderTerms + QStringList{QStringLiteral("\"ID\"")}).join(QStringLiteral(", "));
}

QString Sql::yesNoWordsAsNumbers(const QString& column) {
    const QString name = quoteName(column);
    return QStringLiteral("update \"CustomTable\" set %1 = case when lower(trim(%1)) in "
                          "('yes','true') then '1' when lower(trim(%1)) in ('no','false') then '0' "
                          "else %1 end where \"ID\" > ?")
        .arg(name);
}

QString Sql::copyIdsInto(const QString& column) {
    return QStringLiteral("update \"CustomTable\" set %1 = cast(\"ID\" as text)")
        .arg(quoteName(column));
}

QString Sql::dropFieldColumn(const QString& name) {
    return QStringLiteral("ALTER TABLE \"CustomTable\" DROP COLUMN ") + quoteName(name);
}

namespace {
QString anyColumnContains(const QStringList& columns, const QString& text) {
    const QString pattern = Sql::quoteText(containsPattern(text));
    const QString escape = Sql::quoteText(QString(ContainsEscape));
    QStringList tests;
    for (const QString& column : columns)
        tests << Sql::quoteName(column) + QStringLiteral(" like ") + pattern +
                     QStringLiteral(" escape ") + escape;
    return QLatin1Char('(') + tests.join(QStringLiteral(" or ")) + QLatin1Char(')');
}

// A record's document: every value behind two unit separators, NULLs left out, so that each
// three-character piece of it comes from one value only. Deleting a document with a field
// less (after the field's column was dropped) then leaves only that field's pieces behind,
// which can only add candidates; a new field, NULL in every record, changes no document.
//
// The engine refuses an expression nested deeper than 1,000, and each || of a chain nests one
// level deeper: the pieces are joined in parenthesised groups (groups of groups when there are
// many), so a document of 2,000 values nests about a hundred deep and reads the same.
QString searchDocument(const QString& row, const QStringList& columns) {
    constexpr qsizetype PiecesPerGroup = 64;
    QStringList pieces;
    for (const QString& column : columns)
        pieces << QStringLiteral("coalesce(char(31, 31) || ") + row + Sql::quoteName(column) +
                      QStringLiteral(", '')");
    pieces << QStringLiteral("char(31, 31)");
    while (pieces.size() > PiecesPerGroup) {
        QStringList groups;
        for (qsizetype i = 0; i < pieces.size(); i += PiecesPerGroup)
            groups << QLatin1Char('(') +
                          pieces.mid(i, PiecesPerGroup).join(QStringLiteral(" || ")) +
                          QLatin1Char(')');
        pieces = groups;
    }
    return pieces.join(QStringLiteral(" || "));
}

QString indexDocument(const QString& row, const QStringList& columns) {
    return QStringLiteral("INSERT INTO SearchIndex (rowid, doc) VALUES (") + row +
           QStringLiteral("ID, ") + searchDocument(row, columns) + QStringLiteral(");");
}

QString unindexDocument(const QString& row, const QStringList& columns) {
    return QStringLiteral("INSERT INTO SearchIndex (SearchIndex, rowid, doc) VALUES ('delete', ") +
           row + QStringLiteral("ID, ") + searchDocument(row, columns) + QStringLiteral(");");
}

const QStringList SearchIndexTriggers = {QStringLiteral("SearchIndexInsert"),
                                         QStringLiteral("SearchIndexDelete"),
                                         QStringLiteral("SearchIndexUpdate")};
} // namespace

QString Sql::searchCustomTable(const QStringList& columns, const QString& text) {
    return QStringLiteral("SELECT ID FROM CustomTable WHERE ID BETWEEN ?1 AND ?2 AND ") +
           anyColumnContains(columns, text) + QStringLiteral(" ORDER BY ID");
}

QString Sql::searchIndexCandidates(const QStringList& columns, const QString& text) {
    return QStringLiteral("SELECT ID FROM CustomTable WHERE ID IN (SELECT rowid FROM "
                          "SearchIndex WHERE SearchIndex MATCH ?1) AND ") +
           anyColumnContains(columns, text) + QStringLiteral(" ORDER BY ID");
}

// Trigrams of the values as stored (no folding: the query lists the case variants), without
// positions and without a copy of the text: a few bytes per distinct trigram of a record.
QString Sql::createSearchIndex() {
    return QStringLiteral("CREATE VIRTUAL TABLE SearchIndex USING fts5(doc, tokenize = 'trigram "
                          "case_sensitive 1', detail = none, content = '', columnsize = 0)");
}

QString Sql::fillSearchIndex(const QStringList& columns) {
    return QStringLiteral("INSERT INTO SearchIndex (rowid, doc) SELECT ID, ") +
           searchDocument(QString(), columns) + QStringLiteral(" FROM CustomTable");
}

QStringList Sql::createSearchIndexTriggers(const QStringList& columns) {
    const QString after = QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON CustomTable BEGIN %3 END");
    return {after.arg(SearchIndexTriggers[0], QStringLiteral("INSERT"),
                      indexDocument(QStringLiteral("new."), columns)),
            after.arg(SearchIndexTriggers[1], QStringLiteral("DELETE"),
                      unindexDocument(QStringLiteral("old."), columns)),
            after.arg(SearchIndexTriggers[2], QStringLiteral("UPDATE"),
                      unindexDocument(QStringLiteral("old."), columns) +
                          indexDocument(QStringLiteral("new."), columns))};
}

QStringList Sql::dropSearchIndexTriggers() {
    QStringList drops;
    for (const QString& trigger : SearchIndexTriggers)
        drops << QStringLiteral("DROP TRIGGER IF EXISTS ") + trigger;
    return drops;
}

QStringList Sql::dropSearchIndex() {
    return dropSearchIndexTriggers() << QStringLiteral("DROP TABLE IF EXISTS SearchIndexState")
                                     << QStringLiteral("DROP TABLE IF EXISTS SearchIndex");
}

QString Sql::searchServer(const QStringList& columns) {
    QStringList tests;
    for (const QString& column : columns)
        tests << quoteName(column) + QStringLiteral(" ~ ?1");
    return QStringLiteral("SELECT \"ID\" FROM \"CustomTable\" WHERE ") +
           tests.join(QStringLiteral(" OR ")) + QStringLiteral(" ORDER BY \"ID\"");
}

// Named by a digest of the column's name: any name then gives a short, plain index name.
QString Sql::serverSearchIndexName(const QString& column) {
    return QStringLiteral("search_") +
           QString::fromLatin1(
               QCryptographicHash::hash(column.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString Sql::createServerSearchIndex(const QString& column) {
    return QStringLiteral("CREATE INDEX IF NOT EXISTS ") +
           quoteName(serverSearchIndexName(column)) +
           QStringLiteral(" ON \"CustomTable\" USING gin (") + quoteName(column) +
           QStringLiteral(" gin_trgm_ops)");
}

QString encodeValues(const QStringList& items, int selected) {
    QString text;
    for (int i = 0; i < items.size(); ++i) {
        if (i == selected)
            text += QLatin1Char('[') + items[i] + QStringLiteral("],");
        else
            text += items[i] + QLatin1Char(',');
    }
    if (!text.isEmpty())
        text.chop(1);
    return text;
}

QStringList decodeValues(const QString& text) {
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char(','));
}
