#include "store/schema.h"

namespace {
// "(?,?,?)", so many marks.
QString marks(qsizetype count) {
    return QLatin1Char('(') + QStringList(count, QStringLiteral("?")).join(QLatin1Char(',')) +
           QLatin1Char(')');
}
} // namespace

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

QString Sql::insertRecord(const QStringList& columns, int records) {
    return insertRows(QStringLiteral("\"CustomTable\""), columns, records);
}

QString Sql::insertRows(const QString& table, const QStringList& columns, int rows) {
    QStringList names;
    for (const QString& column : columns)
        names << quoteName(column);
    const QString row = marks(columns.size());
    return QStringLiteral("insert into ") + table + QStringLiteral(" (") +
           names.join(QLatin1Char(',')) + QStringLiteral(") values ") +
           QStringList(rows, row).join(QLatin1Char(','));
}

QString Sql::deleteRecordsById(int ids) {
    return QStringLiteral("DELETE FROM \"CustomTable\" WHERE \"ID\" IN ") + marks(ids);
}

QString Sql::selectRecordIdsAmong(int ids) {
    return QStringLiteral("SELECT \"ID\" FROM \"CustomTable\" WHERE \"ID\" IN ") + marks(ids);
}

QString Sql::insertIntoBin(int rows) {
    return insertRows(QStringLiteral("\"DeletedRecords\""),
                      {QStringLiteral("ID"), QStringLiteral("DeletedAt"), QStringLiteral("Record")},
                      rows) +
           QStringLiteral(" RETURNING \"BinKey\", \"ID\"");
}

QString Sql::takeFromBin(int keys) {
    return QStringLiteral("DELETE FROM \"DeletedRecords\" WHERE \"BinKey\" IN ") + marks(keys) +
           QStringLiteral(" RETURNING \"ID\", \"Record\", \"BinKey\"");
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

QString Sql::selectFirstTableIds(const QStringList& tests, const QStringList& orderTerms) {
    return selectTableIds(tests, orderTerms) + QStringLiteral(" LIMIT ?");
}

QString Sql::isEmptyValue(const QString& column) {
    return QStringLiteral("coalesce(%1, '') = ''").arg(column);
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
