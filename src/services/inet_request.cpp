#include "services/inet_request.h"

#include "platform/gbk_codec.h"
#include "web/text_utils.h"

#include <QStringList>

namespace skysail {
namespace {

const QString kDefaultAgent = QStringLiteral("Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Rvn4; .NET CLR "
                                             "2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)");
const QString kCrLf = QStringLiteral("\r\n");

bool IsHttps(const QString& url)
{
    return url.left(5).toLower() == QLatin1String("https");
}

// The agent the request goes out with: the caller's User-Agent line (any case) or ours.
QString AgentOf(const QString& extraHeaders)
{
    const QString name = QStringLiteral("User-Agent:");
    const qsizetype at = extraHeaders.indexOf(name, 0, Qt::CaseInsensitive);
    if (at < 0)
        return kDefaultAgent;
    const qsizetype from = at + name.size();
    const qsizetype end = extraHeaders.indexOf(kCrLf, from);
    return extraHeaders.mid(from, end < 0 ? -1 : end - from).trimmed();
}

// The defaults go in only where the caller's lines lack them; the searches are made with
// case, so an "accept:" line of the caller still gets an "Accept:" line next to it.
void CompleteHeaders(QString& extraHeaders, const QString& url, const QString& cookies)
{
    if (!extraHeaders.contains(QLatin1String("Referer:")))
        extraHeaders += (extraHeaders.isEmpty() ? QStringLiteral("Referer: ") : QStringLiteral("\r\nReferer: ")) + url;
    if (!extraHeaders.contains(QLatin1String("Accept:")))
        extraHeaders += QStringLiteral("\r\nAccept: */*");
    if (!extraHeaders.contains(QLatin1String("Accept-Language:")))
        extraHeaders += QStringLiteral("\r\nAccept-Language: zh-cn");
    if (!extraHeaders.contains(QLatin1String("Content-Type:")))
        extraHeaders += QStringLiteral("\r\nContent-Type: application/x-www-form-urlencoded");
    if (!cookies.isEmpty())
        extraHeaders += QStringLiteral("\r\nCookie: ") + cookies;
}

// The address as it goes to the library, or empty when no request can be made to it.
QByteArray RequestAddress(const QString& url)
{
    const QString host = UrlHost(url);
    int port = UrlPort(url);
    const bool https = IsHttps(url);
    if (port == 0) // the system library reads port 0 as the service's own port
        port = https ? 443 : 80;
    if (host.isEmpty() || port < 0 || port > 65535)
        return {};
    const QString address
        = (https ? QStringLiteral("https://") : QStringLiteral("http://")) + host + u':' + QString::number(port);
    const QByteArray bytes = GbkEncode(address) + GbkEncode(UrlPath(url));
    return IsRequestableUrl(bytes) ? bytes : QByteArray();
}

} // namespace

QByteArray InetRequest(const QString& url, int method, const QString& bodyText, QString& cookies,
    QString& returnedCookies, QString& extraHeaders, QString& redirectAddress, bool noRedirect, QByteArray& bodyBytes,
    const std::optional<QString>& proxyAddress, QString& rawHeaders, const InetRequestControl& control)
{
    HttpHandle handle;
    const QByteArray address = RequestAddress(url);
    if (!handle.Valid() || address.isEmpty())
        return {};

    HttpRequest request;
    request.method = method == 1 ? "POST" : "GET";
    request.url = address;
    const QString agent = AgentOf(extraHeaders);
    CompleteHeaders(extraHeaders, url, cookies);
    if (!extraHeaders.contains(QLatin1String("User-Agent:"), Qt::CaseInsensitive))
        request.headerLines.append("User-Agent: " + GbkEncode(agent));
    for (const QString& line : extraHeaders.split(kCrLf, Qt::SkipEmptyParts))
        request.headerLines.append(GbkEncode(line));
    if (method == 1) {
        if (bodyBytes.isEmpty())
            bodyBytes = GbkEncode(bodyText);
        request.body = bodyBytes;
    }
    request.followRedirects = !noRedirect;
    // A "http=" proxy list serves http addresses only; https ones go direct.
    if (proxyAddress && !proxyAddress->isEmpty() && !IsHttps(url))
        request.proxy = GbkEncode(*proxyAddress);
    request.connectTimeout = control.connectTimeout;
    request.stallTimeout = control.stallTimeout;
    request.cancel = control.cancel;

    HttpResult result = PerformRequest(request, &handle);
    // A transfer that broke off hands back nothing of its body, only a header block that
    // arrived whole.
    if (!result.Ok())
        result.body.clear();
    rawHeaders = result.headersComplete ? GbkDecode(result.rawHeaders) : QString();

    // Cleared first, so that a value from the caller's previous request cannot pass for
    // this reply's redirect.
    redirectAddress.clear();
    ScanReplyHeaders(rawHeaders, redirectAddress, returnedCookies);
    if (redirectAddress.isEmpty())
        redirectAddress = rawHeaders;
    MergeCookies(cookies, returnedCookies);
    return result.body;
}

QString InetRequestText(const QString& url, int method, const QString& bodyText, QString& cookies,
    QString& returnedCookies, QString& extraHeaders, QString& redirectAddress, bool noRedirect, QByteArray& bodyBytes,
    const std::optional<QString>& proxyAddress, QString& rawHeaders, const InetRequestControl& control)
{
    const QByteArray body = InetRequest(url, method, bodyText, cookies, returnedCookies, extraHeaders, redirectAddress,
        noRedirect, bodyBytes, proxyAddress, rawHeaders, control);
    return GbkDecode(Utf8BytesToText(body));
}

void ScanReplyHeaders(const QString& rawHeaders, QString& redirectAddress, QString& returnedCookies)
{
    const QString setCookie = QStringLiteral("Set-Cookie:");
    returnedCookies.clear();
    for (const QString& line : rawHeaders.split(kCrLf)) {
        if (line.contains(QLatin1String("Location:")))
            redirectAddress = line.mid(line.indexOf(u':') + 1).trimmed();
        if (line.contains(QLatin1String("Set-Cookie"))) {
            const qsizetype at = line.indexOf(setCookie);
            if (at < 0)
                continue;
            const qsizetype from = at + setCookie.size();
            const qsizetype end = line.indexOf(u';', from);
            returnedCookies += line.mid(from, end < 0 ? -1 : end - from).trimmed() + QStringLiteral("; ");
        }
    }
    returnedCookies.chop(2);
}

QString UrlHost(const QString& url, bool mainDomainOnly, bool keepPort)
{
    QString s = url.toLower();
    if (!s.endsWith(u'/'))
        s += u'/';
    QString prefix = QStringLiteral("https://");
    if (!s.startsWith(prefix)) {
        prefix = QStringLiteral("http://");
        if (!s.contains(prefix))
            s.prepend(prefix);
    }
    const qsizetype from = s.indexOf(prefix) + prefix.size();
    s = s.mid(from, s.indexOf(u'/', from) - from);
    if (mainDomainOnly) {
        const QStringList parts = s.split(u'.');
        if (parts.size() >= 2)
            s = parts[parts.size() - 2] + u'.' + parts.last();
    }
    if (keepPort || !s.contains(u':'))
        return s;
    return s.left(s.indexOf(u':'));
}

int UrlPort(const QString& url)
{
    const QString host = UrlHost(url, false, true);
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon < 0)
        return IsHttps(url) ? 443 : 80;
    // The leading digits count, as a number conversion reads them; none give 0.
    qint64 port = 0;
    for (qsizetype i = colon + 1; i < host.size() && host[i].isDigit() && host[i].unicode() < 128; ++i) {
        port = port * 10 + (host[i].unicode() - u'0');
        if (port > 65535)
            return -1;
    }
    return static_cast<int>(port);
}

QString UrlPath(const QString& url)
{
    const qsizetype hostAt = url.indexOf(UrlHost(url), 0, Qt::CaseInsensitive);
    const qsizetype slash = url.indexOf(u'/', hostAt < 0 ? 0 : hostAt);
    return slash < 0 ? QStringLiteral("/") : url.mid(slash);
}

} // namespace skysail
