#include "equivalence/TauComponents.h"

#include <algorithm>

namespace quarvo::detail {

TauComponents FindTauComponents(const Lts& lts, const std::vector<std::uint32_t>& group) {
    constexpr std::uint32_t kNone = UINT32_MAX;
    const auto n = static_cast<std::uint32_t>(lts.StateCount());
    TauComponents result;
    result.component.assign(n, kNone);
    std::vector<std::uint32_t> index(n, kNone), low(n, 0);
    std::vector<std::uint32_t> stack;  // states whose component is not complete
    struct Frame {
        std::uint32_t state, nextArc;
    };
    std::vector<Frame> frames;
    std::vector<bool> selfLoop(n, false);
    std::uint32_t counter = 0;
    auto follows = [&](std::uint32_t e, std::uint32_t from) {
        return lts.label[e] == TauLabel && (group.empty() || group[from] == group[lts.target[e]]);
    };
    auto enter = [&](std::uint32_t v) {
        index[v] = low[v] = counter++;
        stack.push_back(v);
        frames.push_back(Frame{v, lts.firstArc[v]});
    };
    for (std::uint32_t root = 0; root < n; ++root) {
        if (index[root] != kNone) continue;
        enter(root);
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const std::uint32_t v = frame.state;
            bool descended = false;
            while (frame.nextArc < lts.firstArc[v + 1]) {
                const std::uint32_t e = frame.nextArc++;
                if (!follows(e, v)) continue;
                const std::uint32_t w = lts.target[e];
                if (w == v) {
                    selfLoop[v] = true;
                } else if (index[w] == kNone) {
                    enter(w);  // frame is no longer valid
                    descended = true;
                    break;
                } else if (result.component[w] == kNone) {
                    low[v] = std::min(low[v], index[w]);  // w is on the stack
                }
            }
            if (descended) continue;
            frames.pop_back();
            if (!frames.empty()) {
                const std::uint32_t parent = frames.back().state;
                low[parent] = std::min(low[parent], low[v]);
            }
            if (low[v] != index[v]) continue;
            const std::uint32_t c = result.count++;
            bool cyclic = stack.back() != v || selfLoop[v];
            std::uint32_t w;
            do {
                w = stack.back();
                stack.pop_back();
                result.component[w] = c;
                cyclic = cyclic || selfLoop[w];
            } while (w != v);
            result.cyclic.push_back(cyclic);
        }
    }
    return result;
}

}  // namespace quarvo::detail
