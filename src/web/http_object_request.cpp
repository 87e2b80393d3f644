#include "web/http_object_request.h"

#include "platform/gbk_codec.h"

#include <optional>

namespace skysail {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Each default goes in only when the caller's lines lack its name (searched with case).
QString CompleteHeaders(const QString& headers, const QString& url)
{
    QString out = headers;
    if (!out.contains(QLatin1String("Accept:")))
        out += out.isEmpty() ? QStringLiteral("Accept: */*") : QStringLiteral("\r\nAccept: */*");
    if (!out.contains(QLatin1String("Referer:")))
        out += QStringLiteral("\r\nReferer: ") + url;
    if (!out.contains(QLatin1String("Accept-Language:")))
        out += QStringLiteral("\r\nAccept-Language: zh-cn");
    if (!out.contains(QLatin1String("User-Agent:")))
        out += QStringLiteral("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    if (!out.contains(QLatin1String("Content-Type:")))
        out += QStringLiteral("\r\nContent-Type: application/x-www-form-urlencoded");
    return out;
}

// The reply's header lines without the status line, each ending in CR LF.
QString HeaderLinesOf(const QByteArray& rawHeaders)
{
    const qsizetype firstEnd = rawHeaders.indexOf("\r\n");
    return GbkDecode(firstEnd < 0 ? QByteArray() : rawHeaders.mid(firstEnd + 2));
}

std::chrono::seconds ConnectAndStall(int timeoutSeconds, std::chrono::seconds& stall)
{
    using std::chrono::seconds;
    if (timeoutSeconds == -1) { // the request object's own: 60 s to connect, 30 s per receive
        stall = seconds(30);
        return seconds(60);
    }
    stall = seconds(timeoutSeconds >= 1 ? timeoutSeconds : 15);
    return stall;
}

} // namespace

QByteArray HttpObjectRequest(const QString& url, const HttpObjectParams& params)
{
    std::optional<HttpHandle> ownHandle;
    HttpHandle* handle = params.requestObject != nullptr ? params.requestObject : &ownHandle.emplace();
    if (!handle->Valid())
        return {};

    static const char* const kMethods[] = { "GET", "POST", "HEAD" };
    const int method = params.method >= 0 && params.method <= 2 ? params.method : 0;

    HttpRequest request;
    request.method = kMethods[method];
    request.url = EncodeUrlForWire(url);
    request.connectTimeout = ConnectAndStall(params.timeoutSeconds, request.stallTimeout);
    if (!params.proxy.isEmpty()) {
        request.proxy = GbkEncode(params.proxy);
        if (!params.proxyUser.isEmpty() && params.proxyBasicAuth == 1) {
            request.proxyUser = GbkEncode(params.proxyUser);
            request.proxyPassword = GbkEncode(params.proxyPassword);
        }
    }
    request.followRedirects = !params.noRedirect;
    request.verifyTls = false; // untrusted issuer, wrong usage, other host name, out of date
    request.cancel = params.cancel;

    if (params.cookies != nullptr && !params.cookies->isEmpty())
        request.headerLines.append("Cookie: " + GbkEncode(*params.cookies));
    for (const QString& line : CompleteHeaders(params.headers, url).split(kCrLf, Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0)
            continue; // no name, no header
        const QString name = line.left(colon).trimmed();
        if (name.isEmpty())
            continue;
        request.headerLines.append(GbkEncode(name + QStringLiteral(": ") + line.mid(colon + 1).trimmed()));
    }
    if (!params.postBytes.isEmpty())
        request.body = params.postBytes;
    else if (!params.postText.isEmpty() || method == 1)
        request.body = GbkEncode(params.postText);
    if (method == 2)
        request.body.reset();

    const HttpResult result = PerformRequest(request, handle);
    if (!result.Ok()) {
        if (params.returnedHeaders != nullptr)
            params.returnedHeaders->clear();
        if (params.returnedCookies != nullptr)
            params.returnedCookies->clear();
        if (params.status != nullptr)
            *params.status = 0;
        return {};
    }

    const QString headers = NormalizeSetCookie(HeaderLinesOf(result.rawHeaders));
    if (params.returnedHeaders != nullptr)
        *params.returnedHeaders = headers;
    if (params.status != nullptr)
        *params.status = result.status;
    QString cookies = CookiesFromHeaders(headers);
    if (params.mergeCookies && params.cookies != nullptr)
        cookies = MergeCookiesUnique(*params.cookies, cookies);
    if (params.returnedCookies != nullptr)
        *params.returnedCookies = cookies;
    return result.body;
}

} // namespace skysail
