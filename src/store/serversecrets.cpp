#include "store/serversecrets.h"

#include <QRegularExpression>
#include <QStringList>
#include <libpq-fe.h>
#include <vector>

namespace {
const QString Mask = QStringLiteral("*****");

// The parameters libpq itself hides (those it shows as a password field).
QStringList secretKeywords() {
    QStringList keywords;
    PQconninfoOption* options = PQconndefaults();
    for (PQconninfoOption* option = options; option && option->keyword; ++option)
        if (option->dispchar && option->dispchar[0] == '*')
            keywords << QString::fromUtf8(option->keyword);
    PQconninfoFree(options);
    if (!keywords.contains(QLatin1String("password")))
        keywords << QStringLiteral("password");
    return keywords;
}

// Each finds a secret as the capture "secret", whether libpq could read the address or not.
const std::vector<QRegularExpression>& secretPatterns() {
    static const std::vector<QRegularExpression> patterns = [] {
        // The URI's password runs to its "@": up to the last one before a blank, as a password
        // holding an "@" is better masked too far than too short.
        std::vector<QRegularExpression> found{
            QRegularExpression(QStringLiteral("postgres(?:ql)?://[^:@/\\s]*:(?<secret>\\S*)@"),
                               QRegularExpression::CaseInsensitiveOption)};
        for (const QString& keyword : secretKeywords()) {
            // A parameter of a URI ends at "&"; one of "key=value ..." at a blank, or at the
            // closing quote when quoted (to the end when the quote is never closed).
            found.emplace_back(QStringLiteral("[?&]%1=(?<secret>[^&\\s\"]*)")
                                   .arg(QRegularExpression::escape(keyword)),
                               QRegularExpression::CaseInsensitiveOption);
            found.emplace_back(
                QStringLiteral("(?<![\\w?&])%1\\s*=\\s*(?<secret>'(?:[^'\\\\]|\\\\.)*'?|\\S*)")
                    .arg(QRegularExpression::escape(keyword)),
                QRegularExpression::CaseInsensitiveOption);
        }
        return found;
    }();
    return patterns;
}

// The secrets of the address as written, and as libpq reads them when it can.
QStringList secretsOf(const QString& address) {
    QStringList secrets;
    if (address.isEmpty())
        return secrets;
    for (const QRegularExpression& pattern : secretPatterns())
        for (auto it = pattern.globalMatch(address); it.hasNext();)
            secrets << it.next().captured(QStringLiteral("secret"));
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(address.toUtf8().constData(), &error);
    PQfreemem(error);
    for (PQconninfoOption* option = options; option && option->keyword; ++option)
        if (option->val && option->dispchar && option->dispchar[0] == '*')
            secrets << QString::fromUtf8(option->val);
    PQconninfoFree(options);
    secrets.removeAll(QString());
    return secrets;
}
} // namespace

QString secretIn(const QString& address) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(address.toUtf8().constData(), &error);
    PQfreemem(error);
    QString found;
    for (PQconninfoOption* option = options; option && option->keyword && found.isEmpty(); ++option)
        if (option->val && *option->val && option->dispchar && option->dispchar[0] == '*')
            found = QString::fromUtf8(option->keyword);
    PQconninfoFree(options);
    return found;
}

QString maskSecrets(const QString& text, const QString& address) {
    QString masked = text;
    for (const QRegularExpression& pattern : secretPatterns()) {
        QString next;
        qsizetype done = 0;
        for (auto it = pattern.globalMatch(masked); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            const qsizetype start = match.capturedStart(QStringLiteral("secret"));
            if (match.capturedLength(QStringLiteral("secret")) == 0)
                continue;
            next.append(QStringView(masked).mid(done, start - done)).append(Mask);
            done = match.capturedEnd(QStringLiteral("secret"));
        }
        masked = next.append(QStringView(masked).mid(done));
    }
    // Standing alone: between blanks, quotes or the address's own separators.
    for (const QString& secret : secretsOf(address))
        masked.replace(
            QRegularExpression(QStringLiteral("(?<![^\\s\"'=:@/&?,;])%1(?![^\\s\"'&@/,;])")
                                   .arg(QRegularExpression::escape(secret))),
            Mask);
    return masked;
}
