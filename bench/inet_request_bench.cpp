// A 20 MB POST through InetRequest against a bare libcurl POST of the same bytes to the
// same loopback sink: the ratio of the two is the transport's overhead.
#include "services/inet_request.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Reads each request whole and answers at once, headers and body in one write.
class Sink
{
public:
    Sink()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 16);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Loop(); });
    }
    ~Sink()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    QByteArray Url() const { return "http://127.0.0.1:" + QByteArray::number(m_port) + "/sink"; }

private:
    void Loop()
    {
        static const char reply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
        std::vector<char> buffer(1 << 20);
        while (!m_stop) {
            pollfd waiting { m_listener, POLLIN, 0 };
            if (::poll(&waiting, 1, 50) <= 0)
                continue;
            const int socket = ::accept(m_listener, nullptr, nullptr);
            if (socket < 0)
                continue;
            const int yes = 1;
            ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            QByteArray head;
            long long bodyLeft = -1;
            while (true) {
                const long got = ::recv(socket, buffer.data(), buffer.size(), 0);
                if (got <= 0)
                    break;
                if (bodyLeft < 0) {
                    head.append(buffer.data(), got);
                    const qsizetype end = head.indexOf("\r\n\r\n");
                    if (end < 0)
                        continue;
                    const qsizetype at = head.toLower().indexOf("content-length:");
                    const long long length
                        = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
                    bodyLeft = length - (head.size() - end - 4);
                } else {
                    bodyLeft -= got;
                }
                if (bodyLeft <= 0)
                    break;
            }
            ::send(socket, reply, sizeof reply - 1, MSG_NOSIGNAL);
            ::shutdown(socket, SHUT_WR);
            ::close(socket);
        }
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

const QByteArray& Payload()
{
    static const QByteArray payload(20 * 1000 * 1000, 'p');
    return payload;
}

Sink& SharedSink()
{
    static Sink sink;
    return sink;
}

size_t Discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// The floor: one easy handle per POST, as the transport opens one per request.
void BareCurlPost(benchmark::State& state)
{
    const QByteArray url = SharedSink().Url();
    for (auto _ : state) {
        CURL* curl = curl_easy_init();
        curl_slist* headers = curl_slist_append(nullptr, "Expect:");
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(Payload().size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, Payload().constData());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard);
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        const CURLcode code = curl_easy_perform(curl);
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        if (code != CURLE_OK)
            state.SkipWithError("bare POST failed");
    }
    state.SetBytesProcessed(state.iterations() * Payload().size());
}

void InetRequestPost(benchmark::State& state)
{
    const QString url = QString::fromLatin1(SharedSink().Url());
    for (auto _ : state) {
        QString cookies, returned, headers, redirect, raw;
        QByteArray body = Payload();
        const QByteArray reply
            = skysail::InetRequest(url, 1, {}, cookies, returned, headers, redirect, false, body, {}, raw);
        if (reply != "ok")
            state.SkipWithError("InetRequest POST failed");
    }
    state.SetBytesProcessed(state.iterations() * Payload().size());
}

BENCHMARK(BareCurlPost)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(InetRequestPost)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_ALL);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
