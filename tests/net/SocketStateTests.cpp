#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <QObject>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace brindle;
using namespace brindle::test;
using Kind = SocketValue::Kind;

namespace {
const QString kInvalidOp = QStringLiteral("Invalid operation at current state");
const QString kBadState = QStringLiteral("Wrong protocol or connection state for the requested transaction or request");
const QString kBadArg = QStringLiteral(
    "The argument passed to a function was not in the correct format or in the specified range.");
const QString kUnsupported = QStringLiteral("Unsupported variant type.");
} // namespace

TEST(SocketState, FreshObjectAndInstanceCount)
{
    const int before = modSocket::InstanceCount();
    {
        Socket s;
        EXPECT_EQ(modSocket::InstanceCount(), before + 1);
        EXPECT_EQ(s.State(), Socket::sckClosed);
        EXPECT_EQ(s.SocketHandle(), -1);
        EXPECT_EQ(s.Protocol(), Socket::sckTCPProtocol);
        EXPECT_EQ(s.LocalPort(), 0);
        EXPECT_EQ(s.BytesReceived(), 0);
        s.CloseSck(); // nothing to close: nothing happens
        EXPECT_EQ(s.State(), Socket::sckClosed);
        s.Tag = QStringLiteral("mine");
        EXPECT_EQ(s.Tag, QStringLiteral("mine"));
        EXPECT_FALSE(Socket::LocalHostName().isEmpty());
        EXPECT_EQ(Socket::LocalIP().count(QLatin1Char('.')), 3);
    }
    EXPECT_EQ(modSocket::InstanceCount(), before);
}

TEST(SocketState, PortsOutOfRangeAndNonNumericPorts)
{
    Socket s;
    for (int bad : {-1, 65536, 70000}) {
        const Raised r = raisedBy([&] { s.SetRemotePort(bad); });
        EXPECT_EQ(r.number, 40014);
        EXPECT_EQ(r.description, kBadArg);
        EXPECT_EQ(r.source, QStringLiteral("Socket.RemotePort"));
        EXPECT_EQ(raisedBy([&] { s.SetLocalPort(bad); }).number, 40014);
    }
    EXPECT_EQ(raisedBy([&] { s.SetProtocol(2); }).number, 40014);
    EXPECT_EQ(raisedBy([&] { s.Connect(QStringLiteral("127.0.0.1"), 70000); }).number, 40014);
    EXPECT_EQ(raisedBy([&] { s.Connect(QStringLiteral("127.0.0.1"), 0); }).number, 40014);
    EXPECT_EQ(raisedBy([&] { s.Connect(QStringLiteral("127.0.0.1"), 80.5); }).number, 40014);
    const Raised text = raisedBy([&] { s.Connect(QStringLiteral("127.0.0.1"), "http"); });
    EXPECT_EQ(text.number, 40018);
    EXPECT_EQ(text.description, kUnsupported);
    EXPECT_EQ(text.source, QStringLiteral("Socket.Connect"));
    EXPECT_EQ(raisedBy([&] { s.Connect(QStringLiteral("127.0.0.1")); }).number, 40014); // port 0 unset
    EXPECT_EQ(raisedBy([&] { s.Bind(-5); }).number, 40014);
    EXPECT_EQ(raisedBy([&] { s.Bind(0, QStringLiteral("not an address")); }).number, 40014);
    EXPECT_EQ(s.State(), Socket::sckClosed);
    EXPECT_EQ(s.SocketHandle(), -1);
    EXPECT_EQ(s.RemotePort(), 0);
}

TEST(SocketState, SettingPropertiesOutsideTheClosedStateFails)
{
    LoopbackPair p;
    p.open();
    const struct {
        const char* source;
        std::function<void()> call;
    } sets[] = {
        {"Socket.Protocol", [&] { p.client.SetProtocol(Socket::sckUDPProtocol); }},
        {"Socket.RemotePort", [&] { p.client.SetRemotePort(1); }},
        {"Socket.RemoteHost", [&] { p.client.SetRemoteHost(QStringLiteral("127.0.0.2")); }},
        {"Socket.LocalPort", [&] { p.client.SetLocalPort(1); }},
        {"Socket.LocalPort", [&] { p.server.SetLocalPort(1); }},
    };
    for (const auto& s : sets) {
        const Raised r = raisedBy(s.call);
        EXPECT_EQ(r.number, 40020) << s.source;
        EXPECT_EQ(r.description, kInvalidOp);
        EXPECT_EQ(r.source, QString::fromLatin1(s.source));
    }
    EXPECT_EQ(p.client.Protocol(), Socket::sckTCPProtocol);
    EXPECT_EQ(p.client.RemotePort(), p.server.LocalPort());
    EXPECT_EQ(p.client.RemoteHost(), QStringLiteral("127.0.0.1"));
}

TEST(SocketState, MethodsInTheWrongState)
{
    Socket closed;
    SocketValue v;
    Raised r = raisedBy([&] { closed.SendData("x"); });
    EXPECT_EQ(r.number, 40006);
    EXPECT_EQ(r.description, kBadState);
    EXPECT_EQ(r.source, QStringLiteral("Socket.SendData"));
    r = raisedBy([&] { closed.GetData(v); });
    EXPECT_EQ(r.number, 40006);
    EXPECT_EQ(r.source, QStringLiteral("Socket.GetData"));
    EXPECT_EQ(raisedBy([&] { closed.PeekData(v); }).source, QStringLiteral("Socket.PeekData"));
    EXPECT_EQ(raisedBy([&] { closed.Accept(12345); }).number, 40006);

    LoopbackPair p;
    p.open();
    EXPECT_EQ(raisedBy([&] { p.client.Connect(); }).number, 40020);
    EXPECT_EQ(raisedBy([&] { p.client.Bind(); }).number, 40020);
    EXPECT_EQ(raisedBy([&] { p.client.Listen(); }).number, 40020);
    EXPECT_EQ(raisedBy([&] { p.server.Connect(); }).number, 40020);
    EXPECT_EQ(raisedBy([&] { p.server.SendData("x"); }).number, 40006);
    EXPECT_EQ(raisedBy([&] { p.server.GetData(v); }).number, 40006);
    r = raisedBy([&] { p.client.SendData(SocketValue::ofKind(Kind::Decimal)); });
    EXPECT_EQ(r.number, 40018);
    EXPECT_EQ(r.description, kUnsupported);
    SocketValue object = SocketValue::ofKind(Kind::Object);
    EXPECT_EQ(raisedBy([&] { p.client.GetData(object); }).number, 40018);
    EXPECT_EQ(raisedBy([&] { p.client.GetData(v, Kind::ByteArray, -1); }).number, 40014);
    EXPECT_EQ(p.client.State(), Socket::sckConnected);
}

TEST(SocketState, BindListenAndPortInUse)
{
    Socket a;
    a.Bind(0, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(a.State(), Socket::sckOpen);
    const int port = a.LocalPort();
    EXPECT_GT(port, 0);
    a.Listen();
    EXPECT_EQ(a.State(), Socket::sckListening);
    EXPECT_EQ(a.LocalPort(), port);

    Socket b;
    b.SetLocalPort(port);
    const Raised r = raisedBy([&] { b.Listen(); });
    EXPECT_EQ(r.number, 10048);
    EXPECT_EQ(r.description, QStringLiteral("Address already in use."));
    EXPECT_EQ(r.source, QStringLiteral("Socket.Listen"));
    EXPECT_EQ(b.State(), Socket::sckClosed);
    EXPECT_EQ(b.SocketHandle(), -1);
    EXPECT_EQ(raisedBy([&] { b.Bind(port, QStringLiteral("127.0.0.1")); }).source, QStringLiteral("Socket.Bind"));

    // Closing gives the port back; a new listener can take it at once.
    a.CloseSck();
    EXPECT_EQ(a.State(), Socket::sckClosed);
    EXPECT_EQ(a.LocalPort(), 0);
    b.Bind(port, QStringLiteral("127.0.0.1"));
    b.Listen();
    EXPECT_EQ(b.LocalPort(), port);

    Socket udp;
    udp.SetProtocol(Socket::sckUDPProtocol);
    EXPECT_EQ(raisedBy([&] { udp.Listen(); }).number, 10045);
    EXPECT_EQ(udp.State(), Socket::sckClosed);
}

TEST(SocketState, NotificationErrorsSetErrorStateAndMayAskForAMessageBox)
{
    std::vector<std::pair<QString, QString>> boxes;
    auto old = modSocket::SetMessageBoxHandler(
        [&](const QString& text, const QString& caption) { boxes.emplace_back(text, caption); });

    LoopbackPair p;
    Recorder rec(p.client);
    p.open();
    p.client.WndProc(p.client.SocketHandle(), modSocket::Notify::Read, 10054);
    EXPECT_EQ(p.client.State(), Socket::sckError);
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].number, 10054);
    EXPECT_EQ(rec.errors[0].description, QStringLiteral("Connection reset by peer."));
    EXPECT_TRUE(boxes.empty()); // CancelDisplay left as raised: no box

    // Notifications for another handle are not this object's business.
    p.conn.WndProc(p.client.SocketHandle(), modSocket::Notify::Close, 0);
    EXPECT_EQ(p.conn.State(), Socket::sckConnected);

    Recorder connRec(p.conn);
    connRec.clearCancelDisplay = true;
    p.conn.WndProc(p.conn.SocketHandle(), modSocket::Notify::Write, 10055);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, QStringLiteral("No buffer space available."));
    EXPECT_EQ(boxes[0].second, connRec.errors[0].source);

    modSocket::SetMessageBoxHandler(std::move(old));
    p.client.CloseSck();
    EXPECT_EQ(p.client.State(), Socket::sckClosed);
}

TEST(SocketState, NotificationWindowLivesWhileHandlesAreRegistered)
{
    ASSERT_TRUE(modSocket::RegisteredHandles().empty());
    EXPECT_EQ(modSocket::NotificationWindow(), nullptr);
    Socket s;
    s.Bind(0, QStringLiteral("127.0.0.1"));
    ASSERT_NE(modSocket::NotificationWindow(), nullptr);
    EXPECT_EQ(modSocket::NotificationWindow()->objectName(), QStringLiteral("SOCKET_WINDOW"));
    EXPECT_EQ(modSocket::SocketFor(s.SocketHandle()), &s);
    s.CloseSck();
    EXPECT_EQ(modSocket::NotificationWindow(), nullptr);
    EXPECT_TRUE(modSocket::RegisteredHandles().empty());
}

TEST(SocketState, FailedSocketCreationRaisesErrorAndCloseRecovers)
{
    Socket s;
    Recorder rec(s);
    {
        // Raise one error event first: the sanitizer's type checks on that path open
        // a pipe the first time, which would fail once no file can be opened.
        Socket warm;
        Recorder warmRec(warm);
        warm.Bind(0, QStringLiteral("127.0.0.1"));
        warm.WndProc(warm.SocketHandle(), modSocket::Notify::Read, 10055);
        ASSERT_EQ(warmRec.errors.size(), 1u);
    }
    // Let the process open no further file: the next socket() fails with EMFILE.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    ::close(probe);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(probe);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const Raised r = raisedBy([&] { s.Bind(0, QStringLiteral("127.0.0.1")); });
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(r.number, 0); // reported through the event, not raised
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].number, 10024);
    EXPECT_EQ(rec.errors[0].description, QStringLiteral("Too many open files."));
    EXPECT_EQ(rec.errors[0].source, QStringLiteral("Socket.Bind"));
    EXPECT_EQ(s.State(), Socket::sckError);
    EXPECT_EQ(s.SocketHandle(), -1);
    EXPECT_EQ(raisedBy([&] { s.Listen(); }).number, 40020);
    s.CloseSck();
    EXPECT_EQ(s.State(), Socket::sckClosed);
    s.Bind(0, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.State(), Socket::sckOpen);
}

TEST(SocketState, BoundPortIsNotSharedButAListenerRestartsAtOnce)
{
    Socket a, b;
    a.Bind(0, QStringLiteral("127.0.0.1"));
    const int port = a.LocalPort();
    const Raised r = raisedBy([&] { b.Bind(port, QStringLiteral("127.0.0.1")); });
    EXPECT_EQ(r.number, 10048);
    EXPECT_EQ(r.description, QStringLiteral("Address already in use."));
    EXPECT_EQ(r.source, QStringLiteral("Socket.Bind"));
    EXPECT_EQ(b.State(), Socket::sckClosed);
    EXPECT_EQ(b.SocketHandle(), -1);

    // The listener's end of a connection closes first and stays in TIME_WAIT.
    a.Listen();
    Socket conn, client;
    QObject::connect(&a, &Socket::ConnectionRequest, &conn, [&](int id) { conn.Accept(id); });
    Recorder clientRec(client);
    client.Connect(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(waitFor([&] { return conn.State() == Socket::sckConnected; }));
    conn.CloseSck();
    ASSERT_TRUE(waitFor([&] { return clientRec.closes == 1; }));
    client.CloseSck();
    a.CloseSck();
    spin(20);
    const int plain = rawBoundTo(port);
    EXPECT_LT(plain, 0) << "the port should still be held by TIME_WAIT";
    if (plain >= 0)
        ::close(plain);

    b.Bind(port, QStringLiteral("127.0.0.1"));
    b.Listen();
    EXPECT_EQ(b.State(), Socket::sckListening);
    EXPECT_EQ(b.LocalPort(), port);
}
