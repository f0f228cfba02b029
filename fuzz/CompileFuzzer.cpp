// Fuzz target: compiles arbitrary bytes as a Windows-1252 specification.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzCompile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quarvo::VectorMessageSink sink;
    const quarvo::CompileOutcome outcome = quarvo::fuzz::CompileBytes(data, size, sink);
    // Every compilation ends with one of the two closing lines.
    if (sink.lines.empty() || sink.lines.back().rfind("Compilation terminée", 0) != 0) __builtin_trap();
    if (outcome.ok() && !outcome.compilation->systemDefinition) __builtin_trap();
    return 0;
}
