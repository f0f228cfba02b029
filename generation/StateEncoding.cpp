// Canonical encodings of states and terms, for explorations spread over several processes.
#include "generation/StateEncoding.h"


namespace quarvo {

CanonicalProcesses::CanonicalProcesses(const Compilation* compilation) {
    if (!compilation) return;
    // Depth first along the definition tree, without recursion.
    std::vector<const ProcessDefinition*> stack;
    if (compilation->systemDefinition) stack.push_back(compilation->systemDefinition);
    while (!stack.empty()) {
        const ProcessDefinition* d = stack.back();
        stack.pop_back();
        numbers_.emplace(d, static_cast<std::uint32_t>(definitions_.size()));
        definitions_.push_back(d);
        if (d->next) stack.push_back(d->next);
        if (d->children) stack.push_back(d->children);
    }
}

std::uint32_t CanonicalProcesses::Number(const ProcessDefinition* process) const {
    if (!process) return 0;
    const auto it = numbers_.find(process);
    return it == numbers_.end() ? 0 : it->second;
}

const ProcessDefinition* CanonicalProcesses::Definition(std::uint32_t number) const {
    return number < definitions_.size() ? definitions_[number] : nullptr;
}

std::uint64_t StableHash(std::string_view bytes) {
    // FNV-1a over the bytes, then a final mix so that the low bits spread well.
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (const char c : bytes) h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
}

}  // namespace quarvo
