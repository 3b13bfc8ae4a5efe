#include "store/schema.h"

QString Sql::quoteName(const QString& name) {
    if (!name.contains(QLatin1Char(']')))
        return QLatin1Char('[') + name + QLatin1Char(']');
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Sql::quoteText(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Field columns hold text of any length: LONGTEXT is the long-text type's other name, and it
// gives the column text affinity, so "007" stays "007".
QString Sql::addFieldColumn(const QString& name) {
    return QStringLiteral("ALTER TABLE `CustomTable` ADD COLUMN ") + quoteName(name) +
           QStringLiteral(" LONGTEXT");
}

QString Sql::insertFieldRow(const QString& name, const QString& type, const QString& length,
                            const QString& values) {
    return QStringLiteral("insert into FieldControl values (") + quoteText(name) +
           QLatin1Char(',') + quoteText(type) + QLatin1Char(',') + quoteText(length) +
           QLatin1Char(',') + quoteText(values) + QLatin1Char(')');
}

QString Sql::updateFieldRow(const QString& name, const QString& type, const QString& length,
                            const QString& values) {
    return QStringLiteral("update FieldControl set FieldType=") + quoteText(type) +
           QStringLiteral(",FieldLength=") + quoteText(length) + QStringLiteral(",FieldValues=") +
           quoteText(values) + QStringLiteral(" where fieldname=") + quoteText(name);
}

QString Sql::insertRecord(const QStringList& columns) {
    QStringList names, marks;
    for (const QString& column : columns) {
        names << quoteName(column);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("insert into CustomTable (") + names.join(QLatin1Char(',')) +
           QStringLiteral(") values (") + marks.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString Sql::yesNoWordsAsNumbers(const QString& column) {
    const QString name = quoteName(column);
    return QStringLiteral("update CustomTable set %1 = case when lower(trim(%1)) in ('yes','true') "
                          "then '1' when lower(trim(%1)) in ('no','false') then '0' else %1 end "
                          "where ID > ?")
        .arg(name);
}

QString Sql::dropFieldColumn(const QString& name) {
    return QStringLiteral("ALTER TABLE `CustomTable` DROP COLUMN ") + quoteName(name);
}

QString Sql::deleteFieldRow(const QString& name) {
    return QStringLiteral("delete from FieldControl where fieldname=") + quoteText(name);
}

QString Sql::searchCustomTable(const QStringList& columns, const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    const QString pattern = quoteText(QLatin1Char('%') + escaped + QLatin1Char('%'));
    QString sql = QStringLiteral("select * from CustomTable where ");
    for (const QString& column : columns)
        sql += quoteName(column) + QStringLiteral(" like ") + pattern +
               QStringLiteral(" escape '\\' or ");
    sql.chop(3);
    return sql;
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
