// Shared helpers of the file-writing tests: an output that writes given bytes.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace quarvo::test {

// What an output writes: these bytes.
inline std::function<void(std::ostream&)> Writing(const std::string& bytes) {
    return [bytes](std::ostream& out) { out << bytes; };
}

}  // namespace quarvo::test
