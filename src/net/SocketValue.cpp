#include "net/SocketValue.h"

#include <array>
#include <cmath>
#include <cstring>

namespace brindle {

namespace {

// Windows-1252 0x80..0x9F; the undefined bytes keep their own number.
constexpr std::array<char16_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

template <typename T>
QByteArray rawBytes(T v)
{
    QByteArray out(static_cast<qsizetype>(sizeof v), '\0');
    std::memcpy(out.data(), &v, sizeof v);
    return out;
}

template <typename T>
T fromRaw(const QByteArray& bytes)
{
    T v{};
    if (bytes.size() >= static_cast<qsizetype>(sizeof v))
        std::memcpy(&v, bytes.constData(), sizeof v);
    return v;
}

} // namespace

QString ansiToUnicode(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(QChar(b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : char16_t{b}));
    }
    return out;
}

QByteArray unicodeToAnsi(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (std::size_t i = 0; i < kHigh1252.size(); ++i) {
            if (kHigh1252[i] == u) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.append(mapped);
    }
    return out;
}

SocketValue SocketValue::ofKind(Kind k)
{
    SocketValue v;
    v.kind_ = k;
    switch (k) {
    case Kind::Integer:
    case Kind::Long:
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Currency: v.data_ = std::int64_t{0}; break;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date: v.data_ = 0.0; break;
    case Kind::String: v.data_ = QString(); break;
    case Kind::ByteArray: v.data_ = QByteArray(); break;
    default: break;
    }
    return v;
}

std::int64_t SocketValue::asInt() const
{
    if (auto p = std::get_if<std::int64_t>(&data_))
        return *p;
    if (auto p = std::get_if<double>(&data_)) {
        if (!std::isfinite(*p))
            return 0;
        const double r = std::nearbyint(*p);
        if (r >= 9.2e18 || r <= -9.2e18)
            return 0;
        return static_cast<std::int64_t>(r);
    }
    if (auto p = std::get_if<QString>(&data_))
        return p->trimmed().toLongLong();
    return 0;
}

double SocketValue::asDouble() const
{
    if (auto p = std::get_if<double>(&data_))
        return *p;
    if (auto p = std::get_if<std::int64_t>(&data_))
        return static_cast<double>(*p);
    if (auto p = std::get_if<QString>(&data_))
        return p->trimmed().toDouble();
    return 0.0;
}

QString SocketValue::toString() const
{
    if (auto p = std::get_if<QString>(&data_))
        return *p;
    if (auto p = std::get_if<QByteArray>(&data_))
        return ansiToUnicode(*p);
    if (kind_ == Kind::Currency)
        return QString::number(static_cast<double>(asInt()) / 10000.0);
    if (std::holds_alternative<double>(data_))
        return QString::number(asDouble());
    if (std::holds_alternative<std::int64_t>(data_))
        return QString::number(asInt());
    return QString();
}

QByteArray SocketValue::toByteArray() const
{
    if (auto p = std::get_if<QByteArray>(&data_))
        return *p;
    if (auto p = std::get_if<QString>(&data_))
        return unicodeToAnsi(*p);
    QByteArray out;
    toBytes(out);
    return out;
}

bool SocketValue::isNumeric(double* value) const
{
    double v = 0.0;
    switch (kind_) {
    case Kind::Integer:
    case Kind::Long:
    case Kind::Single:
    case Kind::Double:
    case Kind::Byte:
    case Kind::Boolean: v = asDouble(); break;
    case Kind::Currency: v = static_cast<double>(asInt()) / 10000.0; break;
    case Kind::String: {
        bool ok = false;
        v = std::get<QString>(data_).trimmed().toDouble(&ok);
        if (!ok)
            return false;
        break;
    }
    default: return false;
    }
    if (value)
        *value = v;
    return true;
}

int SocketValue::fixedSize(Kind k)
{
    switch (k) {
    case Kind::Integer:
    case Kind::Boolean: return 2;
    case Kind::Long:
    case Kind::Single: return 4;
    case Kind::Double:
    case Kind::Currency:
    case Kind::Date: return 8;
    case Kind::Byte: return 1;
    default: return 0;
    }
}

bool SocketValue::isSupported(Kind k) { return fixedSize(k) > 0 || k == Kind::String || k == Kind::ByteArray; }

bool SocketValue::toBytes(QByteArray& out) const
{
    switch (kind_) {
    case Kind::Integer: out = rawBytes(toInteger()); return true;
    case Kind::Boolean: out = rawBytes(static_cast<std::int16_t>(toBoolean() ? -1 : 0)); return true;
    case Kind::Long: out = rawBytes(toLong()); return true;
    case Kind::Single: out = rawBytes(toSingle()); return true;
    case Kind::Double: out = rawBytes(toDouble()); return true;
    case Kind::Currency: out = rawBytes(asInt()); return true;
    case Kind::Date: out = rawBytes(asDouble()); return true;
    case Kind::Byte: out = rawBytes(toByte()); return true;
    case Kind::String: out = unicodeToAnsi(std::get<QString>(data_)); return true;
    case Kind::ByteArray: out = std::get<QByteArray>(data_); return true;
    default: return false;
    }
}

SocketValue SocketValue::fromBytes(Kind k, const QByteArray& bytes)
{
    switch (k) {
    case Kind::Integer: return SocketValue(fromRaw<std::int16_t>(bytes));
    case Kind::Boolean: return SocketValue(fromRaw<std::int16_t>(bytes) != 0);
    case Kind::Long: return SocketValue(fromRaw<std::int32_t>(bytes));
    case Kind::Single: return SocketValue(fromRaw<float>(bytes));
    case Kind::Double: return SocketValue(fromRaw<double>(bytes));
    case Kind::Currency: return SocketValue(SocketCurrency{fromRaw<std::int64_t>(bytes)});
    case Kind::Date: return SocketValue(SocketDate{fromRaw<double>(bytes)});
    case Kind::Byte: return SocketValue(fromRaw<std::uint8_t>(bytes));
    case Kind::String: return SocketValue(ansiToUnicode(bytes));
    case Kind::ByteArray: return SocketValue(bytes);
    default: return ofKind(k);
    }
}

} // namespace brindle
