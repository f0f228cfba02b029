// A textbook evaluator of action formulas, kept apart from the real one: its
// own trees, sets of states as vectors of booleans, regular modalities as
// iterated predecessor sets, fixpoints by plain iteration from the bottom or
// the top. Slow, and plain enough to be believed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quarvo::logic::test {

struct RefSystem {
    std::uint32_t states = 0;
    std::uint32_t initial = 0;
    struct Arc {
        std::uint32_t from, to;
        std::string action;
    };
    std::vector<Arc> arcs;
};

using States = std::vector<bool>;

struct RefAction {
    enum Kind { Name, Tau, True, False, Not, And, Or } kind = True;
    std::string name;
    std::shared_ptr<RefAction> a, b;
    bool Accepts(const std::string& action) const {
        switch (kind) {
            case Name: return action == name;
            case Tau: return action == "I" || action.rfind("I_", 0) == 0;
            case True: return true;
            case False: return false;
            case Not: return !a->Accepts(action);
            case And: return a->Accepts(action) && b->Accepts(action);
            case Or: return a->Accepts(action) || b->Accepts(action);
        }
        return false;
    }
};

struct RefRegular {
    enum Kind { Action, Nil, Seq, Alt, Star, Plus } kind = Nil;
    std::shared_ptr<RefAction> action;
    std::shared_ptr<RefRegular> a, b;
};

struct RefState {
    enum Kind { True, False, Not, And, Or, Implies, Diamond, Box, Mu, Nu, Var } kind = True;
    std::string variable;
    std::shared_ptr<RefRegular> regular;
    std::shared_ptr<RefState> a, b;
};

class RefEvaluator {
public:
    explicit RefEvaluator(const RefSystem& system) : sys_(system) {}

    States Eval(const RefState& f) {
        const std::uint32_t n = sys_.states;
        switch (f.kind) {
            case RefState::True: return States(n, true);
            case RefState::False: return States(n, false);
            case RefState::Not: return Complement(Eval(*f.a));
            case RefState::And: return Combine(Eval(*f.a), Eval(*f.b), false);
            case RefState::Or: return Combine(Eval(*f.a), Eval(*f.b), true);
            case RefState::Implies: return Combine(Complement(Eval(*f.a)), Eval(*f.b), true);
            case RefState::Diamond: return Pre(*f.regular, Eval(*f.a));
            case RefState::Box: return Complement(Pre(*f.regular, Complement(Eval(*f.a))));
            case RefState::Var: return env_.at(f.variable);
            case RefState::Mu:
            case RefState::Nu: {
                States x(n, f.kind == RefState::Nu);
                const auto saved = env_.find(f.variable) != env_.end() ? env_[f.variable] : States();
                for (;;) {
                    env_[f.variable] = x;
                    States next = Eval(*f.a);
                    if (next == x) break;
                    x = std::move(next);
                }
                env_.erase(f.variable);
                if (!saved.empty()) env_[f.variable] = saved;
                return x;
            }
        }
        return {};
    }

    // The states from which a word of r leads into target.
    States Pre(const RefRegular& r, const States& target) {
        switch (r.kind) {
            case RefRegular::Action: {
                States s(sys_.states, false);
                for (const auto& arc : sys_.arcs)
                    if (target[arc.to] && r.action->Accepts(arc.action)) s[arc.from] = true;
                return s;
            }
            case RefRegular::Nil: return target;
            case RefRegular::Seq: return Pre(*r.a, Pre(*r.b, target));
            case RefRegular::Alt: return Combine(Pre(*r.a, target), Pre(*r.b, target), true);
            case RefRegular::Star: {
                States x = target;
                for (;;) {
                    States next = Combine(target, Pre(*r.a, x), true);
                    if (next == x) return x;
                    x = std::move(next);
                }
            }
            case RefRegular::Plus: {
                RefRegular star{RefRegular::Star, nullptr, r.a, nullptr};
                return Pre(*r.a, Pre(star, target));
            }
        }
        return {};
    }

    // Whether the word is in the language of r.
    static bool Matches(const RefRegular& r, const std::vector<std::string>& word, std::size_t from, std::size_t to) {
        switch (r.kind) {
            case RefRegular::Action: return to == from + 1 && r.action->Accepts(word[from]);
            case RefRegular::Nil: return to == from;
            case RefRegular::Seq:
                for (std::size_t m = from; m <= to; ++m)
                    if (Matches(*r.a, word, from, m) && Matches(*r.b, word, m, to)) return true;
                return false;
            case RefRegular::Alt: return Matches(*r.a, word, from, to) || Matches(*r.b, word, from, to);
            case RefRegular::Star:
            case RefRegular::Plus:
                // A non-empty word: a non-empty first piece of r.a, then any
                // number more; the empty one: always under *, under + when r.a has it.
                if (from == to) return r.kind == RefRegular::Star || Matches(*r.a, word, from, from);
                for (std::size_t m = from + 1; m <= to; ++m)
                    if (Matches(*r.a, word, from, m) &&
                        (m == to || Matches(RefRegular{RefRegular::Star, nullptr, r.a, nullptr}, word, m, to)))
                        return true;
                return false;
        }
        return false;
    }

private:
    static States Complement(States s) {
        s.flip();
        return s;
    }
    static States Combine(const States& x, const States& y, bool either) {
        States s(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) s[i] = either ? (x[i] || y[i]) : (x[i] && y[i]);
        return s;
    }

    const RefSystem& sys_;
    std::map<std::string, States> env_;
};

}  // namespace quarvo::logic::test
