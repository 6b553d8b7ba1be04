#pragma once
// Puts a rewritten file on disk without ever losing it. The new content goes into
// an exclusively created temporary file first; only when that copy is complete and
// flushed is the original refilled in place (same inode, owner and permissions),
// and its access and modification times are set back afterwards.

#include "FileSystem.h"

#include <cstdint>
#include <string>

namespace brindle {

// The new file is head + old[audioBegin, audioEnd) + tail.
struct RewritePlan {
    std::string head;              // the new leading tag; may be empty
    std::uint64_t audioBegin = 0;  // range of the old file kept as it is
    std::uint64_t audioEnd = 0;
    std::string tail;              // the new trailing tags; may be empty
};

struct RewriteResult {
    // True when the file holds the new content, flushed, with its times restored.
    bool ok = false;
    // Why not, naming the step and the system error. May also be set when ok is
    // true, for a leftover that did no harm (a temporary file that could not be removed).
    std::string reason;
    // Set when the original could not be refilled: this file holds the complete
    // new content and was left in place so that nothing is lost.
    std::string keptTempPath;
};

// Never throws.
RewriteResult RewriteFile(FileSystem& fs, const std::string& path, const RewritePlan& plan);

// $TEMP when set and not empty, else $TMPDIR when set and not empty, else /tmp.
std::string TemporaryFolder();

} // namespace brindle
