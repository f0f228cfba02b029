// Fuzz target: the parser of action formulas on texts built from deeply
// nesting pieces (the dictionary, fuzz/fuzz_formula_nesting.dict, given by test.sh, holds
// openings repeated hundreds of times): a formula too deep is refused with a
// message and its column, never a crash; one accepted is checked and verified.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "logic/Checks.h"
#include "logic/Parser.h"
#include "logic/Verification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const quarvo::Lts lts = [] {
        quarvo::Lts l;
        l.labels = {"I", "PUT", "GET"};
        l.firstArc = {0, 2, 3};
        l.label = {1, 2, 1};
        l.target = {1, 0, 1};
        return l;
    }();
    // Short inputs stand for long ones: each byte above 0xF0 repeats the
    // piece before it a thousand times, so that deep nesting is reached.
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] >= 0xF0 && !text.empty()) {
            const std::string last = text.substr(text.size() - std::min<std::size_t>(text.size(), 8));
            for (int k = 0; k < 1000 && text.size() < (std::size_t{1} << 22); ++k) text += last;
            continue;
        }
        text.push_back(static_cast<char>(data[i]));
    }
    const quarvo::logic::ParseResult parsed = quarvo::logic::ParseFormula(text);
    if (!parsed.status) {
        if (parsed.status.message().rfind("Erreur dans la formule", 0) != 0) __builtin_trap();
        return 0;
    }
    const quarvo::logic::VerifyResult result = quarvo::logic::Verify(text, lts);
    if (result.replayFailed) std::abort();
    return 0;
}
