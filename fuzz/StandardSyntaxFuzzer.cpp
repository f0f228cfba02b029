// Fuzz target: arbitrary bytes read as a specification in the standard syntax;
// an accepted one is written in both syntaxes, and each text read back builds
// a tree of the same size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzCompile.h"
#include "frontend/StandardWriter.h"

namespace {

quarvo::CompileOutcome CompileLines(const std::vector<std::string>& lines) {
    static const quarvo::ParseTablesResult tables =
        quarvo::LoadParseTablesFrom(std::string(QUARVO_SOURCE_DIR) + "/tables");
    quarvo::VectorMessageSink sink;
    const quarvo::VectorLineSource source(lines);
    return quarvo::CompileSpecification(source, tables.tables, sink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = "specification ";
    text.append(reinterpret_cast<const char*>(data), size);
    quarvo::VectorMessageSink sink;
    const quarvo::CompileOutcome outcome =
        quarvo::fuzz::CompileBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), sink);
    if (sink.lines.empty() || sink.lines.back().rfind("Compilation terminée", 0) != 0) __builtin_trap();
    if (!outcome.ok()) return 0;
    const std::size_t nodes = outcome.compilation->arena.NodeCount();
    for (const quarvo::StandardText& written : {quarvo::WriteStandardLotos(*outcome.compilation),
                                                quarvo::WriteDialectLotos(*outcome.compilation)}) {
        // A name reserved by the other syntax is refused, never written.
        if (!written.status) continue;
        // The writers break long lines: every text written reads back.
        const quarvo::CompileOutcome back = CompileLines(written.lines);
        if (!back.ok()) __builtin_trap();
        if (back.compilation->arena.NodeCount() != nodes) __builtin_trap();
    }
    return 0;
}
