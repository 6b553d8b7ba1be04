#include "Status.h"

#include <cerrno>
#include <cstring>

namespace brindle {

Status Status::Failed(std::string reason)
{
    Status s;
    s.failed_ = true;
    s.reason_ = reason.empty() ? std::string("failed for an unknown reason") : std::move(reason);
    return s;
}

Status Status::FromErrno(std::string_view step, int err)
{
    Status s = Failed(std::string(step) + ": " + std::strerror(err != 0 ? err : EIO));
    s.missing_ = err == ENOENT;
    return s;
}

} // namespace brindle
