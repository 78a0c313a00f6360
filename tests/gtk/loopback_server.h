// A small HTTP server on 127.0.0.1 for the GTK tests: listens on a port the
// system picks, accepts on a thread of its own, reads each request's head on
// a thread per connection and sends what the test's handler answers. Stopping
// it (its destructor) wakes and joins every thread and closes every socket.
#pragma once

#include "platform/posix/fd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace nilo::gtk {

class LoopbackServer {
public:
    // Called on the connection's own thread with the request's head (request
    // line and headers). Returns the whole response to send before the
    // connection is closed, or nullopt to hold it open, unanswered, until the
    // server stops.
    using Handler = std::function<std::optional<std::string>(const std::string& request)>;

    // Throws std::system_error when the socket cannot be made, bound or
    // listened on, so the test fails saying why.
    explicit LoopbackServer(Handler handler) : m_handler(std::move(handler)) {
        m_listener.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!m_listener) Fail("socket");
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (::bind(m_listener.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) Fail("bind");
        if (::listen(m_listener.Get(), 16) != 0) Fail("listen");
        socklen_t len = sizeof addr;
        if (::getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) Fail("getsockname");
        m_port = ntohs(addr.sin_port);
        m_acceptor = std::thread([this] { AcceptLoop(); });
    }

    ~LoopbackServer() {
        // Every loop below looks at m_stopping at least once a tick.
        m_stopping = true;
        m_acceptor.join();
        for (auto& t : m_connections) t.join();
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

    // The request target of a request's head ("/a?b" of "GET /a?b HTTP/1.1"),
    // or empty when there is none.
    static std::string PathOf(const std::string& request) {
        const size_t start = request.find(' ');
        const size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
        return end == std::string::npos ? std::string() : request.substr(start + 1, end - start - 1);
    }

private:
    static constexpr int kTickMs = 50;

    [[noreturn]] static void Fail(const char* what) {
        throw std::system_error(errno, std::generic_category(), std::string("loopback server: ") + what);
    }

    // Whether fd is ready for events within one tick.
    static bool Ready(int fd, short events) {
        pollfd p{fd, events, 0};
        return ::poll(&p, 1, kTickMs) > 0;
    }

    void AcceptLoop() {
        while (!m_stopping) {
            if (!Ready(m_listener.Get(), POLLIN)) continue;
            posix::UniqueFd client(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client) m_connections.emplace_back([this, c = std::move(client)] { Serve(c.Get()); });
        }
    }

    void Serve(int client) {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && !m_stopping) {
            if (!Ready(client, POLLIN)) continue;
            const ssize_t n = ::recv(client, buf, sizeof buf, 0);
            if (n <= 0) return;
            request.append(buf, size_t(n));
        }
        if (m_stopping) return;
        const std::optional<std::string> response = m_handler(request);
        if (response) {
            Send(client, *response);
        } else {
            while (!m_stopping) std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
        }
    }

    // All of data, unless the peer goes or the server stops first.
    void Send(int client, const std::string& data) {
        size_t sent = 0;
        while (sent < data.size() && !m_stopping) {
            if (!Ready(client, POLLOUT)) continue;
            const ssize_t n = ::send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += size_t(n);
        }
    }

    Handler m_handler;
    posix::UniqueFd m_listener;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;  // touched by the acceptor only, joined after it
};

}  // namespace nilo::gtk
