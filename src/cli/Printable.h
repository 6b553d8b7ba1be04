#pragma once
// Text bound for a terminal. Tags and file names may hold anything: a title with ESC
// could clear the screen, one with a line feed could forge an output line.

#include <string>
#include <string_view>

namespace brindle::cli {

// Bytes that are not UTF-8 shown as U+FFFD, control characters (C0, DEL, C1) as
// "\xNN"; everything else as it is.
std::string Printable(std::string_view text);

} // namespace brindle::cli
