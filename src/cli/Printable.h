#pragma once
// Text bound for a terminal. Tags and file names may hold anything: a title with ESC
// could clear the screen, one with a line feed could forge an output line.

#include <ostream>
#include <string>
#include <string_view>

namespace brindle::cli {

// Bytes that are not UTF-8 shown as U+FFFD, control characters (C0, DEL, C1) as
// "\xNN"; everything else as it is.
std::string Printable(std::string_view text);

// The one form of a message about a file, "brindle-cli: FILE: REASON", both made
// printable; reason names the step and the cause, never the file again.
void ReportFile(std::ostream& err, std::string_view file, std::string_view reason);
// The one form of any other message: "brindle-cli: TEXT".
void Report(std::ostream& err, std::string_view text);

} // namespace brindle::cli
