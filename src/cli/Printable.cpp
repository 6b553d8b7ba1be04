#include "Printable.h"

#include "tag/TextCodec.h"

#include <cstdio>

namespace brindle::cli {

std::string Printable(std::string_view text)
{
    const std::u16string wide = FromUtf8(std::string(text));
    std::u16string kept;
    std::string out;
    auto flush = [&] {
        out += ToUtf8(kept);
        kept.clear();
    };
    for (char16_t c : wide) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            flush();
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(c));
            out += code;
        } else {
            kept.push_back(c);
        }
    }
    flush();
    return out;
}

void ReportFile(std::ostream& err, std::string_view file, std::string_view reason)
{
    err << "brindle-cli: " << Printable(file) << ": " << Printable(reason) << "\n";
}

void Report(std::ostream& err, std::string_view text) { err << "brindle-cli: " << Printable(text) << "\n"; }

} // namespace brindle::cli
