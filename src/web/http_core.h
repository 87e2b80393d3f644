#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

namespace skysail {

// Set from any thread to abort a transfer in flight; the transfer notices within about a
// tenth of a second and ends with HttpFailure::Cancelled.
class CancelToken
{
public:
    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_cancelled { false };
};

// Nothing an image service or a web page sends comes near these; a reply beyond them is
// hostile or broken and fails instead of eating memory.
inline constexpr qint64 kMaxReplyBodyBytes = 256LL * 1024 * 1024;
inline constexpr qint64 kMaxReplyHeaderBytes = 256LL * 1024;

enum class HttpFailure
{
    None,
    BadUrl, // not an http(s) address the library accepts
    Setup, // the library refused an option (see HttpResult::failedStep)
    Connect, // name resolution, connection, proxy or TLS handshake
    Send, // the request could not be written
    Timeout, // connect time-out, or no data moved for the stall time-out
    Receive, // connection reset or closed before the reply was complete
    BadReply, // not an HTTP/1.x reply, or a malformed one
    TooLarge, // body or header block over its cap
    Cancelled,
};

// The library steps a request goes through before any byte is sent; a refused option
// names the step, so clients can report it in their own terms.
enum class HttpSetupStep
{
    None,
    Session, // the easy handle
    Target, // url, proxy
    Method, // verb, protocol version
    Timeouts,
    Credentials, // server or proxy Basic credentials
    Redirects,
    Headers,
};

struct HttpRequest
{
    QByteArray method = "GET"; // "HEAD" asks for no body
    QByteArray url; // absolute http:// or https:// address, sent as written
    // Sent exactly and in this order, after the library's Host line. A line without ":"
    // or holding CR, LF or NUL is not a header and is not sent.
    QList<QByteArray> headerLines;
    std::optional<QByteArray> body; // sent with its Content-Length when present
    bool followRedirects = true; // http to https included, at most 10 hops
    QByteArray proxy; // host:port of an HTTP proxy; empty: direct, whatever the environment says
    QByteArray proxyUser; // when not empty, Basic credentials go to the proxy
    QByteArray proxyPassword;
    QByteArray user; // when not empty, Basic credentials go to the server
    QByteArray password;
    std::chrono::milliseconds connectTimeout { 60000 }; // name resolution and connect
    std::chrono::seconds stallTimeout { 60 }; // no byte moved for this long ends the transfer
    bool verifyTls = true;
    qint64 maxBodyBytes = kMaxReplyBodyBytes;
    std::shared_ptr<const CancelToken> cancel;
};

struct HttpResult;
class HttpHandle;
HttpResult PerformRequest(const HttpRequest& request, HttpHandle* handle);

struct HttpResult
{
    HttpFailure failure = HttpFailure::None;
    HttpSetupStep failedStep = HttpSetupStep::None;
    QByteArray body; // what arrived, also after a failure mid-body
    // The last reply's status line and header lines, each ending in CR LF, without the
    // blank line that closes the block.
    QByteArray rawHeaders;
    int status = 0;
    bool requestSent = false; // the whole request left the machine
    bool headersComplete = false; // the last reply's header block arrived whole

    bool Ok() const { return failure == HttpFailure::None; }
};

// A library handle the caller keeps between requests (its connections stay open for the
// next one; nothing else carries over). Requests without one get a fresh handle.
class HttpHandle
{
public:
    HttpHandle();
    ~HttpHandle();
    HttpHandle(const HttpHandle&) = delete;
    HttpHandle& operator=(const HttpHandle&) = delete;

    bool Valid() const { return m_easy != nullptr && m_multi != nullptr; }

private:
    friend HttpResult PerformRequest(const HttpRequest& request, HttpHandle* handle);
    void* m_easy;
    void* m_multi; // owns the connection cache, so it lives as long as the handle
};

// An address as the system's request objects put it on the wire: UTF-8, with bytes above
// 0x7F, spaces and control characters percent-encoded.
QByteArray EncodeUrlForWire(const QString& url);

// Whether the library accepts this as an http:// or https:// address.
bool IsRequestableUrl(const QByteArray& url);

// Runs one blocking request on the calling thread.
HttpResult PerformRequest(const HttpRequest& request, HttpHandle* handle = nullptr);

} // namespace skysail
