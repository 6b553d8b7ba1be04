#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

using namespace brindle;
using namespace brindle::test;
using Kind = SocketValue::Kind;

namespace {

struct UdpPair {
    Socket receiver;
    Socket sender;
    UdpPair()
    {
        receiver.SetProtocol(Socket::sckUDPProtocol);
        receiver.Bind(0, QStringLiteral("127.0.0.1"));
        sender.SetProtocol(Socket::sckUDPProtocol);
        sender.SetRemoteHost(QStringLiteral("127.0.0.1"));
        sender.SetRemotePort(receiver.LocalPort());
    }
};

} // namespace

TEST(SocketUdp, DatagramsArriveOneEventEach)
{
    UdpPair p;
    EXPECT_EQ(p.receiver.State(), Socket::sckOpen);
    EXPECT_NE(p.receiver.LocalPort(), 0);
    std::vector<QString> texts;
    std::vector<qint64> sizes;
    std::vector<int> senderPorts;
    QObject::connect(&p.receiver, &Socket::DataArrival, [&](qint64 n) {
        sizes.push_back(n);
        senderPorts.push_back(p.receiver.RemotePort());
        EXPECT_EQ(p.receiver.BytesReceived(), n);
        SocketValue v;
        p.receiver.GetData(v, Kind::String);
        texts.push_back(v.toString());
    });
    p.sender.SendData("one");
    EXPECT_EQ(p.sender.State(), Socket::sckOpen); // sending opened and bound it
    EXPECT_NE(p.sender.LocalPort(), 0);
    p.sender.SendData(QStringLiteral("datagram two"));
    p.sender.SendData(QString()); // empty text sends nothing
    ASSERT_TRUE(waitFor([&] { return texts.size() == 2; }));
    spin(30);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], QStringLiteral("one"));
    EXPECT_EQ(texts[1], QStringLiteral("datagram two"));
    EXPECT_EQ(sizes, (std::vector<qint64>{3, 12}));
    // The handler already sees the sender's end, and a reply goes back to it.
    EXPECT_EQ(senderPorts, (std::vector<int>{p.sender.LocalPort(), p.sender.LocalPort()}));
    EXPECT_EQ(p.receiver.RemoteHostIP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(p.receiver.RemotePort(), p.sender.LocalPort());
    p.receiver.SetRemoteHost(p.receiver.RemoteHostIP());
    std::int32_t reply = 0;
    QObject::connect(&p.sender, &Socket::DataArrival, [&](qint64) {
        SocketValue v = SocketValue::ofKind(Kind::Long);
        p.sender.GetData(v);
        reply = v.toLong();
    });
    p.receiver.SendData(std::int32_t{-99});
    ASSERT_TRUE(waitFor([&] { return reply == -99; }));
}

TEST(SocketUdp, UnreadDatagramIsDroppedAfterItsEvent)
{
    UdpPair p;
    std::vector<qint64> sizes;
    QByteArray secondRead;
    QObject::connect(&p.receiver, &Socket::DataArrival, [&](qint64 n) {
        sizes.push_back(n);
        if (sizes.size() == 2) {
            SocketValue v;
            p.receiver.PeekData(v); // peeking leaves it for GetData
            p.receiver.GetData(v);
            secondRead = v.toByteArray();
        }
    });
    p.sender.SendData(QByteArray("ignored"));
    ASSERT_TRUE(waitFor([&] { return sizes.size() == 1; }));
    p.sender.SendData(QByteArray("read"));
    ASSERT_TRUE(waitFor([&] { return sizes.size() == 2; }));
    EXPECT_EQ(sizes, (std::vector<qint64>{7, 4}));
    EXPECT_EQ(secondRead, QByteArray("read"));
    EXPECT_EQ(p.receiver.BytesReceived(), 0);
}

TEST(SocketUdp, ZeroMaxLenDiscardsTheDatagramWithMessageTooLong)
{
    UdpPair p;
    Raised r;
    int events = 0;
    QObject::connect(&p.receiver, &Socket::DataArrival, [&](qint64) {
        ++events;
        SocketValue v;
        r = raisedBy([&] { p.receiver.GetData(v, Kind::ByteArray, 0); });
    });
    p.sender.SendData("abc");
    ASSERT_TRUE(waitFor([&] { return events == 1; }));
    EXPECT_EQ(r.number, 10040);
    EXPECT_EQ(r.description, QStringLiteral("Message too long."));
    EXPECT_EQ(p.receiver.BytesReceived(), 0);
}

TEST(SocketUdp, BroadcastIsEnabledAndBadDestinationsAreRefused)
{
    Socket s;
    s.SetProtocol(Socket::sckUDPProtocol);
    s.Bind(0, QStringLiteral("127.0.0.1"));
    int on = 0;
    socklen_t len = sizeof on;
    ASSERT_EQ(::getsockopt(s.SocketHandle(), SOL_SOCKET, SO_BROADCAST, &on, &len), 0);
    EXPECT_NE(on, 0);

    s.SetRemotePort(9);
    const Raised r = raisedBy([&] { s.SendData("x"); }); // no remote host
    EXPECT_EQ(r.number, 40014);
    EXPECT_EQ(r.description, QStringLiteral("Invalid argument"));
    EXPECT_EQ(r.source, QStringLiteral("Socket.SendData"));
    EXPECT_EQ(s.State(), Socket::sckOpen);
    // Unsupported kinds are refused before anything is sent.
    EXPECT_EQ(raisedBy([&] { s.SendData(SocketValue::ofKind(Kind::Object)); }).number, 40018);
}

TEST(SocketUdp, ConnectOnlyOpensTheSocket)
{
    Socket s;
    s.SetProtocol(Socket::sckUDPProtocol);
    s.Connect(QStringLiteral("127.0.0.1"), 9);
    EXPECT_EQ(s.State(), Socket::sckOpen);
    EXPECT_EQ(s.RemotePort(), 9);
    // The destination of a UDP socket may change while it is open.
    s.SetRemotePort(10);
    s.SetRemoteHost(QStringLiteral("localhost"));
    EXPECT_EQ(s.RemotePort(), 10);
    EXPECT_EQ(raisedBy([&] { s.SetProtocol(Socket::sckTCPProtocol); }).number, 40020);
}

TEST(SocketUdp, ThrowingDataArrivalHandlerIsReportedAndTheNextDatagramStillComes)
{
    UdpPair p;
    Recorder rec(p.receiver);
    std::vector<QByteArray> read;
    QObject::connect(&p.receiver, &Socket::DataArrival, [&](qint64) {
        SocketValue v;
        p.receiver.GetData(v, Kind::ByteArray, rec.arrivals.size() == 1 ? 0 : 100);
        read.push_back(v.toByteArray());
    });
    p.sender.SendData("dropped");
    p.sender.SendData("kept");
    ASSERT_TRUE(waitFor([&] { return read.size() == 1; }));
    spin(30);
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].number, 10040);
    EXPECT_EQ(rec.errors[0].description, QStringLiteral("Message too long."));
    EXPECT_EQ(rec.errors[0].source, QStringLiteral("Socket.GetData"));
    EXPECT_EQ(rec.arrivals.size(), 2u);
    EXPECT_EQ(read, std::vector<QByteArray>{QByteArray("kept")});
    EXPECT_EQ(p.receiver.State(), Socket::sckOpen);
}

TEST(SocketUdp, PortZeroIsRefusedBeforeSendingAndTheSocketStaysUsable)
{
    UdpPair p;
    std::vector<QByteArray> got;
    QObject::connect(&p.receiver, &Socket::DataArrival, [&](qint64) {
        SocketValue v;
        p.receiver.GetData(v);
        got.push_back(v.toByteArray());
    });
    Socket fresh;
    fresh.SetProtocol(Socket::sckUDPProtocol);
    fresh.SetRemoteHost(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(raisedBy([&] { fresh.SendData("x"); }).number, 40014);
    EXPECT_EQ(fresh.State(), Socket::sckClosed);
    EXPECT_EQ(fresh.SocketHandle(), -1);

    p.sender.SendData("one");
    const int port = p.sender.RemotePort();
    p.sender.SetRemotePort(0);
    const Raised r = raisedBy([&] { p.sender.SendData("lost"); });
    EXPECT_EQ(r.number, 40014);
    EXPECT_EQ(r.description, QStringLiteral("Invalid argument"));
    EXPECT_EQ(r.source, QStringLiteral("Socket.SendData"));
    EXPECT_EQ(p.sender.State(), Socket::sckOpen);
    p.sender.SetRemotePort(port);
    p.sender.SendData("two");
    ASSERT_TRUE(waitFor([&] { return got.size() == 2; }));
    spin(30);
    EXPECT_EQ(got, (std::vector<QByteArray>{"one", "two"}));
}
