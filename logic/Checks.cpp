// The checks of a formula's fixpoint variables and the unknown-action warnings.
#include "logic/Checks.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "frontend/MessageText.h"
#include "logic/Parser.h"

namespace quarvo::logic {
namespace {

struct Frame {
    bool mu = true;          // the kind once negations are pushed down
    std::string variable;    // empty for the fixpoint of a regular modality
};

struct Fault {
    std::uint32_t offset;
    std::string what;
};

bool HasIteration(const Formula& f, std::int32_t r) {
    const RegularNode& n = f.regulars[static_cast<std::size_t>(r)];
    switch (n.kind) {
        case RegularNode::Kind::Star:
        case RegularNode::Kind::Plus: return true;
        case RegularNode::Kind::Seq:
        case RegularNode::Kind::Alt: return HasIteration(f, n.a) || HasIteration(f, n.b);
        default: return false;
    }
}

class Checker {
public:
    explicit Checker(const Formula& f) : f_(f) {}

    std::optional<Fault> Run() {
        Visit(f_.root, false);
        return fault_;
    }

private:
    void Report(std::uint32_t offset, std::string what) {
        if (!fault_ || offset < fault_->offset) fault_ = Fault{offset, std::move(what)};
    }

    void Visit(std::int32_t node, bool negated) {
        const StateNode& n = f_.states[static_cast<std::size_t>(node)];
        using K = StateNode::Kind;
        switch (n.kind) {
            case K::True:
            case K::False: return;
            case K::Not: Visit(n.a, !negated); return;
            case K::And:
            case K::Or:
                Visit(n.a, negated);
                Visit(n.b, negated);
                return;
            case K::Implies:
                Visit(n.a, !negated);
                Visit(n.b, negated);
                return;
            case K::Diamond:
            case K::Box: {
                const bool fixpoint = HasIteration(f_, n.regular);
                if (fixpoint) frames_.push_back({(n.kind == K::Diamond) != negated, {}});
                Visit(n.a, negated);
                if (fixpoint) frames_.pop_back();
                return;
            }
            case K::Mu:
            case K::Nu: {
                if (!bound_.insert(n.variable).second)
                    Report(n.offset, "la variable " + n.variable + " est liée deux fois");
                frames_.push_back({(n.kind == K::Mu) != negated, n.variable});
                parity_.push_back(negated);
                Visit(n.a, negated);
                parity_.pop_back();
                frames_.pop_back();
                return;
            }
            case K::Var: {
                std::size_t binder = frames_.size();
                for (std::size_t i = frames_.size(); i-- > 0;)
                    if (frames_[i].variable == n.variable) {
                        binder = i;
                        break;
                    }
                if (binder == frames_.size()) {
                    Report(n.offset, "la variable " + n.variable + " n'est liée par aucun mu ni nu");
                    return;
                }
                std::size_t named = 0;  // the binder's rank among the named frames
                for (std::size_t i = 0; i < binder; ++i)
                    if (!frames_[i].variable.empty()) ++named;
                if (parity_[named] != negated) {
                    Report(n.offset, "la variable " + n.variable +
                                         " est employée sous un nombre impair de négations (not, ou la gauche "
                                         "d'un implies)");
                    return;
                }
                const Frame& own = frames_[binder];
                for (std::size_t i = binder + 1; i < frames_.size(); ++i) {
                    if (frames_[i].mu == own.mu) continue;
                    const std::string kind = own.mu ? "mu" : "nu";
                    const std::string other = own.mu ? "nu" : "mu";
                    const std::string inner =
                        frames_[i].variable.empty()
                            ? "une modalité itérée (* ou +), point fixe " + other + ","
                            : "le point fixe " + other + " " + frames_[i].variable;
                    Report(n.offset, "alternance de points fixes : la variable " + n.variable + " (" + kind +
                                         ") est employée dans " + inner + " lui-même dans la portée de " +
                                         n.variable);
                    return;
                }
                return;
            }
        }
    }

    const Formula& f_;
    std::vector<Frame> frames_;
    std::vector<bool> parity_;  // per named frame: negated at the binder
    std::set<std::string> bound_;
    std::optional<Fault> fault_;
};

void ActionNames(const Formula& f, std::vector<std::pair<std::uint32_t, std::string>>& names) {
    for (const ActionNode& a : f.actions)
        if (a.kind == ActionNode::Kind::Name) names.emplace_back(a.offset, a.name);
    std::sort(names.begin(), names.end());
}

}  // namespace

Status CheckFormula(const Formula& formula, std::string_view text) {
    if (formula.root == NoNode) return {};
    Checker checker(formula);
    if (const std::optional<Fault> fault = checker.Run()) {
        return Failure{FormulaErrorText(text, fault->offset, fault->what), FormulaPosition(text, fault->offset).first};
    }
    return {};
}

int EditDistance(std::string_view a, std::string_view b) {
    std::vector<int> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

std::vector<std::string> UnknownActionWarnings(const Formula& formula, const std::vector<std::string>& labels) {
    const std::set<std::string> known(labels.begin(), labels.end());
    std::vector<std::pair<std::uint32_t, std::string>> names;
    ActionNames(formula, names);
    std::set<std::string> said;
    std::vector<std::string> lines;
    for (const auto& [offset, name] : names) {
        if (known.count(name) || !said.insert(name).second) continue;
        std::string nearest;
        int best = 3;
        // "i" names the internal action in LOTOS and in .aut files; here it is tau.
        if (name == "i" || name == "I") {
            nearest = "tau";
            best = 0;
        }
        for (const std::string& label : known) {  // in order: the first of the nearest
            const int d = EditDistance(name, label);
            if (d < best) {
                best = d;
                nearest = label;
            }
        }
        std::string line = "Attention : aucune action « " + ShownText(name) + " » dans le système";
        if (!nearest.empty()) line += " (voulez-vous dire « " + ShownText(nearest) + " » ?)";
        lines.push_back(line + ".");
    }
    return lines;
}

}  // namespace quarvo::logic
