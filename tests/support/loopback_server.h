#pragma once

#include <QByteArray>
#include <QList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace skysail::test {

// One request as it arrived, byte for byte.
struct CapturedRequest
{
    QByteArray raw; // header block and body exactly as received
    QByteArray requestLine; // e.g. "GET /x HTTP/1.1"
    QByteArray method;
    QByteArray target; // origin form "/x", or absolute form when sent to a proxy
    QList<QByteArray> headerLines; // in order, without their CR LF
    QByteArray body;

    // The value of the first header of that name (any case), trimmed; empty when absent.
    QByteArray Header(const QByteArray& name) const;
    // The header names in the order they came, as written.
    QList<QByteArray> HeaderNames() const;
};

class Connection;

// A server on 127.0.0.1 and a free port that records every request and lets a handler
// answer each one: with canned bytes, in pieces, not at all, or by resetting the line.
// Plain or TLS (a certificate made at start for a host name that is not 127.0.0.1).
// Connections are kept alive until the client or the handler ends them.
class LoopbackServer
{
public:
    using Handler = std::function<void(const CapturedRequest&, Connection&)>;

    enum class Transport
    {
        Plain,
        Tls
    };

    explicit LoopbackServer(Handler handler, Transport transport = Transport::Plain);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    quint16 Port() const { return m_port; }
    // "http://127.0.0.1:<port>" (or https) followed by path.
    QByteArray Url(const QByteArray& path = "/") const;
    QString UrlText(const QByteArray& path = "/") const { return QString::fromLatin1(Url(path)); }

    std::vector<CapturedRequest> Requests() const;
    int AcceptedConnections() const;
    // Blocks until this many requests have arrived or the time is up; true when they have.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // The host name the TLS certificate is made out to.
    static constexpr const char* kCertificateHost = "other-host.example";

    // A handler that answers every request with the same bytes.
    static Handler Canned(QByteArray reply);

private:
    friend class Connection;
    struct Tls;

    void AcceptLoop();
    void Serve(int socket);
    bool Stopping() const;
    void Forget(int socket);
    void WaitUntilStopping();

    Handler m_handler;
    std::unique_ptr<Tls> m_tls;
    int m_listener = -1;
    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_stopping = false;
    std::vector<CapturedRequest> m_requests;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_workers;
    int m_accepted = 0;
    std::thread m_acceptor;
};

// The handler's side of one connection.
class Connection
{
public:
    void Send(const QByteArray& bytes);
    // Ends the connection in order after the handler returns.
    void Close() { m_closed = true; }
    // Ends it at once with a TCP reset.
    void Reset();
    // Sends nothing more until the server is destroyed.
    void Stall();

private:
    friend class LoopbackServer;
    Connection(LoopbackServer& server, int socket, void* ssl)
        : m_server(server)
        , m_socket(socket)
        , m_ssl(ssl)
    { }
    LoopbackServer& m_server;
    int m_socket;
    void* m_ssl;
    bool m_closed = false;
};

// "HTTP/1.1 <status> <reason>", the given header lines, a Content-Length line, the body.
QByteArray HttpReply(int status, const QList<QByteArray>& headerLines = {}, const QByteArray& body = {});

} // namespace skysail::test
