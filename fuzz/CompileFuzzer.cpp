// Fuzz target: compiles arbitrary bytes as a Windows-1252 specification.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const quarvo::ParseTablesResult tables =
        quarvo::LoadParseTablesFrom(std::string(QUARVO_SOURCE_DIR) + "/tables");
    if (!tables.status) __builtin_trap();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = quarvo::SplitLines(quarvo::DecodeWindows1252(bytes));
    quarvo::VectorLineSource source(lines);
    quarvo::VectorMessageSink sink;
    quarvo::CompileOutcome outcome = quarvo::CompileSpecification(source, tables.tables, sink);
    // Every compilation ends with one of the two closing lines.
    if (sink.lines.empty() || sink.lines.back().rfind("Compilation terminée", 0) != 0) __builtin_trap();
    if (outcome.ok() && !outcome.compilation->systemDefinition) __builtin_trap();
    return 0;
}
