#pragma once
// Single-byte text of picture entries (format names, MIME types) is Windows-1252. The
// five bytes that code page leaves undefined map to the C1 controls of the same value
// and back, so no byte is lost in a round trip.

#include <QString>
#include <string>
#include <string_view>

namespace brindle::cp1252 {

QString toQString(std::string_view bytes);
// Characters the code page cannot hold become '?'.
std::string fromQString(const QString& text);

} // namespace brindle::cp1252
