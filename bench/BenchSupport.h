// What the benchmarks share: a message sink that keeps nothing, and compiling a text made in memory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frontend/CoreInterfaces.h"
#include "frontend/Parser.h"

namespace quarvo::bench {

class NullSink final : public MessageSink {
public:
    void Append(std::string_view) override {}
};

// Compiles a specification text, the tables taken from the source tree.
inline CompileOutcome CompileText(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') lines.push_back(std::move(line)), line.clear();
        else line += c;
    }
    lines.push_back(line);
    VectorLineSource source(lines);
    NullSink sink;
    return CompileSpecification(source, std::string(QUARVO_SOURCE_DIR), sink);
}

}  // namespace quarvo::bench
