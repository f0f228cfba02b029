// Fuzz target: compiles arbitrary bytes and, when they compile, generates at most 10,000 states.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzCompile.h"
#include "generation/Generator.h"
#include "generation/StemWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quarvo::VectorMessageSink sink;
    const quarvo::CompileOutcome outcome = quarvo::fuzz::CompileBytes(data, size, sink);
    if (!outcome.ok()) return 0;
    for (int mode = 0; mode < 2; ++mode) {
        quarvo::GenerationSettings settings;
        settings.maxStates = 10000;
        if (mode == 1) settings.semantics = quarvo::Semantics::Interleaving;
        quarvo::StemStore store;
        quarvo::GenerationResult r = quarvo::GenerateStem(outcome.compilation, settings, store);
        // Every arc leads to a state of the list, and waits only for maximal events of its source.
        for (const quarvo::StateView s : store.States()) {
            for (const quarvo::ArcView a : s.Arcs) {
                if (!store.FindState(a.Target)) __builtin_trap();
                for (const quarvo::TEventEntry& c : a.Causes)
                    if (std::find(s.Events.begin(), s.Events.end(), c) == s.Events.end()) __builtin_trap();
            }
        }
        if (static_cast<std::size_t>(r.states) != store.StateCount()) __builtin_trap();
        quarvo::ClassicStemText(store, store.StemStateCount);
    }
    return 0;
}
