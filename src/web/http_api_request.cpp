#include "web/http_api_request.h"

#include "platform/charset_codec.h"
#include "platform/gbk_codec.h"
#include "web/cookie_text.h"
#include "web/http_core.h"
#include "web/regex_matcher.h"
#include "web/text_utils.h"

#include <curl/curl.h>

#include <optional>

namespace skysail {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The numbered messages. Each stands for the library step that corresponds to the one
// the system HTTP service names; 706 has no step, and 708 none here either: the library
// keeps no cookies unless asked to, so there is nothing to switch off that could fail.
enum class Message
{
    NoHttp = 700,
    BadUrl = 701,
    Session = 702,
    Connection = 703,
    Request = 704,
    Timeouts = 705,
    Credentials = 707,
    Cookies = 708,
    Redirects = 709,
    Headers = 710,
    Send = 711,
    NoResponse = 712,
    Read = 713,
};

QString MessageText(Message message)
{
    switch (message) {
    case Message::NoHttp:
        return QStringLiteral("700 当前系统不支持WinHttp服务!");
    case Message::BadUrl:
        return QStringLiteral("701 解析URL地址失败!");
    case Message::Session:
        return QStringLiteral("702 创建WinHttp会话失败!");
    case Message::Connection:
        return QStringLiteral("703 创建WinHttp连接失败!");
    case Message::Request:
        return QStringLiteral("704 创建WinHttp请求失败!");
    case Message::Timeouts:
        return QStringLiteral("705 设置超时时间失败!");
    case Message::Credentials:
        return QStringLiteral("707 设置代理凭证失败!");
    case Message::Cookies:
        return QStringLiteral("708 禁止自动设置Cookies失败!");
    case Message::Redirects:
        return QStringLiteral("709 重定向设置失败!");
    case Message::Headers:
        return QStringLiteral("710 设置协议头失败!");
    case Message::Send:
        return QStringLiteral("711 发送请求失败!");
    case Message::NoResponse:
        return QStringLiteral("712 服务器未响应!");
    case Message::Read:
        return QStringLiteral("713 读取数据失败!");
    }
    return {};
}

bool LibrarySpeaksHttp()
{
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (info == nullptr || info->protocols == nullptr)
        return false;
    for (const char* const* protocol = info->protocols; *protocol != nullptr; ++protocol) {
        if (qstrcmp(*protocol, "http") == 0)
            return true;
    }
    return false;
}

Message MessageForSetup(HttpSetupStep step)
{
    switch (step) {
    case HttpSetupStep::Session:
        return Message::Session;
    case HttpSetupStep::Target:
        return Message::Connection;
    case HttpSetupStep::Method:
        return Message::Request;
    case HttpSetupStep::Timeouts:
        return Message::Timeouts;
    case HttpSetupStep::Credentials:
        return Message::Credentials;
    case HttpSetupStep::Redirects:
        return Message::Redirects;
    case HttpSetupStep::Headers:
    case HttpSetupStep::None:
        break;
    }
    return Message::Headers;
}

// Which step a failed transfer stopped at: the request not out yet, no whole reply
// header block, or the body.
Message MessageForTransfer(const HttpResult& result)
{
    if (result.failure == HttpFailure::BadUrl)
        return Message::BadUrl;
    if (result.failure == HttpFailure::Setup)
        return MessageForSetup(result.failedStep);
    if (!result.requestSent)
        return Message::Send;
    if (!result.headersComplete)
        return Message::NoResponse;
    return Message::Read;
}

// The default lines, each added when the block lacks its name; the names carry their
// trailing space where the search is made with it.
QString HeaderBlock(const QString& headers, const QString* cookies)
{
    QString block = headers.isEmpty() ? QString() : headers + kCrLf;
    const auto add = [&](const char* name, Qt::CaseSensitivity sensitivity, const QString& line) {
        if (!block.contains(QLatin1String(name), sensitivity))
            block += line + kCrLf;
    };
    add("User-Agent: ", Qt::CaseInsensitive,
        QStringLiteral("User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"));
    add("Accept: ", Qt::CaseInsensitive, QStringLiteral("Accept: text/html, application/xhtml+xml, */*"));
    add("Accept-Encoding: ", Qt::CaseInsensitive, QStringLiteral("Accept-Encoding: gbk, GB2312"));
    add("Accept-Language: ", Qt::CaseInsensitive, QStringLiteral("Accept-Language: zh-cn"));
    add("Content-Type:", Qt::CaseSensitive, QStringLiteral("Content-Type: application/x-www-form-urlencoded"));
    add("Cache-Control: ", Qt::CaseInsensitive, QStringLiteral("Cache-Control: no-cache"));
    if (cookies != nullptr && !cookies->isEmpty())
        add("Cookie: ", Qt::CaseInsensitive, QStringLiteral("Cookie: ") + *cookies);
    return block;
}

bool IsHeaderLine(const QString& line)
{
    return line.indexOf(u':') > 0 && !line.contains(u'\r') && !line.contains(u'\n') && !line.contains(QChar(0));
}

// The page's text: in the declared character set when it names one other than gbk or
// gb2312 (compared as written) and the platform knows it, else the bytes as GBK; either way
// only what the system code page can hold, up to the first zero.
QString PageText(const QByteArray& body)
{
    const qsizetype zero = body.indexOf('\0');
    const QByteArray text = zero < 0 ? body : body.left(zero);
    const QString result = GbkDecode(text);

    RegexMatcher matcher;
    QString charset;
    if (matcher.RunPattern(QStringLiteral("<meta.+?charset=[^\\w]?([-\\w]+)"), GbkDecode(text.left(1024))))
        charset = matcher.GetSubMatch(1, 1);
    if (charset.isEmpty() || charset == QLatin1String("gbk") || charset == QLatin1String("gb2312"))
        return result;
    QString decoded;
    if (!DecodeCharset(body, charset.toLatin1(), decoded))
        return result;
    const qsizetype decodedZero = decoded.indexOf(QChar(0));
    if (decodedZero >= 0)
        decoded.truncate(decodedZero);
    return GbkDecode(GbkEncode(decoded));
}

} // namespace

QString HttpApiRequest(const QString& url, const HttpApiParams& params)
{
    const auto fail = [&](Message message) {
        if (params.statusText != nullptr)
            *params.statusText = MessageText(message);
        return QString();
    };

    if (!LibrarySpeaksHttp())
        return fail(Message::NoHttp);
    const QByteArray wireUrl = EncodeUrlForWire(url);
    if (!IsRequestableUrl(wireUrl))
        return fail(Message::BadUrl);

    static const char* const kMethods[] = { "GET", "POST", "HEAD", "PUT" };
    const int method = params.method >= 0 && params.method <= 3 ? params.method : 0;

    HttpRequest request;
    request.method = kMethods[method];
    request.url = wireUrl;
    request.proxy = GbkEncode(params.proxy);
    if (!params.user.isEmpty() && !params.password.isEmpty()) {
        request.user = GbkEncode(params.user);
        request.password = GbkEncode(params.password);
    }
    if (!params.proxy.isEmpty() && !params.proxyUser.isEmpty() && !params.proxyPassword.isEmpty()) {
        request.proxyUser = GbkEncode(params.proxyUser);
        request.proxyPassword = GbkEncode(params.proxyPassword);
    }
    const std::chrono::seconds timeout(params.timeoutSeconds >= 1 ? params.timeoutSeconds : 30);
    request.connectTimeout = timeout;
    request.stallTimeout = timeout;
    request.followRedirects = !params.noRedirect;

    for (const QString& line : HeaderBlock(params.headers, params.cookies).split(kCrLf, Qt::SkipEmptyParts)) {
        if (!IsHeaderLine(line))
            return fail(Message::Headers);
        request.headerLines.append(GbkEncode(line));
    }
    if (!params.postText.isEmpty() || method == 1 || method == 3)
        request.body = GbkEncode(params.postText);
    if (method == 2)
        request.body.reset();

    const HttpResult result = PerformRequest(request);
    std::optional<Message> readFailure;
    if (!result.Ok()) {
        const Message message = MessageForTransfer(result);
        if (message != Message::Read)
            return fail(message);
        readFailure = message; // what came of the body is still the reply
    }

    const QString rawHeaders = NormalizeSetCookie(GbkDecode(result.rawHeaders));
    if (params.returnedHeaders != nullptr)
        *params.returnedHeaders = rawHeaders;
    if (params.statusText != nullptr) {
        // A body cut off keeps its message rather than passing for a whole reply.
        *params.statusText
            = readFailure ? MessageText(*readFailure) : rawHeaders.mid(9, rawHeaders.indexOf(kCrLf, 9) - 9);
    }
    QString ownCookies;
    QString& returnedCookies = params.returnedCookies != nullptr ? *params.returnedCookies : ownCookies;
    const QString pieces = CookiesFromHeaders(rawHeaders);
    if (!pieces.isEmpty())
        returnedCookies += pieces;
    for (const QString& line : rawHeaders.split(kCrLf)) {
        if (params.location != nullptr && line.left(10).compare(QLatin1String("Location: "), Qt::CaseInsensitive) == 0)
            *params.location = line.mid(10);
    }
    if (params.mergeCookies && params.cookies != nullptr)
        returnedCookies = MergeCookiesUnique(*params.cookies, returnedCookies);
    if (params.body != nullptr)
        *params.body = result.body;
    return PageText(result.body);
}

QString PercentEncode(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    for (const char c : GbkTextToUtf8(GbkEncode(text))) {
        const auto byte = static_cast<unsigned char>(c);
        out += u'%';
        out += QLatin1Char(hex[byte >> 4]);
        out += QLatin1Char(hex[byte & 0xF]);
    }
    return out;
}

} // namespace skysail
