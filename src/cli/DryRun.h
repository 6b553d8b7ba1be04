#pragma once
// What a dry run can know of a write before it makes it: the file was read, and it
// may be written. A dry run and the real one thus refuse the same files.

#include "tag/clsID3.h"

#include <cerrno>
#include <string>
#include <unistd.h>

namespace brindle::cli {

inline Status DryRunCanWrite(const clsID3& tag, const std::string& file)
{
    if (!tag.ReadStatus())
        return tag.ReadStatus();
    if (::access(file.c_str(), W_OK) != 0)
        return Status::FromErrno("cannot be written", errno);
    return {};
}

} // namespace brindle::cli
