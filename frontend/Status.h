// How an operation of the core that can fail reports it: ok, or a Failure
// with the French message for the user, rather than an exception.
#pragma once

#include <string>
#include <utility>

namespace quarvo {

// Why an operation failed: the message as the user reads it, and the 1-based
// line of the text at fault, 0 when no line is.
struct Failure {
    std::string message;
    int line = 0;
};

// The outcome of an operation that can fail. A default Status is ok; a
// Failure converts to a failed one, so that a function can return either.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Failure failure) : ok_(false), failure_(std::move(failure)) {}  // implicit on purpose

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // The message of the failure; empty when ok.
    const std::string& message() const { return failure_.message; }
    // The line at fault; 0 when ok or when no line is.
    int line() const { return failure_.line; }

private:
    bool ok_ = true;
    Failure failure_;
};

}  // namespace quarvo
