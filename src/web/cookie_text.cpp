#include "web/cookie_text.h"

#include "web/text_utils.h"

#include <QStringList>

namespace skysail {
namespace {

QString WithoutSpaces(const QString& text)
{
    QString out = text;
    out.remove(QChar(u' '));
    out.remove(QChar(u'\u3000'));
    return out;
}

} // namespace

QString MergeCookies(QString& cookies, QString& returned)
{
    cookies = WithoutSpaces(cookies);
    returned = WithoutSpaces(returned);
    QStringList merged = returned.split(u';', Qt::SkipEmptyParts);
    QStringList newNames;
    for (const QString& item : merged)
        newNames.append(CookieName(item));
    for (const QString& item : cookies.split(u';', Qt::SkipEmptyParts)) {
        if (!newNames.contains(CookieName(item)))
            merged.append(item);
    }
    QStringList kept;
    for (const QString& item : merged) {
        if (!item.endsWith(QLatin1String("=deleted")))
            kept.append(item);
    }
    cookies = kept.join(QStringLiteral("; "));
    return cookies;
}

QString CookieName(const QString& item)
{
    const qsizetype equals = item.indexOf(u'=');
    return (equals < 0 ? item : item.left(equals)).trimmed();
}

QString MergeCookiesUnique(QString& older, QString& newer)
{
    MergeCookies(older, newer);
    older = DedupeParts(older, QStringLiteral("; "));
    return older;
}

QString DedupeParts(const QString& text, const QString& separator)
{
    QStringList kept;
    for (const QString& part : text.split(separator)) {
        if (!kept.contains(part))
            kept.append(part);
    }
    return kept.join(separator);
}

QString NormalizeSetCookie(const QString& rawHeaders)
{
    QString out = rawHeaders;
    return out.replace(QStringLiteral("Set-Cookie"), QStringLiteral("Set-Cookie"), Qt::CaseInsensitive);
}

QString CookiesFromHeaders(const QString& rawHeaders)
{
    QString cookies;
    for (const QString& line : NormalizeSetCookie(rawHeaders).split(QStringLiteral("\r\n"))) {
        if (!line.contains(QLatin1String("Set-Cookie")))
            continue;
        QString piece;
        if (!line.contains(u';'))
            piece = QString(line).remove(QStringLiteral("Set-Cookie:"), Qt::CaseInsensitive);
        else
            piece = TextBetween(line, QStringLiteral("Set-Cookie:"), QStringLiteral(";"));
        cookies += piece.trimmed() + QStringLiteral("; ");
    }
    cookies.chop(2);
    return cookies;
}

} // namespace skysail
