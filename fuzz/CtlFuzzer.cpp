// Fuzz target: compiles arbitrary bytes as a CTL formula and, when it compiles, labels a small fixed STEM.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ctl/CtlParser.h"
#include "ctl/Diagnostic.h"
#include "ctl/Labelling.h"
#include "frontend/TextFile.h"

namespace {

// Six states with a deadlock, a self-loop, a cycle, an arc to a missing state
// and a list out of number order.
quarvo::StemStore SmallStem() {
    quarvo::StemStore store;
    const quarvo::ActionId p = store.Intern("P"), q = store.Intern("Q"), send = store.Intern("SEND");
    struct Spec {
        std::int32_t number;
        std::vector<quarvo::ActionId> events;
        std::vector<std::int32_t> targets;
    };
    const Spec specs[] = {{0, {}, {1, 2}},        {2, {p, send}, {2, 3}}, {1, {q}, {4}},
                          {4, {p, p}, {1, 9}},    {3, {send}, {}},        {5, {q, p}, {0}}};
    for (const Spec& s : specs) {
        quarvo::EventSet events;
        std::int32_t e = 1;
        for (quarvo::ActionId a : s.events) events.push_back({e++, a});
        store.AppendState(s.number, events);
        // In the order found: read back newest first, the first target comes last.
        std::vector<quarvo::TStemArc> arcs;
        for (std::int32_t t : s.targets) arcs.push_back({t, p, 1, quarvo::EmptyEventSet});
        store.SetArcs(store.StateCount() - 1, arcs);
    }
    store.StemStateCount = 6;
    return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const quarvo::PrecedenceTableResult table =
        quarvo::LoadPrecedenceTableFile(std::string(QUARVO_SOURCE_DIR) + "/tables/Preced.tab");
    static const quarvo::StemStore store = SmallStem();
    if (!table.status) __builtin_trap();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = quarvo::SplitLines(quarvo::DecodeWindows1252(bytes));
    quarvo::VectorLineSource source(lines);
    quarvo::FormulaCompileResult result = quarvo::CompileFormula(source, table.table);
    if (!result.ok()) {
        // Every failure says why, with a line inside the text.
        if (result.error.message.empty() || result.error.line < 1) __builtin_trap();
        if (!lines.empty() && result.error.line > static_cast<int>(lines.size())) __builtin_trap();
        return 0;
    }
    const quarvo::CompiledFormula& formula = result.formula;
    if (!formula.Empty() && formula.SubformulaList.back() != formula.MainFormula) __builtin_trap();
    quarvo::Labelling labels;
    quarvo::Verdict verdict = quarvo::Verify(store, formula, labels);
    quarvo::Labelling again = labels;
    quarvo::LabelAll(store, formula, again);
    if (!(again == labels)) __builtin_trap();
    if (verdict == quarvo::Verdict::NoStem) __builtin_trap();
    for (const quarvo::DiagnosticEntry& entry : quarvo::Diagnose(store, formula, labels))
        if (entry.states.holds.size() + entry.states.fails.size() != store.StateCount()) __builtin_trap();
    return 0;
}
