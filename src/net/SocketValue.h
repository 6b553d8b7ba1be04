#pragma once
// The kinds of value a socket sends and reads: fixed-size numbers in the machine's
// byte order, single-byte text and raw bytes. A kind the socket cannot convert can
// still be held, so that callers get a clear error instead of silent garbage.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>

namespace brindle {

// 64-bit fixed-point money value: the amount times 10 000.
struct SocketCurrency {
    std::int64_t scaled = 0;
    friend bool operator==(const SocketCurrency&, const SocketCurrency&) = default;
};

// A date as days since 30 December 1899, fraction = time of day.
struct SocketDate {
    double days = 0.0;
    friend bool operator==(const SocketDate&, const SocketDate&) = default;
};

class SocketValue {
public:
    // The numbers are fixed, so a kind can be stored or passed as a number.
    enum class Kind : int {
        Empty = 0,
        Null = 1,
        Integer = 2, // 16-bit signed
        Long = 3,    // 32-bit signed
        Single = 4,  // 32-bit float
        Double = 5,
        Currency = 6,
        Date = 7,
        String = 8,
        Object = 9,
        Error = 10,
        Boolean = 11,
        Variant = 12,
        Decimal = 14,
        Byte = 17,
        ByteArray = 8209, // array of bytes
    };

    SocketValue() = default;
    SocketValue(std::int16_t v) : kind_(Kind::Integer), data_(std::int64_t{v}) {}
    SocketValue(bool v) : kind_(Kind::Boolean), data_(std::int64_t{v ? -1 : 0}) {}
    SocketValue(std::int32_t v) : kind_(Kind::Long), data_(std::int64_t{v}) {}
    SocketValue(float v) : kind_(Kind::Single), data_(double{v}) {}
    SocketValue(double v) : kind_(Kind::Double), data_(v) {}
    SocketValue(SocketCurrency v) : kind_(Kind::Currency), data_(v.scaled) {}
    SocketValue(SocketDate v) : kind_(Kind::Date), data_(v.days) {}
    SocketValue(std::uint8_t v) : kind_(Kind::Byte), data_(std::int64_t{v}) {}
    SocketValue(const QString& v) : kind_(Kind::String), data_(v) {}
    SocketValue(const char* v) : kind_(Kind::String), data_(QString::fromUtf8(v)) {}
    SocketValue(const QByteArray& v) : kind_(Kind::ByteArray), data_(v) {}

    // The zero value of a kind: a typed variable for GetData to fill.
    static SocketValue ofKind(Kind k);

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }

    std::int16_t toInteger() const { return static_cast<std::int16_t>(asInt()); }
    bool toBoolean() const { return asInt() != 0; }
    std::int32_t toLong() const { return static_cast<std::int32_t>(asInt()); }
    float toSingle() const { return static_cast<float>(asDouble()); }
    double toDouble() const { return asDouble(); }
    SocketCurrency toCurrency() const { return {asInt()}; }
    SocketDate toDate() const { return {asDouble()}; }
    std::uint8_t toByte() const { return static_cast<std::uint8_t>(asInt()); }
    QString toString() const;
    QByteArray toByteArray() const;

    // Numeric in the loose sense callers expect of a port argument: a number kind,
    // or text that reads as a number. Sets *value when it is.
    bool isNumeric(double* value = nullptr) const;

    // Wire form of the value; false for kinds that have none.
    bool toBytes(QByteArray& out) const;
    // Byte count of a fixed-size kind; 0 for text, byte arrays and unsupported kinds.
    static int fixedSize(Kind k);
    // Builds a value of kind k from wire bytes (exactly fixedSize(k) bytes for fixed kinds).
    static SocketValue fromBytes(Kind k, const QByteArray& bytes);
    static bool isSupported(Kind k);

    friend bool operator==(const SocketValue& a, const SocketValue& b)
    {
        return a.kind_ == b.kind_ && a.data_ == b.data_;
    }

private:
    std::int64_t asInt() const;
    double asDouble() const;

    Kind kind_ = Kind::Empty;
    std::variant<std::monostate, std::int64_t, double, QString, QByteArray> data_;
};

// Single-byte text in the Windows-1252 code page, both ways. The five bytes the code
// page leaves undefined map to the C1 controls of the same number and back, so no
// byte is lost; characters the code page cannot hold become '?'.
QString ansiToUnicode(const QByteArray& bytes);
QByteArray unicodeToAnsi(const QString& text);

} // namespace brindle
