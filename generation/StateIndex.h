// The index from state identities to state numbers that an exploration keeps.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvo {

// Among states sharing an identity the smallest number wins, as a scan of
// the list from its head would find.
class StateIndex {
public:
    std::int64_t Find(std::uint32_t identity) const {
        return identity < byIdentity_.size() ? byIdentity_[identity] : -1;
    }
    void Set(std::uint32_t identity, std::int64_t number) {
        if (byIdentity_.size() <= identity) byIdentity_.resize(identity + identity / 2 + 1024, -1);
        byIdentity_[identity] = static_cast<std::int32_t>(number);
    }
    // A state's identity changes when its derivation distributed events in its term.
    void Rekey(std::uint32_t from, std::uint32_t to, std::int64_t number) {
        if (from == to) return;
        if (Find(from) == number) byIdentity_[from] = -1;
        const std::int64_t there = Find(to);
        if (there < 0 || there > number) Set(to, number);
    }
    std::size_t Bytes() const { return byIdentity_.capacity() * sizeof(std::int32_t); }

private:
    std::vector<std::int32_t> byIdentity_;
};

}  // namespace quarvo
