#include "web/http_core.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>

namespace skysail {
namespace {

// How long the transfer loop waits for socket activity before it looks at the cancel token.
constexpr int kPollMilliseconds = 100;

using Clock = std::chrono::steady_clock;

struct Transfer
{
    const HttpRequest& request;
    HttpResult& result;
    qint64 headerBytes = 0;
    bool tooLarge = false;
    // The stall clock: reset whenever a byte moves either way.
    Clock::time_point lastActivity = Clock::now();
    curl_off_t sent = 0;
    curl_off_t received = 0;
};

// The library's own low-speed check averages over several seconds, so it notices a stall
// late after a burst; this one counts from the last byte that moved.
int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent)
{
    auto* transfer = static_cast<Transfer*>(user);
    if (received != transfer->received || sent != transfer->sent) {
        transfer->received = received;
        transfer->sent = sent;
        transfer->lastActivity = Clock::now();
    }
    return 0;
}

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (transfer->result.body.size() + static_cast<qint64>(bytes) > transfer->request.maxBodyBytes) {
        transfer->tooLarge = true;
        return 0;
    }
    transfer->result.body.append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

// Keeps the header block of the last reply only: a status line starts a new block, which
// also drops the blocks of followed redirects, of "100 Continue" and of a proxy's CONNECT.
size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    transfer->headerBytes += static_cast<qint64>(bytes);
    if (transfer->headerBytes > kMaxReplyHeaderBytes) {
        transfer->tooLarge = true;
        return 0;
    }
    QByteArray line(data, static_cast<qsizetype>(bytes));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    HttpResult& result = transfer->result;
    if (line.startsWith("HTTP/")) {
        result.rawHeaders.clear();
        result.headersComplete = false;
    }
    if (line.isEmpty()) {
        result.headersComplete = true;
        return bytes;
    }
    result.rawHeaders.append(line).append("\r\n");
    return bytes;
}

bool IsHeaderNamed(const QByteArray& line, const char* name)
{
    const qsizetype length = qstrlen(name);
    return line.size() > length && qstrnicmp(line.constData(), name, length) == 0
        && (line[length] == ':' || line[length] == ';');
}

bool HasHeader(const QList<QByteArray>& lines, const char* name)
{
    for (const QByteArray& line : lines) {
        if (IsHeaderNamed(line, name))
            return true;
    }
    return false;
}

// The library reads "Name:" with nothing after it as "drop the header"; "Name;" is its way
// of sending a header with an empty value.
QByteArray ForLibrary(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    if (line.mid(colon + 1).trimmed().isEmpty())
        return line.left(colon) + ';';
    return line;
}

bool IsSendable(const QByteArray& line)
{
    return line.indexOf(':') > 0 && !line.contains('\r') && !line.contains('\n') && !line.contains('\0');
}

struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

bool Append(Slist& list, const QByteArray& line)
{
    curl_slist* grown = curl_slist_append(list.get(), line.constData());
    if (grown == nullptr)
        return false;
    list.release();
    list.reset(grown);
    return true;
}

} // namespace

QByteArray EncodeUrlForWire(const QString& url)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : url.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x7F || byte <= 0x20 || byte == 0x7F)
            out.append('%').append(hex[byte >> 4]).append(hex[byte & 0xF]);
        else
            out.append(c);
    }
    return out;
}

bool IsRequestableUrl(const QByteArray& url)
{
    CURLU* parsed = curl_url();
    if (parsed == nullptr)
        return false;
    bool ok = curl_url_set(parsed, CURLUPART_URL, url.constData(), 0) == CURLUE_OK;
    char* scheme = nullptr;
    if (ok && curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK) {
        ok = qstricmp(scheme, "http") == 0 || qstricmp(scheme, "https") == 0;
        curl_free(scheme);
    } else {
        ok = false;
    }
    curl_url_cleanup(parsed);
    return ok;
}

namespace {

HttpFailure FailureOf(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return HttpFailure::None;
    case CURLE_URL_MALFORMAT:
        return HttpFailure::BadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_PROXY:
        return HttpFailure::Connect;
    case CURLE_SEND_ERROR:
        return HttpFailure::Send;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpFailure::Timeout;
    case CURLE_UNSUPPORTED_PROTOCOL: // an HTTP/0.9 reply, or a redirect to another scheme
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_BAD_CONTENT_ENCODING:
        return HttpFailure::BadReply;
    case CURLE_OUT_OF_MEMORY: // also what the library says to a header line over its own limit
        return HttpFailure::TooLarge;
    case CURLE_ABORTED_BY_CALLBACK:
        return HttpFailure::Cancelled;
    default:
        return HttpFailure::Receive;
    }
}

// Applies every option of the request; the step of the first refused one, or None.
HttpSetupStep Configure(CURL* curl, const HttpRequest& request, Transfer& transfer, Slist& headers)
{
    const auto ok = [](CURLcode code) { return code == CURLE_OK; };

    if (!ok(curl_easy_setopt(curl, CURLOPT_URL, request.url.constData()))
        || !ok(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https"))
        || !ok(curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"))
        || !ok(curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L))
        // An empty proxy also keeps the library from taking one from the environment.
        || !ok(curl_easy_setopt(curl, CURLOPT_PROXY, request.proxy.constData()))
        || !ok(curl_easy_setopt(curl, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP)))
        || !ok(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, request.verifyTls ? 1L : 0L))
        || !ok(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, request.verifyTls ? 2L : 0L)))
        return HttpSetupStep::Target;

    bool methodOk = ok(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L))
        && ok(curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)));
    if (request.body) {
        methodOk = methodOk && ok(curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body->size())))
            && ok(curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body->constData()));
        if (request.method != "POST")
            methodOk = methodOk && ok(curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.constData()));
    } else if (request.method == "HEAD") {
        methodOk = methodOk && ok(curl_easy_setopt(curl, CURLOPT_NOBODY, 1L));
    } else {
        methodOk = methodOk && ok(curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L));
        if (request.method != "GET")
            methodOk = methodOk && ok(curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.constData()));
    }
    if (!methodOk)
        return HttpSetupStep::Method;

    if (!ok(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeout.count())))
        || !ok(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L))
        || !ok(curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress))
        || !ok(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer)))
        return HttpSetupStep::Timeouts;

    if (!request.user.isEmpty()
        && (!ok(curl_easy_setopt(curl, CURLOPT_USERNAME, request.user.constData()))
            || !ok(curl_easy_setopt(curl, CURLOPT_PASSWORD, request.password.constData()))
            || !ok(curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_BASIC)))))
        return HttpSetupStep::Credentials;
    if (!request.proxyUser.isEmpty()
        && (!ok(curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, request.proxyUser.constData()))
            || !ok(curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, request.proxyPassword.constData()))
            || !ok(curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC)))))
        return HttpSetupStep::Credentials;

    if (!ok(curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L))
        || !ok(curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L)))
        return HttpSetupStep::Redirects;

    bool headersOk = true;
    for (const QByteArray& line : request.headerLines) {
        if (IsSendable(line))
            headersOk = headersOk && Append(headers, ForLibrary(line));
    }
    // Keep the library's own lines off the wire: only what the client gave goes out.
    if (!HasHeader(request.headerLines, "Accept"))
        headersOk = headersOk && Append(headers, "Accept:");
    if (!HasHeader(request.headerLines, "Expect"))
        headersOk = headersOk && Append(headers, "Expect:");
    if (request.body && !HasHeader(request.headerLines, "Content-Type"))
        headersOk = headersOk && Append(headers, "Content-Type:");
    if (!headersOk || !ok(curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get()))
        || !ok(curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader))
        || !ok(curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer))
        || !ok(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody))
        || !ok(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer)))
        return HttpSetupStep::Headers;
    return HttpSetupStep::None;
}

// Drives the transfer in short polls so that a cancel or a stall is seen promptly even
// while the peer is silent.
CURLcode Run(CURLM* multi, CURL* curl, Transfer& transfer, bool& cancelled)
{
    const CancelToken* cancel = transfer.request.cancel.get();
    const auto stallTimeout = transfer.request.stallTimeout;
    bool stalled = false;
    if (curl_multi_add_handle(multi, curl) != CURLM_OK)
        return CURLE_FAILED_INIT;
    int running = 1;
    while (running > 0) {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        if (running == 0)
            break;
        if (cancel != nullptr && cancel->IsCancelled()) {
            cancelled = true;
            break;
        }
        if (stallTimeout.count() > 0 && Clock::now() - transfer.lastActivity > stallTimeout) {
            stalled = true;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK)
            break;
    }
    CURLcode code = CURLE_FAILED_INIT;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
            code = message->data.result;
    }
    curl_multi_remove_handle(multi, curl);
    if (cancelled)
        return CURLE_ABORTED_BY_CALLBACK;
    return stalled ? CURLE_OPERATION_TIMEDOUT : code;
}

} // namespace

HttpHandle::HttpHandle()
    : m_easy(curl_easy_init())
    , m_multi(curl_multi_init())
{ }

HttpHandle::~HttpHandle()
{
    if (m_multi != nullptr)
        curl_multi_cleanup(static_cast<CURLM*>(m_multi));
    if (m_easy != nullptr)
        curl_easy_cleanup(static_cast<CURL*>(m_easy));
}

HttpResult PerformRequest(const HttpRequest& request, HttpHandle* handle)
{
    HttpResult result;
    if (!IsRequestableUrl(request.url)) {
        result.failure = HttpFailure::BadUrl;
        return result;
    }
    std::optional<HttpHandle> ownHandle;
    if (handle == nullptr)
        handle = &ownHandle.emplace();
    if (!handle->Valid()) {
        result.failure = HttpFailure::Setup;
        result.failedStep = HttpSetupStep::Session;
        return result;
    }
    auto* curl = static_cast<CURL*>(handle->m_easy);
    auto* multi = static_cast<CURLM*>(handle->m_multi);
    curl_easy_reset(curl);

    Transfer transfer { request, result };
    Slist headers;
    result.failedStep = Configure(curl, request, transfer, headers);
    if (result.failedStep != HttpSetupStep::None) {
        result.failure = HttpFailure::Setup;
        return result;
    }
    if (request.cancel && request.cancel->IsCancelled()) {
        result.failure = HttpFailure::Cancelled;
        return result;
    }

    bool cancelled = false;
    transfer.lastActivity = Clock::now();
    const CURLcode code = Run(multi, curl, transfer, cancelled);

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    result.status = static_cast<int>(status);
    long requestBytes = 0;
    curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &requestBytes);
    curl_off_t uploaded = 0;
    curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &uploaded);
    result.requestSent = requestBytes > 0 && (!request.body || uploaded >= request.body->size());

    result.failure = transfer.tooLarge ? HttpFailure::TooLarge : FailureOf(code);
    if (result.failure == HttpFailure::TooLarge)
        result.body.clear(); // a cut-off body is of no use to anyone
    // Keep no reference to the request's buffers in a handle that outlives this call.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, static_cast<const char*>(nullptr));
    return result;
}

} // namespace skysail
