#include "net/SocketValue.h"
#include "net/modSocket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using brindle::SocketCurrency;
using brindle::SocketDate;
using brindle::SocketValue;
using Kind = SocketValue::Kind;

namespace {

template <typename T>
QByteArray native(T v)
{
    QByteArray b(static_cast<qsizetype>(sizeof v), '\0');
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

QByteArray wire(const SocketValue& v)
{
    QByteArray out;
    EXPECT_TRUE(v.toBytes(out));
    return out;
}

} // namespace

TEST(SocketValue, FixedKindsUseTheirSizeInMachineOrderAndReadBack)
{
    const struct {
        SocketValue value;
        QByteArray bytes;
    } cases[] = {
        {SocketValue(std::int16_t{-2}), native(std::int16_t{-2})},
        {SocketValue(true), native(std::int16_t{-1})},
        {SocketValue(false), native(std::int16_t{0})},
        {SocketValue(std::int32_t{0x01020304}), native(std::int32_t{0x01020304})},
        {SocketValue(1.5f), native(1.5f)},
        {SocketValue(-2.25), native(-2.25)},
        {SocketValue(SocketCurrency{123456789}), native(std::int64_t{123456789})},
        {SocketValue(SocketDate{45000.75}), native(45000.75)},
        {SocketValue(std::uint8_t{0xFE}), QByteArray(1, '\xFE')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.value.kind()));
        EXPECT_EQ(wire(c.value), c.bytes);
        EXPECT_EQ(SocketValue::fixedSize(c.value.kind()), c.bytes.size());
        EXPECT_EQ(SocketValue::fromBytes(c.value.kind(), c.bytes), c.value);
    }
    // Any non-zero 16-bit pattern reads as true.
    EXPECT_TRUE(SocketValue::fromBytes(Kind::Boolean, native(std::int16_t{1})).toBoolean());
}

TEST(SocketValue, TextTravelsAsWindows1252AndEmptyTextIsNoBytes)
{
    const QString text = QStringLiteral("Gr\u00fc\u00dfe \u20ac\u2019 \u0152");
    const QByteArray bytes = wire(SocketValue(text));
    EXPECT_EQ(bytes, QByteArray("Gr\xfc\xdf"
                                "e \x80\x92 \x8c"));
    EXPECT_EQ(SocketValue::fromBytes(Kind::String, bytes).toString(), text);
    EXPECT_TRUE(wire(SocketValue(QString())).isEmpty());
    // Undefined code points survive both ways; characters outside the code page do not.
    EXPECT_EQ(brindle::unicodeToAnsi(brindle::ansiToUnicode(QByteArray("\x81\x8d\x8f\x90\x9d"))),
              QByteArray("\x81\x8d\x8f\x90\x9d"));
    EXPECT_EQ(brindle::unicodeToAnsi(QStringLiteral("a\u4e2db")), QByteArray("a?b"));
}

TEST(SocketValue, ByteArraysPassUnchangedAndUnsupportedKindsHaveNoWireForm)
{
    const QByteArray raw("\x00\x01\xff", 3);
    EXPECT_EQ(wire(SocketValue(raw)), raw);
    QByteArray out("untouched");
    for (Kind k : {Kind::Empty, Kind::Null, Kind::Object, Kind::Error, Kind::Variant, Kind::Decimal}) {
        EXPECT_FALSE(SocketValue::ofKind(k).toBytes(out));
        EXPECT_FALSE(SocketValue::isSupported(k));
    }
    EXPECT_EQ(SocketValue::fixedSize(Kind::String), 0);
    EXPECT_EQ(SocketValue::ofKind(Kind::Long).kind(), Kind::Long);
}

TEST(SocketValue, NumericMeansANumberKindOrNumberText)
{
    double d = 0;
    EXPECT_TRUE(SocketValue(std::int32_t{80}).isNumeric(&d));
    EXPECT_EQ(d, 80);
    EXPECT_TRUE(SocketValue(" 8080 ").isNumeric(&d));
    EXPECT_EQ(d, 8080);
    EXPECT_TRUE(SocketValue(SocketCurrency{800000}).isNumeric(&d));
    EXPECT_EQ(d, 80);
    EXPECT_FALSE(SocketValue("http").isNumeric());
    EXPECT_FALSE(SocketValue(QByteArray("80")).isNumeric());
    EXPECT_FALSE(SocketValue().isNumeric());
}

TEST(SocketErrors, TableTextsAndUnknownCodes)
{
    using namespace brindle::modSocket;
    EXPECT_EQ(GetErrorDescription(10061), QStringLiteral("Connection refused."));
    EXPECT_EQ(GetErrorDescription(10048), QStringLiteral("Address already in use."));
    EXPECT_EQ(GetErrorDescription(10050), QStringLiteral("Network is down."));
    EXPECT_EQ(GetErrorDescription(11004), QStringLiteral("Valid name, no data record of requested type."));
    EXPECT_EQ(GetErrorDescription(10059), QStringLiteral("Unknown error."));
    EXPECT_EQ(GetErrorDescription(0), QStringLiteral("Unknown error."));
    EXPECT_EQ(ErrorText(40006),
              QStringLiteral("Wrong protocol or connection state for the requested transaction or request"));
    EXPECT_EQ(ErrorText(40014), QStringLiteral("The argument passed to a function was not in the correct "
                                               "format or in the specified range."));
    EXPECT_EQ(ErrorText(40018), QStringLiteral("Unsupported variant type."));
    EXPECT_EQ(ErrorText(40020), QStringLiteral("Invalid operation at current state"));
    EXPECT_EQ(ErrorText(7), QStringLiteral("Out of memory"));
    EXPECT_EQ(ErrorText(10054), QStringLiteral("Connection reset by peer."));
}

TEST(SocketErrors, SystemErrorsMapOntoTheTable)
{
    using brindle::modSocket::ErrorFromErrno;
    EXPECT_EQ(ErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(ErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(ErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(ErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(ErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(ErrorFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(ErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(ErrorFromErrno(EPIPE), 10058);
    EXPECT_EQ(brindle::modSocket::GetErrorDescription(ErrorFromErrno(EIO)), QStringLiteral("Unknown error."));
}

TEST(SocketErrors, ExceptionCarriesNumberTextAndSource)
{
    const brindle::SocketException e(10061, QStringLiteral("Connection refused."), QStringLiteral("Socket.Connect"));
    EXPECT_EQ(e.Number(), 10061);
    EXPECT_EQ(e.Description(), QStringLiteral("Connection refused."));
    EXPECT_EQ(e.Source(), QStringLiteral("Socket.Connect"));
    EXPECT_STREQ(e.what(), "Socket.Connect: Connection refused.");
}
