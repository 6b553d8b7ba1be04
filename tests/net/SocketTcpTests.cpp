#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace brindle;
using namespace brindle::test;
using Kind = SocketValue::Kind;

TEST(SocketTcp, ConnectAcceptAndDataBothWays)
{
    LoopbackPair p;
    Recorder server(p.server), conn(p.conn), client(p.client);
    int seenPort = -1;
    QString seenIP, seenHost;
    QObject::connect(&p.server, &Socket::ConnectionRequest, [&](int) {
        seenPort = p.server.RemotePort();
        seenIP = p.server.RemoteHostIP();
        seenHost = p.server.RemoteHost();
    });
    p.open();
    ASSERT_EQ(server.requests.size(), 1u);
    // The listener shows the caller's end during the request and its own afterwards.
    EXPECT_EQ(seenPort, p.client.LocalPort());
    EXPECT_EQ(seenIP, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(seenHost, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(p.server.RemotePort(), 0);
    EXPECT_TRUE(p.server.RemoteHostIP().isEmpty());
    EXPECT_TRUE(p.server.RemoteHost().isEmpty());
    EXPECT_EQ(p.server.State(), Socket::sckListening);

    EXPECT_EQ(client.connects, 1);
    EXPECT_EQ(p.conn.SocketHandle(), server.requests[0]);
    EXPECT_FALSE(p.conn.IsAcceptedPending());
    EXPECT_EQ(p.client.RemoteHostIP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(p.client.RemotePort(), p.server.LocalPort());
    EXPECT_EQ(p.conn.RemotePort(), p.client.LocalPort());
    EXPECT_EQ(p.conn.LocalPort(), p.server.LocalPort());
    EXPECT_NE(p.client.LocalPort(), 0);

    p.client.SendData("hello");
    ASSERT_TRUE(waitFor([&] { return p.conn.BytesReceived() == 5; }));
    EXPECT_EQ(conn.arrivals.back(), 5);
    EXPECT_EQ(client.log.back(), "SendComplete");
    ASSERT_GE(client.progress.size(), 1u);
    EXPECT_EQ(client.progress.back(), std::make_pair(qint64{5}, qint64{0}));

    SocketValue peeked;
    p.conn.PeekData(peeked, Kind::String);
    EXPECT_EQ(peeked.toString(), QStringLiteral("hello"));
    EXPECT_EQ(p.conn.BytesReceived(), 5);
    SocketValue part;
    p.conn.GetData(part, Kind::String, 2);
    EXPECT_EQ(part.toString(), QStringLiteral("he"));
    SocketValue rest; // no kind, no type: a byte array of everything
    p.conn.GetData(rest);
    EXPECT_EQ(rest.kind(), Kind::ByteArray);
    EXPECT_EQ(rest.toByteArray(), QByteArray("llo"));
    EXPECT_EQ(p.conn.BytesReceived(), 0);

    p.conn.SendData(QByteArray("back", 4));
    ASSERT_TRUE(waitFor([&] { return p.client.BytesReceived() == 4; }));
    SocketValue got;
    p.client.GetData(got);
    EXPECT_EQ(got.toByteArray(), QByteArray("back"));
    EXPECT_TRUE(server.errors.empty() && conn.errors.empty() && client.errors.empty());
}

TEST(SocketTcp, EveryValueKindRoundTrips)
{
    LoopbackPair p;
    p.open();
    const QString text = QStringLiteral("Caf\u00e9 \u20ac");
    const std::vector<SocketValue> sent = {
        SocketValue(std::int16_t{-12345}),
        SocketValue(true),
        SocketValue(std::int32_t{-7}),
        SocketValue(3.25f),
        SocketValue(-1.0e300),
        SocketValue(SocketCurrency{-98765432100}),
        SocketValue(SocketDate{36526.5}),
        SocketValue(std::uint8_t{200}),
        SocketValue(text),
        SocketValue(QByteArray("\0\x01", 2)),
    };
    qint64 total = 0;
    for (const auto& v : sent) {
        p.client.SendData(v);
        QByteArray b;
        v.toBytes(b);
        total += b.size();
    }
    ASSERT_TRUE(waitFor([&] { return p.conn.BytesReceived() == total; }));
    for (const auto& v : sent) {
        SocketValue got = SocketValue::ofKind(v.kind()); // the variable's own kind decides
        if (v.kind() == Kind::String)
            p.conn.GetData(got, std::nullopt, 6);
        else if (v.kind() == Kind::ByteArray)
            p.conn.GetData(got, std::nullopt, 2);
        else
            p.conn.GetData(got);
        EXPECT_EQ(got, v) << static_cast<int>(v.kind());
    }
    EXPECT_EQ(p.conn.BytesReceived(), 0);
}

TEST(SocketTcp, FixedSizeReadWaitsUntilAllBytesAreThere)
{
    LoopbackPair p;
    p.open();
    const std::int32_t value = 0x11223344;
    QByteArray bytes;
    SocketValue(value).toBytes(bytes);
    p.client.SendData(bytes.left(3));
    ASSERT_TRUE(waitFor([&] { return p.conn.BytesReceived() == 3; }));
    SocketValue v;
    p.conn.GetData(v, Kind::Long);
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(p.conn.BytesReceived(), 3);
    p.client.SendData(bytes.mid(3));
    ASSERT_TRUE(waitFor([&] { return p.conn.BytesReceived() == 4; }));
    p.conn.GetData(v, Kind::Long);
    EXPECT_EQ(v.kind(), Kind::Long);
    EXPECT_EQ(v.toLong(), value);
    EXPECT_EQ(p.conn.BytesReceived(), 0);
}

TEST(SocketTcp, LargeSendToASlowReaderReportsProgressThenCompletesOnce)
{
    const int listener = rawListener(4096);
    ASSERT_GE(listener, 0);
    Socket client;
    Recorder rec(client);
    client.Connect(QStringLiteral("127.0.0.1"), portOf(listener));
    const int peer = rawAccept(listener);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(waitFor([&] { return client.State() == Socket::sckConnected; }));
    // Small kernel buffers on both sides so the transfer has to wait for the reader.
    const int small = 4096;
    ::setsockopt(client.SocketHandle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);

    const qint64 total = 100000;
    QByteArray data(total, Qt::Uninitialized);
    for (qint64 i = 0; i < total; ++i)
        data[i] = static_cast<char>(i % 251);
    QByteArray received;
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        char buf[2048];
        const ssize_t n = ::recv(peer, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0)
            received.append(buf, n);
    });
    client.SendData(data);
    reader.start(1);
    ASSERT_TRUE(waitFor([&] { return received.size() == total && rec.completes > 0; }, 8000));
    spin(20);
    reader.stop();

    EXPECT_EQ(received, data);
    EXPECT_EQ(rec.completes, 1);
    EXPECT_EQ(rec.log.back(), "SendComplete");
    ASSERT_GE(rec.progress.size(), 3u);
    EXPECT_EQ(rec.progress.back(), std::make_pair(total, qint64{0}));
    qint64 last = 0;
    for (std::size_t i = 0; i < rec.progress.size(); ++i) {
        const auto [sent, left] = rec.progress[i];
        EXPECT_GT(sent, last);
        EXPECT_EQ(sent + left, total);
        if (i + 1 < rec.progress.size()) {
            EXPECT_GT(left, 0);
        }
        last = sent;
    }
    ::close(peer);
    ::close(listener);
}

TEST(SocketTcp, RefusedConnectionRaisesTheErrorEvent)
{
    const int bound = rawBoundNotListening();
    ASSERT_GE(bound, 0);
    Socket client;
    Recorder rec(client);
    client.Connect(QStringLiteral("127.0.0.1"), portOf(bound));
    ASSERT_TRUE(waitFor([&] { return !rec.errors.empty(); }));
    EXPECT_EQ(rec.errors[0].number, 10061);
    EXPECT_EQ(rec.errors[0].description, QStringLiteral("Connection refused."));
    EXPECT_EQ(rec.errors[0].source, QStringLiteral("Socket.Connect"));
    EXPECT_EQ(rec.errors[0].sCode, 0);
    EXPECT_TRUE(rec.errors[0].helpFile.isEmpty());
    EXPECT_EQ(rec.errors[0].helpContext, 0);
    EXPECT_EQ(client.State(), Socket::sckError);
    EXPECT_EQ(rec.connects, 0);
    spin(30); // an error state is quiet: no repeated events
    EXPECT_EQ(rec.errors.size(), 1u);
    client.CloseSck();
    EXPECT_EQ(client.State(), Socket::sckClosed);
    EXPECT_EQ(client.SocketHandle(), -1);
    ::close(bound);
}

TEST(SocketTcp, PeerCloseThenCloseAndReuse)
{
    LoopbackPair p;
    Recorder rec(p.client);
    p.open();
    p.conn.SendData("last words");
    p.conn.CloseSck();
    EXPECT_EQ(p.conn.State(), Socket::sckClosed);
    ASSERT_TRUE(waitFor([&] { return rec.closes == 1; }));
    EXPECT_EQ(p.client.State(), Socket::sckClosing);
    // Data that came before the close arrived first and can still be read.
    EXPECT_EQ(rec.log.back(), "CloseSck");
    EXPECT_EQ(rec.log[rec.log.size() - 2], "DataArrival");
    SocketValue v;
    p.client.GetData(v, Kind::String);
    EXPECT_EQ(v.toString(), QStringLiteral("last words"));
    spin(30);
    EXPECT_EQ(rec.closes, 1);

    p.client.CloseSck();
    EXPECT_EQ(p.client.State(), Socket::sckClosed);
    EXPECT_EQ(p.client.SocketHandle(), -1);
    EXPECT_TRUE(p.client.RemoteHostIP().isEmpty());
    EXPECT_EQ(p.client.BytesReceived(), 0);
    // The same objects connect again.
    p.client.Connect();
    ASSERT_TRUE(
        waitFor([&] { return p.client.State() == Socket::sckConnected && p.conn.State() == Socket::sckConnected; }));
    EXPECT_EQ(rec.connects, 2);
    p.client.SendData(std::int32_t{42});
    ASSERT_TRUE(waitFor([&] { return p.conn.BytesReceived() == 4; }));
}

TEST(SocketTcp, ResetByPeerRaisesErrorEvent)
{
    const int listener = rawListener();
    Socket client;
    Recorder rec(client);
    client.Connect(QStringLiteral("127.0.0.1"), portOf(listener));
    const int peer = rawAccept(listener);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(waitFor([&] { return client.State() == Socket::sckConnected; }));
    const linger hard{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(peer);
    ASSERT_TRUE(waitFor([&] { return !rec.errors.empty(); }));
    EXPECT_EQ(rec.errors[0].number, 10054);
    EXPECT_EQ(rec.errors[0].description, QStringLiteral("Connection reset by peer."));
    EXPECT_EQ(client.State(), Socket::sckError);
    ::close(listener);
}

TEST(SocketTcp, HostNameIsResolvedBeforeConnecting)
{
    Socket server, conn, client;
    QObject::connect(&server, &Socket::ConnectionRequest, &conn, [&](int id) { conn.Accept(id); });
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    Recorder rec(client);
    client.SetRemoteHost(QStringLiteral("localhost"));
    client.SetRemotePort(server.LocalPort());
    client.Connect();
    EXPECT_EQ(client.State(), Socket::sckResolvingHost);
    ASSERT_TRUE(waitFor([&] { return client.State() == Socket::sckConnected; }));
    EXPECT_EQ(client.RemoteHost(), QStringLiteral("localhost"));
    EXPECT_EQ(client.RemoteHostIP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(rec.connects, 1);
    EXPECT_TRUE(rec.errors.empty());
}

TEST(SocketTcp, CloseDuringResolutionCancelsIt)
{
    Socket server;
    Recorder serverRec(server);
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    Socket client;
    Recorder rec(client);
    client.Connect(QStringLiteral("localhost"), server.LocalPort());
    ASSERT_EQ(client.State(), Socket::sckResolvingHost);
    client.CloseSck();
    EXPECT_EQ(client.State(), Socket::sckClosed);
    auto* dropped = new Socket();
    dropped->Connect(QStringLiteral("localhost"), server.LocalPort());
    EXPECT_EQ(dropped->State(), Socket::sckResolvingHost);
    delete dropped; // its reply must find nobody
    spin(300);
    EXPECT_EQ(client.State(), Socket::sckClosed);
    EXPECT_EQ(rec.connects, 0);
    EXPECT_TRUE(rec.errors.empty());
    EXPECT_TRUE(serverRec.requests.empty());
}

TEST(SocketTcp, UnclaimedConnectionRequestIsClosed)
{
    Socket server;
    Recorder serverRec(server);
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    Socket client;
    Recorder rec(client);
    client.Connect(QStringLiteral("127.0.0.1"), server.LocalPort());
    ASSERT_TRUE(waitFor([&] { return rec.closes == 1; }));
    ASSERT_EQ(serverRec.requests.size(), 1u);
    const int handle = serverRec.requests[0];
    EXPECT_EQ(modSocket::PendingCount(), 0);
    EXPECT_EQ(modSocket::SocketFor(handle), nullptr);
    const auto handles = modSocket::RegisteredHandles();
    EXPECT_EQ(handles.size(), 2u); // the listener and the client only
    EXPECT_EQ(server.State(), Socket::sckListening);
}

TEST(SocketTcp, AcceptingTwiceOrOutsideARequestFails)
{
    Socket server, first, second;
    Raised secondTry;
    QObject::connect(&server, &Socket::ConnectionRequest, [&](int id) {
        first.Accept(id);
        secondTry = raisedBy([&] { second.Accept(id); });
    });
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    Socket client;
    client.Connect(QStringLiteral("127.0.0.1"), server.LocalPort());
    ASSERT_TRUE(waitFor([&] { return first.State() == Socket::sckConnected; }));
    EXPECT_EQ(secondTry.number, 40006);
    EXPECT_EQ(secondTry.source, QStringLiteral("Socket.Accept"));
    EXPECT_EQ(second.State(), Socket::sckClosed);
    // A connected object cannot take another connection.
    EXPECT_EQ(raisedBy([&] { first.Accept(first.SocketHandle()); }).number, 40006);
    EXPECT_EQ(raisedBy([&] { second.Accept(first.SocketHandle()); }).number, 40006);
    EXPECT_EQ(modSocket::SocketFor(first.SocketHandle()), &first);
}

TEST(SocketTcp, ListenerCanCloseAndAcceptOnItself)
{
    Socket server;
    QObject::connect(&server, &Socket::ConnectionRequest, [&](int id) {
        server.CloseSck();
        server.Accept(id);
    });
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    const int port = server.LocalPort();
    Socket client;
    client.Connect(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(
        waitFor([&] { return client.State() == Socket::sckConnected && server.State() == Socket::sckConnected; }));
    // The accepted connection keeps its own peer, not the listener's old fields.
    EXPECT_EQ(server.RemotePort(), client.LocalPort());
    client.SendData("x");
    ASSERT_TRUE(waitFor([&] { return server.BytesReceived() == 1; }));
}

TEST(SocketTcp, DataReceivedBeforeAcceptIsKept)
{
    Socket server, conn, client;
    QObject::connect(&client, &SocketEvents::Connect, [&] { client.SendData("early"); });
    bool pendingSawData = false;
    QObject::connect(&server, &Socket::ConnectionRequest, [&](int id) {
        // Keep the request open while the caller already sends.
        Socket* pending = modSocket::PendingFor(id);
        ASSERT_NE(pending, nullptr);
        EXPECT_TRUE(pending->IsAcceptedPending());
        pendingSawData = waitFor([&] { return pending->BytesReceived() == 5; });
        conn.Accept(id);
    });
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    client.Connect(QStringLiteral("127.0.0.1"), server.LocalPort());
    ASSERT_TRUE(waitFor([&] { return conn.State() == Socket::sckConnected; }));
    EXPECT_TRUE(pendingSawData);
    EXPECT_EQ(modSocket::PendingCount(), 0);
    EXPECT_EQ(conn.BytesReceived(), 5);
    SocketValue v;
    conn.GetData(v, Kind::String);
    EXPECT_EQ(v.toString(), QStringLiteral("early"));
}

TEST(SocketTcp, EmptyHostNameFailsThroughTheErrorEvent)
{
    Socket client;
    Recorder rec(client);
    client.Connect(QString(), 9);
    ASSERT_TRUE(waitFor([&] { return !rec.errors.empty(); }));
    EXPECT_EQ(rec.errors[0].number, 11001);
    EXPECT_EQ(rec.errors[0].description, QStringLiteral("Host not found."));
    EXPECT_EQ(client.State(), Socket::sckError);
    client.CloseSck();
    EXPECT_EQ(client.State(), Socket::sckClosed);
}

TEST(SocketTcp, QueuedDataStillGoesOutAfterThePeerHalfCloses)
{
    const int listener = rawListener();
    ASSERT_GE(listener, 0);
    Socket client;
    Recorder rec(client);
    client.Connect(QStringLiteral("127.0.0.1"), portOf(listener));
    const int peer = rawAccept(listener);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(waitFor([&] { return client.State() == Socket::sckConnected; }));

    const qint64 total = qint64{16} * 1024 * 1024;
    QByteArray data(total, Qt::Uninitialized);
    for (qint64 i = 0; i < total; ++i)
        data[i] = static_cast<char>(i % 253);
    client.SendData(data);
    ASSERT_EQ(rec.completes, 0) << "the peer must not have taken it all yet";
    ASSERT_EQ(::shutdown(peer, SHUT_WR), 0);
    ASSERT_TRUE(waitFor([&] { return client.State() == Socket::sckClosing; }));

    QByteArray received;
    std::vector<char> buf(1 << 16);
    ASSERT_TRUE(waitFor(
        [&] {
            ssize_t n;
            while ((n = ::recv(peer, buf.data(), buf.size(), MSG_DONTWAIT)) > 0)
                received.append(buf.data(), n);
            return received.size() >= total && rec.completes > 0;
        },
        20000));
    EXPECT_TRUE(received == data);
    EXPECT_EQ(rec.closes, 1);
    EXPECT_EQ(rec.completes, 1);
    EXPECT_EQ(rec.progress.back(), std::make_pair(total, qint64{0}));
    EXPECT_TRUE(rec.errors.empty());
    EXPECT_EQ(client.State(), Socket::sckClosing);
    ::close(peer);

    // A connection that fails while the rest is queued says so through Error.
    Socket second;
    Recorder rec2(second);
    second.Connect(QStringLiteral("127.0.0.1"), portOf(listener));
    const int peer2 = rawAccept(listener);
    ASSERT_GE(peer2, 0);
    ASSERT_TRUE(waitFor([&] { return second.State() == Socket::sckConnected; }));
    second.SendData(data);
    ::shutdown(peer2, SHUT_WR);
    ASSERT_TRUE(waitFor([&] { return second.State() == Socket::sckClosing; }));
    ::close(peer2); // unread data makes this a reset
    ASSERT_TRUE(waitFor([&] { return !rec2.errors.empty(); }));
    EXPECT_TRUE(rec2.errors[0].number == 10054 || rec2.errors[0].number == 10058) << rec2.errors[0].number;
    EXPECT_EQ(rec2.errors[0].source, QStringLiteral("Socket.SendData"));
    EXPECT_EQ(second.State(), Socket::sckError);
    EXPECT_EQ(rec2.completes, 0);
    ::close(listener);
}

TEST(SocketTcp, ThrowingConnectionRequestHandlerIsReportedAndTheRequestClosed)
{
    Socket server, busy;
    Recorder serverRec(server);
    busy.Bind(0, QStringLiteral("127.0.0.1")); // not closed, so it cannot accept
    QObject::connect(&server, &Socket::ConnectionRequest, [&](int id) { busy.Accept(id); });
    server.Bind(0, QStringLiteral("127.0.0.1"));
    server.Listen();
    Socket client;
    Recorder rec(client);
    client.Connect(QStringLiteral("127.0.0.1"), server.LocalPort());
    ASSERT_TRUE(waitFor([&] { return rec.closes == 1; }));
    ASSERT_EQ(serverRec.errors.size(), 1u);
    EXPECT_EQ(serverRec.errors[0].number, 40006);
    EXPECT_EQ(serverRec.errors[0].description,
              QStringLiteral("Wrong protocol or connection state for the requested transaction or request"));
    EXPECT_EQ(serverRec.errors[0].source, QStringLiteral("Socket.Accept"));
    EXPECT_EQ(modSocket::PendingCount(), 0);
    EXPECT_EQ(modSocket::SocketFor(serverRec.requests[0]), nullptr);
    EXPECT_EQ(server.State(), Socket::sckListening);
    EXPECT_EQ(server.RemotePort(), 0);
    EXPECT_TRUE(server.RemoteHostIP().isEmpty());
    EXPECT_EQ(busy.State(), Socket::sckOpen);
}

TEST(SocketTcp, ThrowingDataArrivalHandlerIsReported)
{
    LoopbackPair p;
    Recorder conn(p.conn), client(p.client);
    p.open();
    QObject::connect(&p.conn, &Socket::DataArrival, [&](qint64) {
        SocketValue v;
        if (conn.arrivals.size() == 1)
            p.conn.GetData(v, Kind::ByteArray, -1);
        p.conn.CloseSck();
        p.conn.GetData(v); // closed: raises
    });
    p.client.SendData("first");
    ASSERT_TRUE(waitFor([&] { return !conn.errors.empty(); }));
    EXPECT_EQ(conn.errors[0].number, 40014);
    EXPECT_EQ(conn.errors[0].source, QStringLiteral("Socket.GetData"));
    EXPECT_EQ(p.conn.State(), Socket::sckConnected); // nothing lost by the failed call
    EXPECT_EQ(p.conn.BytesReceived(), 5);

    p.client.SendData("second");
    ASSERT_TRUE(waitFor([&] { return client.closes == 1; }));
    ASSERT_EQ(conn.errors.size(), 2u);
    EXPECT_EQ(conn.errors[1].number, 40006);
    EXPECT_EQ(p.conn.State(), Socket::sckClosed);
    EXPECT_EQ(p.client.State(), Socket::sckClosing);
}
