// Fuzz target: reads arbitrary bytes as an .aut file, from lines and from a file read in chunks.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/TextFile.h"
#include "fuzz/FuzzFile.h"
#include "generation/StemWriter.h"
#include "stemio/AutReader.h"

namespace {

// The bytes as a file, read back in chunks of 7 bytes so that lines and line
// ends straddle the chunks.
quarvo::AutReadResult ReadAsFile(std::string_view bytes) {
    const std::string& path = quarvo::fuzz::FileHolding(bytes);
    quarvo::FileLineStream lines(path, 7);
    return quarvo::ReadAut(lines);
}

std::string AutText(const quarvo::StemStore& stem) {
    std::ostringstream out;
    quarvo::WriteAut(out, stem);
    return out.str();
}

// The states a file announces are all made: a header announcing millions
// would only measure the machine's memory (and trip the fuzzer's malloc
// limit), so inputs whose first line holds a number of 7 digits or more are
// left aside.
bool AnnouncesHugeCounts(std::string_view bytes) {
    const std::size_t end = bytes.find_first_of("\r\n", bytes.find_first_not_of(" \t\r\n\f\v"));
    std::string_view first = bytes.substr(0, end);
    int digits = 0;
    for (char c : first) {
        digits = c >= '0' && c <= '9' ? digits + 1 : 0;
        if (digits >= 7) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (AnnouncesHugeCounts(bytes)) return 0;
    const quarvo::AutReadResult streamed = ReadAsFile(bytes);

    // The same bytes as lines of a LineSource. Its lines are taken as UTF-8,
    // so only plain ASCII texts must give the very same messages.
    const std::vector<std::string> lines = quarvo::SplitLines(bytes);
    quarvo::VectorLineSource source(lines);
    const quarvo::AutReadResult result = quarvo::ReadAut(source);
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (streamed.status.ok() != result.status.ok() || streamed.status.line() != result.status.line() ||
        (ascii && streamed.status.message() != result.status.message()) ||
        streamed.stem.StateCount() != result.stem.StateCount() || streamed.stem.ArcCount() != result.stem.ArcCount())
        __builtin_trap();

    if (!result.status) {
        // A failure names a line of the text and leaves nothing.
        const int last = lines.empty() ? 1 : static_cast<int>(lines.size());
        const int line = result.status.line();
        if (line < 1 || line > last) __builtin_trap();
        const std::string prefix = "Erreur dans le fichier .aut ligne " + std::to_string(line) + " : ";
        if (result.status.message().compare(0, prefix.size(), prefix) != 0) __builtin_trap();
        if (!result.stem.Empty() || result.outOfMemory) __builtin_trap();
        return 0;
    }

    // A success is a consistent store: states numbered by position, no
    // events, every arc into a state of the list with event 0 and no causes.
    const quarvo::StemStore& stem = result.stem;
    if (stem.Empty() || !stem.NumberedByPosition() || static_cast<std::size_t>(stem.StemStateCount) != stem.StateCount())
        __builtin_trap();
    for (const quarvo::StateView state : stem.States()) {
        if (!state.Events.empty()) __builtin_trap();
        for (const quarvo::ArcView arc : state.Arcs)
            if (arc.Target < 0 || static_cast<std::size_t>(arc.Target) >= stem.StateCount() || arc.Event != 0 ||
                !arc.Causes.empty() || arc.Action >= stem.actions.Size())
                __builtin_trap();
    }

    // Written and read again, the text is the same.
    const std::string text = AutText(stem);
    if (AutText(streamed.stem) != text) __builtin_trap();
    const std::vector<std::string> again = quarvo::SplitLines(text);
    quarvo::VectorLineSource againSource(again);
    const quarvo::AutReadResult reread = quarvo::ReadAut(againSource);
    if (!reread.status || AutText(reread.stem) != text) __builtin_trap();
    return 0;
}
