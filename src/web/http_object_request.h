#pragma once

#include "web/cookie_text.h"
#include "web/http_core.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace skysail {

// The optional arguments of HttpObjectRequest, in their order; what is left out keeps the
// value shown. An out pointer left null is not written; cookies left null counts as "not
// passed", which also switches the merge off.
// Every member has an initialiser, so that callers can name just the ones they give:
// HttpObjectRequest(url, { .noRedirect = true }).
struct HttpObjectParams
{
    int method = 0; // 0 GET, 1 POST, 2 HEAD; anything else GET
    QString postText {}; // sent as GBK bytes when postBytes is empty
    QString* cookies = nullptr; // sent when not empty; receives the merge when mergeCookies
    QString* returnedCookies = nullptr;
    QString headers {}; // extra lines joined by CR LF, completed with the defaults
    QString* returnedHeaders = nullptr;
    int* status = nullptr;
    bool noRedirect = false;
    QByteArray postBytes {};
    QString proxy {}; // host:port
    int timeoutSeconds = 0; // -1: connect 60 s, stall 30 s; 1 or more: that; else 15
    QString proxyUser {};
    QString proxyPassword {};
    int proxyBasicAuth = 1; // 1: the proxy credentials go out as Basic
    HttpHandle* requestObject = nullptr; // the caller's handle instead of a fresh one
    bool mergeCookies = true;
    std::shared_ptr<const CancelToken> cancel {}; // lets the upload pass stop a download
};

// One blocking request that ignores certificate errors; returns the reply body (also of
// an error status), or empty bytes when the request fails on the way. After a failure
// returnedHeaders and returnedCookies are empty and status is 0; when no handle can be
// had, nothing is written at all.
QByteArray HttpObjectRequest(const QString& url, const HttpObjectParams& params = {});

} // namespace skysail
