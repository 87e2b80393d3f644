// Addresses as users type them and servers redirect to: the transport's host, port and
// path split, and the request address built from them.
#include "services/inet_request.h"
#include "web/http_core.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString url = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    skysail::UrlHost(url, true, true);
    skysail::UrlHost(url);
    const int port = skysail::UrlPort(url);
    (void)port;
    skysail::UrlPath(url);
    skysail::IsRequestableUrl(skysail::EncodeUrlForWire(url));
    return 0;
}
