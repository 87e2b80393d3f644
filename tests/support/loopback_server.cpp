#include "support/loopback_server.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace skysail::test {

QByteArray CapturedRequest::Header(const QByteArray& name) const
{
    for (const QByteArray& line : headerLines) {
        const qsizetype colon = line.indexOf(':');
        if (colon >= 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

QList<QByteArray> CapturedRequest::HeaderNames() const
{
    QList<QByteArray> names;
    for (const QByteArray& line : headerLines)
        names.append(line.left(line.indexOf(':')));
    return names;
}

// The server's certificate and key, made fresh for each TLS server.
struct LoopbackServer::Tls
{
    Tls()
    {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(
            name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(kCertificateHost), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509V3_CTX v3;
        X509V3_set_ctx_nodb(&v3);
        X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
        const QByteArray alt = QByteArray("DNS:") + kCertificateHost;
        if (X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &v3, NID_subject_alt_name, alt.constData())) {
            X509_add_ext(cert, ext, -1);
            X509_EXTENSION_free(ext);
        }
        X509_sign(cert, key, EVP_sha256());
        context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(context, cert);
        SSL_CTX_use_PrivateKey(context, key);
        X509_free(cert);
        EVP_PKEY_free(key);
    }
    ~Tls() { SSL_CTX_free(context); }

    SSL_CTX* context = nullptr;
};

LoopbackServer::LoopbackServer(Handler handler, Transport transport)
    : m_handler(std::move(handler))
{
    // A client that hangs up while we write must not end the test run.
    std::signal(SIGPIPE, SIG_IGN);
    if (transport == Transport::Tls)
        m_tls = std::make_unique<Tls>();

    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listener, 64);
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (int socket : m_sockets)
            ::shutdown(socket, SHUT_RDWR);
    }
    m_changed.notify_all();
    m_acceptor.join();
    for (std::thread& worker : m_workers)
        worker.join();
    ::close(m_listener);
}

QByteArray LoopbackServer::Url(const QByteArray& path) const
{
    return (m_tls ? "https" : "http") + QByteArray("://127.0.0.1:") + QByteArray::number(m_port) + path;
}

std::vector<CapturedRequest> LoopbackServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int LoopbackServer::AcceptedConnections() const
{
    std::lock_guard lock(m_mutex);
    return m_accepted;
}

bool LoopbackServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

LoopbackServer::Handler LoopbackServer::Canned(QByteArray reply)
{
    return [reply](const CapturedRequest&, Connection& connection) { connection.Send(reply); };
}

bool LoopbackServer::Stopping() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void LoopbackServer::WaitUntilStopping()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stopping; });
}

void LoopbackServer::AcceptLoop()
{
    while (!Stopping()) {
        pollfd waiting { m_listener, POLLIN, 0 };
        if (::poll(&waiting, 1, 50) <= 0)
            continue;
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        const int yes = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(socket);
            break;
        }
        ++m_accepted;
        m_sockets.push_back(socket);
        m_workers.emplace_back([this, socket] { Serve(socket); });
    }
}

namespace {

qsizetype ContentLength(const QList<QByteArray>& headerLines)
{
    CapturedRequest probe;
    probe.headerLines = headerLines;
    return probe.Header("Content-Length").toLongLong();
}

} // namespace

void LoopbackServer::Serve(int socket)
{
    SSL* ssl = nullptr;
    if (m_tls) {
        ssl = SSL_new(m_tls->context);
        SSL_set_fd(ssl, socket);
        if (SSL_accept(ssl) <= 0) {
            SSL_free(ssl);
            Forget(socket);
            ::close(socket);
            return;
        }
    }
    const auto receive = [&](char* buffer, int size) -> int {
        return ssl ? SSL_read(ssl, buffer, size) : static_cast<int>(::recv(socket, buffer, size, 0));
    };

    Connection connection(*this, socket, ssl);
    QByteArray pending;
    char buffer[65536];
    bool open = true;
    while (open && !connection.m_closed) {
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0) {
            const int got = receive(buffer, sizeof buffer);
            if (got <= 0)
                break;
            pending.append(buffer, got);
            continue;
        }
        CapturedRequest request;
        const QList<QByteArray> lines = pending.left(end).split('\n');
        for (QByteArray line : lines) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (request.requestLine.isEmpty())
                request.requestLine = line;
            else
                request.headerLines.append(line);
        }
        const QList<QByteArray> words = request.requestLine.split(' ');
        request.method = words.value(0);
        request.target = words.value(1);
        const qsizetype bodyLength = request.method == "CONNECT" ? 0 : ContentLength(request.headerLines);
        const qsizetype total = end + 4 + bodyLength;
        while (pending.size() < total) {
            const int got = receive(buffer, sizeof buffer);
            if (got <= 0) {
                open = false;
                break;
            }
            pending.append(buffer, got);
        }
        if (!open)
            break;
        request.raw = pending.left(total);
        request.body = request.raw.mid(end + 4);
        pending.remove(0, total);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        m_changed.notify_all();
        m_handler(request, connection);
        if (connection.m_socket < 0)
            return; // reset by the handler
    }
    if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    ::shutdown(socket, SHUT_WR);
    Forget(socket);
    ::close(socket);
}

// Taken off the list before it is closed, so that the destructor never shuts down a
// descriptor number that the process has meanwhile reused.
void LoopbackServer::Forget(int socket)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_sockets, socket);
}

void Connection::Send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size() && m_socket >= 0) {
        const int chunk = static_cast<int>(std::min<qsizetype>(bytes.size() - sent, 1 << 20));
        const long wrote = m_ssl ? SSL_write(static_cast<SSL*>(m_ssl), bytes.constData() + sent, chunk)
                                 : ::send(m_socket, bytes.constData() + sent, chunk, MSG_NOSIGNAL);
        if (wrote <= 0)
            return;
        sent += wrote;
    }
}

void Connection::Reset()
{
    if (m_socket < 0)
        return;
    const linger abortive { 1, 0 };
    ::setsockopt(m_socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    if (m_ssl)
        SSL_free(static_cast<SSL*>(m_ssl));
    m_server.Forget(m_socket);
    ::close(m_socket);
    m_socket = -1;
}

void Connection::Stall()
{
    m_server.WaitUntilStopping();
    m_closed = true;
}

QByteArray HttpReply(int status, const QList<QByteArray>& headerLines, const QByteArray& body)
{
    const char* reason = status == 200 ? "OK"
        : status == 301                ? "Moved Permanently"
        : status == 302                ? "Found"
        : status == 404                ? "Not Found"
                                       : "Status";
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    for (const QByteArray& line : headerLines)
        reply += line + "\r\n";
    reply += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return reply;
}

} // namespace skysail::test
