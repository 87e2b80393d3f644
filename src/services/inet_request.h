#pragma once

#include "web/cookie_text.h" // MergeCookies, CookieName: the transport's cookie rules
#include "web/http_core.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace skysail {

// What the upload pass (and tests) control beyond the request itself. The time-outs stand
// in for the system library's defaults: about a minute to connect, and a minute without
// any byte moving ends a transfer.
struct InetRequestControl
{
    std::shared_ptr<const CancelToken> cancel;
    std::chrono::milliseconds connectTimeout { 60000 };
    std::chrono::seconds stallTimeout { 60 };
};

// One HTTP/1.1 request of the image service clients; returns the reply body unchanged.
// method 1 is a POST with a body, anything else a GET without one. The defaults appended
// to extraHeaders (Referer, Accept, Accept-Language, Content-Type, Cookie) stay in the
// caller's variable. Afterwards cookies holds the merge of the old and the returned
// cookies, redirectAddress the reply's Location (or, without one, the raw header block).
// A POST with empty bodyBytes sends the GBK bytes of bodyText, which bodyBytes then keeps.
// A proxyAddress (host:port) serves http addresses only, as a "http=" proxy list does.
// An address that cannot be requested at all gives empty bytes and leaves every out
// parameter alone; a failed transfer gives empty bytes with the outputs written as for
// an empty reply.
QByteArray InetRequest(const QString& url, int method, const QString& bodyText, QString& cookies,
    QString& returnedCookies, QString& extraHeaders, QString& redirectAddress, bool noRedirect, QByteArray& bodyBytes,
    const std::optional<QString>& proxyAddress, QString& rawHeaders, const InetRequestControl& control = {});

// InetRequest with the body read as UTF-8 and brought into the system code page (GBK):
// characters GBK cannot hold become "?", and the text ends at a zero byte.
QString InetRequestText(const QString& url, int method, const QString& bodyText, QString& cookies,
    QString& returnedCookies, QString& extraHeaders, QString& redirectAddress, bool noRedirect, QByteArray& bodyBytes,
    const std::optional<QString>& proxyAddress, QString& rawHeaders, const InetRequestControl& control = {});

// Host part of an address, lower-cased; an address without a scheme counts as http.
QString UrlHost(const QString& url, bool mainDomainOnly = false, bool keepPort = false);
// The explicit port (0 when it is not a number), else 443 for https and 80 otherwise.
int UrlPort(const QString& url);
// Everything from the first "/" after the host on, query included; "/" when there is none.
QString UrlPath(const QString& url);

// The header scan of a reply: the last "Location:" value and the Set-Cookie pieces joined
// by "; ". redirectAddress is left alone when there is no Location line.
void ScanReplyHeaders(const QString& rawHeaders, QString& redirectAddress, QString& returnedCookies);

} // namespace skysail
