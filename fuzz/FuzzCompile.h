// The compilation the fuzz targets share: arbitrary bytes read as a
// Windows-1252 specification and compiled with the committed parse tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"

namespace quarvo::fuzz {

inline CompileOutcome CompileBytes(const std::uint8_t* data, std::size_t size, MessageSink& sink) {
    static const ParseTablesResult tables = LoadParseTablesFrom(std::string(QUARVO_SOURCE_DIR) + "/tables");
    if (!tables.status) __builtin_trap();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitLines(DecodeWindows1252(bytes));
    const VectorLineSource source(lines);
    return CompileSpecification(source, tables.tables, sink);
}

}  // namespace quarvo::fuzz
