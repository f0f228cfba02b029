// Test support: reads a Hennessy–Milner formula as the comparison writes it
// and evaluates it on a transition system, independently of the code that
// built it. Strong modalities <A>, [A] follow single arcs; weak ones <<A>>,
// [[A]] follow internal arcs, A, internal arcs, and <<>>, [[]] internal arcs
// only. The until modality φ<A>ψ (operands bracketed unless true or false)
// holds where internal steps through states of φ lead to a state of φ with
// an A-step (A may be I) to a state of ψ.
#pragma once

#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "generation/Lts.h"

namespace quarvo::testing {

class HmlEvaluator {
public:
    explicit HmlEvaluator(const Lts& lts) : lts_(lts) {
        const std::size_t n = lts.StateCount();
        closure_.resize(n);
        for (std::uint32_t s = 0; s < n; ++s) {
            std::vector<bool> seen(n, false);
            std::vector<std::uint32_t>& c = closure_[s];
            c.push_back(s);
            seen[s] = true;
            for (std::size_t i = 0; i < c.size(); ++i) {
                for (std::uint32_t k = lts.firstArc[c[i]]; k < lts.firstArc[c[i] + 1]; ++k) {
                    if (lts.label[k] == TauLabel && !seen[lts.target[k]]) {
                        seen[lts.target[k]] = true;
                        c.push_back(lts.target[k]);
                    }
                }
            }
        }
    }

    // The states where the formula holds; throws std::runtime_error on a
    // formula it cannot read.
    std::vector<bool> Evaluate(const std::string& formula) {
        text_ = formula;
        pos_ = 0;
        std::vector<bool> result = Conjunction();
        Skip();
        if (pos_ != text_.size()) throw std::runtime_error("trailing text in " + formula);
        return result;
    }

    bool Holds(const std::string& formula, std::uint32_t state) { return Evaluate(formula)[state]; }

private:
    void Skip() {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }
    bool Eat(const std::string& token) {
        Skip();
        if (text_.compare(pos_, token.size(), token) != 0) return false;
        pos_ += token.size();
        return true;
    }
    std::string NameUntil(char close) {
        const std::size_t end = text_.find(close, pos_);
        if (end == std::string::npos) throw std::runtime_error("unclosed modality in " + text_);
        std::string name = text_.substr(pos_, end - pos_);
        pos_ = end;
        return name;
    }

    std::vector<bool> Conjunction() {
        std::vector<bool> result = Until();
        while (Eat("and ")) {
            const std::vector<bool> next = Until();
            for (std::size_t s = 0; s < result.size(); ++s) result[s] = result[s] && next[s];
        }
        return result;
    }

    std::vector<bool> Until() {
        const std::vector<bool> phi = Unary();
        Skip();
        if (pos_ >= text_.size() || text_[pos_] != '<' || text_.compare(pos_, 2, "<<") == 0) return phi;
        ++pos_;
        const std::string name = NameUntil('>');
        ++pos_;
        const std::vector<bool> psi = Unary();
        // Backwards from the states with the step to ψ, through φ states.
        const std::size_t n = lts_.StateCount();
        std::vector<bool> result(n, false);
        if (name == "I") {
            for (std::uint32_t s = 0; s < n; ++s) result[s] = phi[s] && psi[s];
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (std::uint32_t s = 0; s < n; ++s) {
                if (result[s] || !phi[s]) continue;
                for (std::uint32_t k = lts_.firstArc[s]; k < lts_.firstArc[s + 1]; ++k) {
                    const std::uint32_t t = lts_.target[k];
                    const bool step = lts_.labels[lts_.label[k]] == name && psi[t];
                    const bool stay = lts_.label[k] == TauLabel && result[t];
                    if (step || stay) {
                        result[s] = true;
                        changed = true;
                        break;
                    }
                }
            }
        }
        return result;
    }

    std::vector<bool> Unary() {
        const std::size_t n = lts_.StateCount();
        if (Eat("true")) return std::vector<bool>(n, true);
        if (Eat("false")) return std::vector<bool>(n, false);
        if (Eat("not ")) {
            std::vector<bool> inner = Unary();
            inner.flip();
            return inner;
        }
        if (Eat("(")) {
            std::vector<bool> inner = Conjunction();
            if (!Eat(")")) throw std::runtime_error("unclosed parenthesis in " + text_);
            return inner;
        }
        for (const bool weak : {true, false}) {
            for (const bool diamond : {true, false}) {
                const std::string open = weak ? (diamond ? "<<" : "[[") : (diamond ? "<" : "[");
                const std::string close = weak ? (diamond ? ">>" : "]]") : (diamond ? ">" : "]");
                if (!Eat(open)) continue;
                const std::string name = NameUntil(close[0]);
                if (!Eat(close)) throw std::runtime_error("bad modality in " + text_);
                return Modal(weak, diamond, name, Unary());
            }
        }
        throw std::runtime_error("unreadable formula " + text_ + " at " + std::to_string(pos_));
    }

    // The states whose successors by the modality's steps satisfy inner: one (diamond) or all (box).
    std::vector<bool> Modal(bool weak, bool diamond, const std::string& name, const std::vector<bool>& inner) {
        const std::size_t n = lts_.StateCount();
        std::vector<bool> result(n, !diamond);
        for (std::uint32_t s = 0; s < n; ++s) {
            for (std::uint32_t t : Steps(s, weak, name)) {
                if (inner[t] == diamond) {
                    result[s] = diamond;
                    break;
                }
            }
        }
        return result;
    }

    std::vector<std::uint32_t> Steps(std::uint32_t s, bool weak, const std::string& name) const {
        std::vector<std::uint32_t> out;
        const auto direct = [&](std::uint32_t u, std::vector<std::uint32_t>& into) {
            for (std::uint32_t k = lts_.firstArc[u]; k < lts_.firstArc[u + 1]; ++k) {
                if (lts_.labels[lts_.label[k]] == name) into.push_back(lts_.target[k]);
            }
        };
        if (!weak) {
            direct(s, out);
            return out;
        }
        if (name.empty()) return closure_[s];
        for (std::uint32_t u : closure_[s]) {
            std::vector<std::uint32_t> after;
            direct(u, after);
            for (std::uint32_t v : after) out.insert(out.end(), closure_[v].begin(), closure_[v].end());
        }
        return out;
    }

    const Lts& lts_;
    std::vector<std::vector<std::uint32_t>> closure_;
    std::string text_;
    std::size_t pos_ = 0;
};

}  // namespace quarvo::testing
