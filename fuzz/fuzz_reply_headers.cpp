// Reply header blocks from any server: the transport's Location/Set-Cookie scan, the
// request objects' cookie extraction, and the merges that follow them.
#include "services/inet_request.h"
#include "web/cookie_text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString headers = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString redirect;
    QString returned;
    skysail::ScanReplyHeaders(headers, redirect, returned);
    QString cookies = headers.left(256);
    skysail::MergeCookies(cookies, returned);
    QString found = skysail::CookiesFromHeaders(headers);
    QString older = cookies;
    skysail::MergeCookiesUnique(older, found);
    return 0;
}
