// How two configurations are recognised as one state.
#pragma once

namespace quarvo {

enum class Semantics { Maximality, Interleaving };

struct StateIdentity {
    Semantics semantics = Semantics::Maximality;
    bool cpbrOff = true;  // without CPBR, maximal events must carry the same actions in the same order
};

}  // namespace quarvo
