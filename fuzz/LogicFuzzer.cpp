// Fuzz target: parses arbitrary bytes as an action formula and, when it is
// well formed, verifies it on a small fixed system; a trace that fails its
// replay is a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "logic/Verification.h"

namespace {

// Five states: a deadlock, a self-loop, an internal cycle and a termination.
quarvo::Lts SmallLts() {
    quarvo::Lts lts;
    lts.labels = {"I", "SEND", "RECV", "I_H", "delta"};
    const std::uint32_t arcs[][3] = {{0, 1, 1}, {0, 0, 2}, {1, 2, 0}, {1, 4, 3}, {2, 3, 2}, {2, 0, 4}, {4, 0, 2}};
    lts.firstArc.assign(6, 0);
    for (const auto& a : arcs) {
        lts.label.push_back(a[1]);
        lts.target.push_back(a[2]);
        ++lts.firstArc[a[0] + 1];
    }
    for (std::size_t s = 0; s < 5; ++s) lts.firstArc[s + 1] += lts.firstArc[s];
    return lts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const quarvo::Lts lts = SmallLts();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const quarvo::logic::VerifyResult result = quarvo::logic::Verify(text, lts);
    if (result.replayFailed) std::abort();
    return 0;
}
