// The states of an exploration by their identity vectors, in a tree-compressed table that grows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "generation/vector/TreeTable.h"

namespace quarvo {

// Each state has one key, its identity vector; a key names the state that
// holds it, or the earliest one when a state's key changed to one an
// earlier state holds. The tables double (every key interned again, in
// state order) when they fill up.
class VectorStates {
public:
    explicit VectorStates(std::uint32_t width, unsigned bits = 10);

    // The state the key names, -1 for none.
    std::int64_t Find(const std::uint32_t* key) const;
    // A new state, numbered after every state added so far, with a key that names no state.
    void Add(const std::uint32_t* key);
    // The key of state number changed: its old key no longer names it, the
    // new one does unless an earlier state holds it.
    void Rekey(std::int64_t number, const std::uint32_t* key);
    std::size_t Bytes() const;

private:
    struct Tables {
        Tables(unsigned bits, std::uint32_t width) : inner(bits), roots(bits), tree(inner, roots, width) {}
        PairTable inner, roots;
        VectorTree tree;
    };
    std::uint32_t Intern(const std::uint32_t* key);
    void Grow();

    std::uint32_t width_;
    unsigned bits_;
    std::unique_ptr<Tables> tables_;
    std::vector<std::int32_t> numberOf_;  // per root cell, -1 for none
    std::vector<std::uint32_t> rootOf_;   // per state, the root of its key
    std::vector<std::uint32_t> inner_, slots_;
};

}  // namespace quarvo
