#include "pictures/Cp1252.h"

#include "tag/TextCodec.h"

namespace brindle::cp1252 {

QString toQString(std::string_view bytes) { return QString::fromStdU16String(DecodeSingleByte(bytes)); }

std::string fromQString(const QString& text) { return EncodeSingleByte(text.toStdU16String()); }

} // namespace brindle::cp1252
