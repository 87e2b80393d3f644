#pragma once

#include <QByteArray>
#include <QString>

namespace skysail {

// The optional arguments of HttpApiRequest, in their order. An out pointer left null is
// not written; cookies left null counts as "not passed", which also switches the merge off.
struct HttpApiParams
{
    int method = 0; // 0 GET, 1 POST, 2 HEAD, 3 PUT; anything else GET
    QString postText {}; // sent as GBK bytes
    QString* cookies = nullptr;
    QString* returnedCookies = nullptr; // pieces are appended to what it holds
    QString headers {}; // extra lines separated by CR LF, completed with the defaults
    QString* returnedHeaders = nullptr;
    bool noRedirect = false;
    QString user {}; // server Basic credentials, when both are given
    QString password {};
    QString proxy {}; // host:port
    QString proxyUser {}; // proxy Basic credentials, when both are given
    QString proxyPassword {};
    int timeoutSeconds = 0; // 1 or more: that; else 30
    QString* location = nullptr;
    QString* statusText = nullptr; // "200 OK" after a reply, a numbered message after a failure
    QByteArray* body = nullptr;
    bool mergeCookies = true;
};

// One blocking request that returns the reply as text: read in the character set the page
// declares in a meta tag within its first 1024 bytes (other than gbk/gb2312), else taken
// as GBK, and in either case brought into the system code page. Local failures leave the
// result empty and write one of the numbered messages 700-713 into statusText; a reply
// cut off in its body (713) is still processed as far as it came.
QString HttpApiRequest(const QString& url, const HttpApiParams& params = {});

// The UTF-8 bytes of text, each written as "%" and two upper-case hex digits.
QString PercentEncode(const QString& text);

} // namespace skysail
