// Fuzz target: arbitrary bytes read as a specification in either syntax; an
// accepted one is exported in both syntaxes, each text is read back, and it
// must give the same STEM (its first states) as the text read; an export
// refused says why and writes nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzCompile.h"
#include "frontend/StandardWriter.h"
#include "generation/Generator.h"
#include "generation/StemWriter.h"

namespace {

std::string StemOf(const std::shared_ptr<quarvo::Compilation>& compilation) {
    quarvo::GenerationSettings settings;
    settings.maxStates = 200;
    settings.threads = 1;
    quarvo::StemStore store;
    quarvo::GenerateStem(compilation, settings, store);
    return quarvo::ClassicStemText(store, store.StemStateCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quarvo::VectorMessageSink sink;
    const quarvo::CompileOutcome outcome = quarvo::fuzz::CompileBytes(data, size, sink);
    if (!outcome.ok()) return 0;
    const std::string stem = StemOf(outcome.compilation);
    for (const quarvo::StandardText& written : {quarvo::WriteStandardLotos(*outcome.compilation),
                                                quarvo::WriteDialectLotos(*outcome.compilation)}) {
        if (!written.status) {
            if (written.status.message().empty() || !written.lines.empty()) __builtin_trap();
            continue;
        }
        std::string text;
        for (const std::string& line : written.lines) {
            // Whatever is written, the readers read: short lines only.
            if (line.size() > 100) __builtin_trap();
            text += line + "\r\n";
        }
        quarvo::VectorMessageSink again;
        const quarvo::CompileOutcome back = quarvo::fuzz::CompileBytes(
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), again);
        if (!back.ok()) __builtin_trap();
        if (StemOf(back.compilation) != stem) __builtin_trap();
    }
    return 0;
}
