// Checks on a Status whose failure message shows in the test's report.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "frontend/Status.h"

namespace quarvo::test {

// Holds when status is ok.
inline ::testing::AssertionResult Succeeded(const Status& status) {
    if (status) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "failed at line " << status.line() << ": " << status.message();
}

// Holds when status failed with a message, whatever it says.
inline ::testing::AssertionResult Failed(const Status& status) {
    if (status) return ::testing::AssertionFailure() << "succeeded";
    if (status.message().empty()) return ::testing::AssertionFailure() << "failed without a message";
    return ::testing::AssertionSuccess();
}

// Holds when status failed with exactly this message and line.
inline ::testing::AssertionResult FailedWith(const Status& status, const std::string& message, int line = 0) {
    if (status) return ::testing::AssertionFailure() << "succeeded";
    if (status.message() != message || status.line() != line)
        return ::testing::AssertionFailure() << "failed at line " << status.line() << ": " << status.message();
    return ::testing::AssertionSuccess();
}

}  // namespace quarvo::test
