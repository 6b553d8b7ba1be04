#pragma once
// How one operation on one file ended: done, or why not. The reason names the step
// that failed and its cause, once; it never names the file, which whoever shows the
// reason puts in front of it in its own way (a list row, a command-line argument).

#include <string>
#include <string_view>

namespace brindle {

class Status {
public:
    Status() = default; // done

    static Status Failed(std::string reason);
    // "STEP: " and the system's text for err.
    static Status FromErrno(std::string_view step, int err);

    bool ok() const noexcept { return !failed_; }
    explicit operator bool() const noexcept { return ok(); }
    const std::string& reason() const noexcept { return reason_; }
    // The file itself was not there, so a caller can say so in its own words.
    bool fileMissing() const noexcept { return missing_; }

private:
    std::string reason_;
    bool failed_ = false;
    bool missing_ = false;
};

} // namespace brindle
