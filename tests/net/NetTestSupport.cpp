#include "NetTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brindle::test {

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return done();
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

Recorder::Recorder(Socket& s)
{
    QObject::connect(&s, &SocketEvents::Connect, [this] {
        ++connects;
        log.push_back("Connect");
    });
    QObject::connect(&s, &SocketEvents::CloseSck, [this] {
        ++closes;
        log.push_back("CloseSck");
    });
    QObject::connect(&s, &Socket::ConnectionRequest, [this](int id) {
        requests.push_back(id);
        log.push_back("ConnectionRequest");
    });
    QObject::connect(&s, &Socket::DataArrival, [this](qint64 n) {
        arrivals.push_back(n);
        log.push_back("DataArrival");
    });
    QObject::connect(&s, &Socket::SendProgress, [this](qint64 sent, qint64 left) {
        progress.emplace_back(sent, left);
        log.push_back("SendProgress");
    });
    QObject::connect(&s, &Socket::SendComplete, [this] {
        ++completes;
        log.push_back("SendComplete");
    });
    QObject::connect(&s, &Socket::Error,
                     [this](int number, const QString& description, int sCode, const QString& source,
                            const QString& helpFile, int helpContext, bool& cancelDisplay) {
                         errors.push_back({number, description, sCode, source, helpFile, helpContext});
                         log.push_back("Error");
                         if (clearCancelDisplay)
                             cancelDisplay = false;
                     });
}

Raised raisedBy(const std::function<void()>& call)
{
    try {
        call();
    } catch (const SocketException& e) {
        return {e.Number(), e.Description(), e.Source()};
    }
    return {};
}

void LoopbackPair::open()
{
    QObject::connect(&server, &Socket::ConnectionRequest, &conn, [this](int id) { conn.Accept(id); });
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    client.Connect(QStringLiteral("127.0.0.1"), server.LocalPort());
    ASSERT_TRUE(
        waitFor([&] { return client.State() == Socket::sckConnected && conn.State() == Socket::sckConnected; }));
}

namespace {
sockaddr_in loopback(int port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}
} // namespace

int rawListener(int rcvBuf)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (rcvBuf > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvBuf, sizeof rcvBuf);
    sockaddr_in sa = loopback(0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 5) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int rawBoundNotListening()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa = loopback(0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int rawBoundTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa = loopback(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int portOf(int fd)
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
}

int rawAccept(int listener, int timeoutMs)
{
    int fd = -1;
    waitFor(
        [&] {
            fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            return fd >= 0;
        },
        timeoutMs);
    return fd;
}

} // namespace brindle::test
