// Fuzz target: reads arbitrary bytes, decoded as Windows-1252 lines, as a classic STEM file, and the same bytes as a file read in chunks.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "frontend/TextFile.h"
#include "fuzz/FuzzFile.h"
#include "generation/EventSet.h"
#include "generation/StemWriter.h"
#include "stemio/StemReader.h"

namespace {

bool Sorted(quarvo::EventSetRef set, std::size_t actionCount) {
    std::int64_t last = -1;
    for (const quarvo::TEventEntry e : set) {
        if (e.Event < 0 || e.Action >= actionCount || e.Event <= last) return false;
        last = e.Event;
    }
    return true;
}

// The text of a STEM in the classic format, to read once more.
std::vector<std::string> Written(const quarvo::StemStore& stem) {
    std::vector<std::string> lines{"BEGIN " + std::to_string(stem.StemStateCount) + ";"};
    for (const quarvo::StateView state : stem.States()) {
        std::string line;
        for (const quarvo::ArcView arc : state.Arcs)
            line += quarvo::EventSetText(state.Events, stem.actions) + std::to_string(state.Number) + "<" +
                    quarvo::EventSetText(arc.Causes, stem.actions) + stem.actions.Text(arc.Action) + ":" +
                    std::to_string(arc.Event) + ">" +
                    quarvo::EventSetText(stem.FindState(arc.Target)->Events, stem.actions) +
                    std::to_string(arc.Target) + ";";
        lines.push_back(line);
    }
    lines.push_back("END");
    return lines;
}

// The bytes as a file, read back in chunks of 7 bytes so that lines and line
// ends straddle the chunks.
quarvo::StemReadResult ReadAsFile(std::string_view bytes) {
    const std::string& path = quarvo::fuzz::FileHolding(bytes);
    quarvo::FileLineStream lines(path, 7);
    return quarvo::ReadClassicStem(lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = quarvo::SplitLines(quarvo::DecodeWindows1252(bytes));
    quarvo::VectorLineSource source(lines);
    quarvo::StemReadResult result = quarvo::ReadClassicStem(source);

    // Read from the file in chunks, the same bytes give the same answer.
    const quarvo::StemReadResult streamed = ReadAsFile(bytes);
    if (streamed.status.ok() != result.status.ok() || streamed.status.message() != result.status.message() ||
        streamed.status.line() != result.status.line() ||
        streamed.stem.StateCount() != result.stem.StateCount() || streamed.stem.ArcCount() != result.stem.ArcCount() ||
        quarvo::ClassicStemText(streamed.stem, streamed.stem.StemStateCount) !=
            quarvo::ClassicStemText(result.stem, result.stem.StemStateCount))
        __builtin_trap();

    if (!result.status) {
        // A failure names a line of the text, in the one exact form, and leaves nothing.
        const int last = lines.empty() ? 1 : static_cast<int>(lines.size());
        const int line = result.status.line();
        if (line < 1 || line > last) __builtin_trap();
        if (result.status.message() != "Erreur dans le fichier ligne:" + std::to_string(line)) __builtin_trap();
        if (!result.stem.Empty()) __builtin_trap();
        return 0;
    }

    // A success is a consistent STEM: state 0 first, distinct numbers, every
    // arc into a state of the list, sorted event sets.
    const quarvo::StemStore& stem = result.stem;
    const std::size_t actionCount = stem.actions.Size();
    if (stem.Empty() || stem.State(0).Number != 0 || !stem.State(0).Events.empty()) __builtin_trap();
    if (static_cast<std::size_t>(stem.StemStateCount) != stem.StateCount()) __builtin_trap();
    std::unordered_set<std::int32_t> numbers;
    for (const quarvo::StateView state : stem.States()) {
        if (!numbers.insert(state.Number).second || state.Number < 0) __builtin_trap();
        if (!Sorted(state.Events, actionCount)) __builtin_trap();
    }
    for (const quarvo::StateView state : stem.States())
        for (const quarvo::ArcView arc : state.Arcs)
            if (!numbers.count(arc.Target) || !Sorted(arc.Causes, actionCount) || arc.Action >= actionCount ||
                arc.Event < 0)
                __builtin_trap();

    // What was read can be written and read again into as many states and arcs.
    const std::vector<std::string> again = Written(stem);
    quarvo::VectorLineSource againSource(again);
    quarvo::StemReadResult reread = quarvo::ReadClassicStem(againSource);
    if (!reread.status || reread.stem.StateCount() != stem.StateCount() ||
        reread.stem.ArcCount() != stem.ArcCount())
        __builtin_trap();
    return 0;
}
