#include "net/SocketValue.h"
#include "tag/TextCodec.h"

#include <cmath>
#include <cstring>

namespace brindle {

namespace {

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
    const std::u16string text = DecodeSingleByte(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

QByteArray unicodeToAnsi(const QString& text)
{
    const std::string bytes = EncodeSingleByte(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
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
