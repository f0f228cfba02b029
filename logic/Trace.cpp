// Replaying a trace on its system, and its text.
#include "logic/Trace.h"

#include "frontend/MessageText.h"

namespace quarvo::logic {
namespace {

bool IsArc(const Lts& lts, const Step& step) {
    if (step.from >= lts.StateCount()) return false;
    for (std::uint32_t k = lts.firstArc[step.from]; k < lts.firstArc[step.from + 1]; ++k)
        if (lts.label[k] == step.label && lts.target[k] == step.to) return true;
    return false;
}

std::string Number(std::uint32_t s, const std::vector<std::int32_t>& numbers) {
    return std::to_string(numbers.empty() ? static_cast<std::int64_t>(s) : numbers[s]);
}

std::string Transitions(std::size_t n) { return std::to_string(n) + (n > 1 ? " transitions" : " transition"); }

}  // namespace

bool IsRunOf(const Trace& trace, const Lts& lts, std::uint32_t start) {
    std::uint32_t at = start;
    for (const Step& step : trace.prefix) {
        if (step.from != at || !IsArc(lts, step)) return false;
        at = step.to;
    }
    if (trace.cycle.empty()) return true;
    const std::uint32_t first = at;
    for (const Step& step : trace.cycle) {
        if (step.from != at || !IsArc(lts, step)) return false;
        at = step.to;
    }
    return at == first;
}

std::vector<std::string> TraceLines(const Trace& trace, const Lts& lts, const std::vector<std::int32_t>& numbers) {
    std::vector<std::string> lines;
    std::string head = "Trace (" + Transitions(trace.prefix.size());
    if (trace.IsLasso()) head += ", puis un cycle de " + Transitions(trace.cycle.size());
    lines.push_back(head + ") :");
    auto add = [&](const Step& s) {
        lines.push_back("  " + Number(s.from, numbers) + " -" + ShownText(lts.labels[s.label]) + "-> " + Number(s.to, numbers));
    };
    for (const Step& s : trace.prefix) add(s);
    if (trace.IsLasso()) {
        lines.push_back("Cycle :");
        for (const Step& s : trace.cycle) add(s);
    }
    return lines;
}

std::vector<std::int32_t> TraceStates(const Trace& trace, std::uint32_t start, const std::vector<std::int32_t>& numbers) {
    auto number = [&](std::uint32_t s) { return numbers.empty() ? static_cast<std::int32_t>(s) : numbers[s]; };
    std::vector<std::int32_t> states{number(start)};
    for (const Step& s : trace.prefix) states.push_back(number(s.to));
    for (const Step& s : trace.cycle) states.push_back(number(s.to));
    return states;
}

}  // namespace quarvo::logic
