// make_parse_tables — builds the LALR(1) parse tables of the QUARVO parser.
//
//   make_parse_tables OUTDIR [--dump]
//
// Writes OUTDIR/taction.tab (66 x 24 int32) and OUTDIR/tsucc.tab (66 x 13
// int32), each integer as 4 little-endian bytes, rows = states.
//
// Action cell: 1..65 shift to that state, 100 accept, -1..-30 reduce by that
// rule, 101..119 syntax error with that message code (never 0).
// Successor cell: target state of the goto, 0 where there is none.
//
// The automaton is the canonical LR(0) collection with LALR(1) look-aheads
// computed by propagation to a fixed point. Operator conflicts are settled by
// precedence; any other conflict makes the program fail without writing.

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using TermSet = std::uint32_t;  // bit t set = terminal t is in the set

// ---------------------------------------------------------------- grammar

// Terminals; the value is the column in the action table.
enum : int {
    tSystem, tId, tLBrack, tComma, tRBrack, tAssign, tHide, tIn, tEnable,
    tDisable, tLParen, tRParen, tSemi, tNil, tExit, tInternal, tInterleave,
    tFullSync, tBar, tWhere, tEndsys, tProcess, tEndproc, tEnd,
    kTerminals
};

// Non-terminals follow the terminals; minus kTerminals gives the column in
// the successor table. The augmented goal symbol comes last and has no column.
enum : int {
    nSpecification = kTerminals, nHeader, nGates, nMoreGates, nBody,
    nWherePart, nProcessDecl, nMoreProcessDecls, nBehaviour, nHiddenGates,
    nParallelOp, nChoiceOp, nActionName, nGoal,
    kSymbols
};

constexpr int kNonTerminals = int{nGoal} - int{kTerminals};  // 13 table columns
constexpr int kMaxStates = 66;                     // rows of both files
constexpr int kAccept = 100;
constexpr int kPadError = 105;                     // fills unused rows

const char* const kSymbolNames[kSymbols] = {
    "SYSTEM", "id", "[", ",", "]", ":=", "HIDE", "IN", ">>", "[>", "(", ")",
    ";", "NIL", "EXIT", "I", "|||", "||", "|", "WHERE", "ENDSYS", "PROCESS",
    "ENDPROC", "$",
    "Specification", "Header", "Gates", "MoreGates", "Body", "WherePart",
    "ProcessDecl", "MoreProcessDecls", "Behaviour", "HiddenGates",
    "ParallelOp", "ChoiceOp", "ActionName", "Specification'"};

bool isTerminal(int sym) { return sym < kTerminals; }

// Binding levels of the behaviour operators; larger binds tighter, 0 = none.
// Rule 14 (HIDE ... IN B) gets the loosest level so that its operand swallows
// every operator that follows.
enum : int { pNone, pHide, pEnable, pDisable, pParallel, pChoice, pPrefix };

struct Rule {
    int lhs;
    std::vector<int> rhs;
    int prec;  // level used when this rule meets an operator token
};

// Rule numbers are the indices; 0 is the augmented rule, accepted on "$".
const std::vector<Rule> kRules = {
    {nGoal, {nSpecification}, pNone},
    {nSpecification, {tSystem, nHeader, tAssign, nBody, tEndsys}, pNone},
    {nHeader, {tId, tLBrack, nGates, tRBrack}, pNone},
    {nGates, {tId, nMoreGates}, pNone},
    {nGates, {}, pNone},
    {nMoreGates, {tComma, tId, nMoreGates}, pNone},
    {nMoreGates, {}, pNone},
    {nBody, {nBehaviour, nWherePart}, pNone},
    {nBody, {}, pNone},
    {nWherePart, {tWhere, nProcessDecl, nMoreProcessDecls}, pNone},
    {nWherePart, {}, pNone},
    {nProcessDecl, {tProcess, nHeader, tAssign, nBody, tEndproc}, pNone},
    {nMoreProcessDecls, {nProcessDecl, nMoreProcessDecls}, pNone},
    {nMoreProcessDecls, {}, pNone},
    {nBehaviour, {tHide, nHiddenGates, tIn, nBehaviour}, pHide},
    {nBehaviour, {nBehaviour, tEnable, nBehaviour}, pEnable},
    {nBehaviour, {nBehaviour, tDisable, nBehaviour}, pDisable},
    // 17 and 18 carry their operator inside a non-terminal, hence the
    // explicit levels.
    {nBehaviour, {nBehaviour, nParallelOp, nBehaviour}, pParallel},
    {nBehaviour, {nBehaviour, nChoiceOp, nBehaviour}, pChoice},
    {nBehaviour, {tLParen, nBehaviour, tRParen}, pNone},
    {nBehaviour, {nActionName, tSemi, nBehaviour}, pPrefix},
    {nBehaviour, {tNil}, pNone},
    {nBehaviour, {tExit}, pNone},
    {nBehaviour, {tId, tLBrack, nGates, tRBrack}, pNone},
    {nHiddenGates, {tId, nMoreGates}, pNone},
    {nParallelOp, {tInterleave}, pNone},
    {nParallelOp, {tBar, tLBrack, tId, nMoreGates, tRBrack, tBar}, pNone},
    {nParallelOp, {tFullSync}, pNone},
    {nChoiceOp, {tLBrack, tRBrack}, pNone},
    {nActionName, {tId}, pNone},
    {nActionName, {tInternal}, pNone},
};

// Level of a look-ahead token that opens a binary operator ("[" opens "[]").
int tokenPrec(int t) {
    switch (t) {
    case tEnable: return pEnable;
    case tDisable: return pDisable;
    case tInterleave: case tFullSync: case tBar: return pParallel;
    case tLBrack: return pChoice;
    default: return pNone;
    }
}

// ---------------------------------------------------------- FIRST / nullable

struct FirstSets {
    std::array<bool, kSymbols> nullable{};
    std::array<TermSet, kSymbols> first{};

    FirstSets() {
        for (int t = 0; t < kTerminals; ++t) first[t] = TermSet{1} << t;
        for (bool changed = true; changed;) {
            changed = false;
            for (const Rule& r : kRules) {
                TermSet f = first[r.lhs] | sequence(r.rhs, 0, 0);
                bool n = nullable[r.lhs] || sequenceNullable(r.rhs, 0);
                if (f != first[r.lhs] || n != nullable[r.lhs]) {
                    first[r.lhs] = f;
                    nullable[r.lhs] = n;
                    changed = true;
                }
            }
        }
    }
    bool sequenceNullable(const std::vector<int>& s, size_t from) const {
        for (size_t i = from; i < s.size(); ++i)
            if (!nullable[s[i]]) return false;
        return true;
    }
    // FIRST(s[from..]) plus `follow` when that suffix can derive nothing.
    TermSet sequence(const std::vector<int>& s, size_t from, TermSet follow) const {
        TermSet f = 0;
        for (size_t i = from; i < s.size(); ++i) {
            f |= first[s[i]];
            if (!nullable[s[i]]) return f;
        }
        return f | follow;
    }
};

// ---------------------------------------------------------------- automaton

struct Item {
    int rule;
    int dot;
    auto operator<=>(const Item&) const = default;
    bool complete() const { return dot == static_cast<int>(kRules[rule].rhs.size()); }
    int next() const { return complete() ? -1 : kRules[rule].rhs[dot]; }
};

struct State {
    std::vector<Item> items;      // kernel (sorted) first, then closure items
    size_t kernelSize = 0;
    std::vector<TermSet> la;      // LALR(1) look-aheads, one per item
    std::array<int, kSymbols> go; // successor on each symbol, -1 = none
    std::vector<int> order;       // symbols with a successor, first use first

    int find(Item it) const {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == it) return static_cast<int>(i);
        return -1;
    }
};

// LR(0) closure: kernel items, then B -> .g for every B after a dot, in the
// order they are discovered (keeps the numbering deterministic).
State makeState(std::vector<Item> kernel) {
    State s;
    s.items = std::move(kernel);
    s.kernelSize = s.items.size();
    for (size_t i = 0; i < s.items.size(); ++i) {
        int b = s.items[i].next();
        if (b < 0 || isTerminal(b)) continue;
        for (int r = 0; r < static_cast<int>(kRules.size()); ++r)
            if (kRules[r].lhs == b && s.find({r, 0}) < 0) s.items.push_back({r, 0});
    }
    s.la.assign(s.items.size(), 0);
    s.go.fill(-1);
    return s;
}

// Canonical LR(0) collection, numbered breadth-first from the start state.
std::vector<State> buildLR0() {
    std::vector<State> states;
    std::map<std::vector<Item>, int> byKernel;
    states.push_back(makeState({{0, 0}}));
    byKernel[states[0].items] = 0;
    for (size_t s = 0; s < states.size(); ++s) {
        std::vector<int> symbols;
        for (const Item& it : states[s].items) {
            int x = it.next();
            if (x >= 0 && std::find(symbols.begin(), symbols.end(), x) == symbols.end())
                symbols.push_back(x);
        }
        for (int x : symbols) {
            std::vector<Item> kernel;
            for (const Item& it : states[s].items)
                if (it.next() == x) kernel.push_back({it.rule, it.dot + 1});
            std::sort(kernel.begin(), kernel.end());
            auto [pos, fresh] = byKernel.try_emplace(kernel, static_cast<int>(states.size()));
            if (fresh) states.push_back(makeState(kernel));
            states[s].go[x] = pos->second;  // index again: push_back may reallocate
            states[s].order.push_back(x);
        }
    }
    return states;
}

// LALR(1) look-aheads: "$" seeds the start item, then look-aheads flow inside
// each state (closure: FIRST of what follows the non-terminal, plus the
// item's own set when that rest is nullable) and along every transition
// (A -> a.Xb to A -> aX.b) until nothing grows. The least fixed point of these
// equations is exactly the LALR(1) look-ahead assignment.
void computeLookaheads(std::vector<State>& states, const FirstSets& firsts) {
    states[0].la[0] = TermSet{1} << tEnd;
    for (bool changed = true; changed;) {
        changed = false;
        for (State& s : states) {
            for (size_t i = 0; i < s.items.size(); ++i) {
                const Item& it = s.items[i];
                int b = it.next();
                if (b < 0) continue;
                if (!isTerminal(b)) {
                    TermSet spread = firsts.sequence(kRules[it.rule].rhs, it.dot + 1, s.la[i]);
                    for (size_t j = s.kernelSize; j < s.items.size(); ++j) {
                        if (kRules[s.items[j].rule].lhs != b) continue;
                        TermSet grown = s.la[j] | spread;
                        if (grown != s.la[j]) { s.la[j] = grown; changed = true; }
                    }
                }
                State& t = states[s.go[b]];
                TermSet& dst = t.la[t.find({it.rule, it.dot + 1})];
                if ((dst | s.la[i]) != dst) { dst |= s.la[i]; changed = true; }
            }
        }
    }
}

// ------------------------------------------------------------------ tables

struct ErrorChoice {
    int code;
    const char* why;
};

const char* errorMessage(int code) {
    static const char* const messages[] = {
        "\"system\" manquant", "Identificateur manquant", "\":=\" manquant",
        "\"[\" manquant", "Expression de comportement incorrecte",
        "Identificateur ou \"]\" manquant", "\"endsys\" manque",
        "\";\" manquant", "\"[\" ou \";\" manquant", "\"]\" manquant",
        "\",\" ou \"]\"ou \"in\" manquant", "Symbole exedentaire",
        "\"endsys\" ou \"endproc\" manquant", "\"process\" manquant",
        "\"in\" manqant", "\"endsys\" ou \"endproc\" ou\"process\" manquant",
        "\"]\" ou \"in\" manque", "\"endproc\" manquant", "\"|\" manque"};
    return messages[code - 101];
}

constexpr TermSet bit(int t) { return TermSet{1} << t; }

// Picks the message that best names what a state can accept, from the set of
// terminals with a non-error action there. First matching line wins.
ErrorChoice chooseErrorCode(TermSet ok) {
    const TermSet behaviourStart =
        bit(tHide) | bit(tLParen) | bit(tNil) | bit(tExit) | bit(tInternal);
    const TermSet closers = bit(tEndsys) | bit(tEndproc);
    const TermSet gateFollow = bit(tComma) | bit(tRBrack) | bit(tIn);
    if (ok == bit(tSystem)) return {101, "only SYSTEM"};
    if (ok == bit(tEnd)) return {112, "only the end of text"};
    if (ok == bit(tId)) return {102, "only an identifier"};
    if (ok == bit(tAssign)) return {103, "only :="};
    if (ok == bit(tLBrack)) return {104, "only ["};
    if (ok == (bit(tId) | bit(tRBrack))) return {106, "a gate or ] (empty list)"};
    if (ok == bit(tEndsys)) return {107, "only ENDSYS"};
    if (ok == bit(tSemi)) return {108, "only ; after an action name"};
    if (ok == (bit(tLBrack) | bit(tSemi))) return {109, "[ of a call or ; of a prefix"};
    if (ok == bit(tRBrack)) return {110, "only ]"};
    if ((ok & bit(tComma)) && (ok & ~gateFollow) == 0) return {111, "more gates or the list's end"};
    if (ok == (bit(tRBrack) | bit(tIn))) return {117, "end of a gate list: ] or IN"};
    if (ok == bit(tProcess)) return {114, "only PROCESS"};
    if (ok == bit(tIn)) return {115, "only IN"};
    if ((ok & bit(tProcess)) && (ok & ~(closers | bit(tProcess))) == 0)
        return {116, "another PROCESS or a closing keyword"};
    if (ok == bit(tEndproc)) return {118, "only ENDPROC"};
    if (ok == bit(tBar)) return {119, "closing | of |[...]|"};
    if (ok & behaviourStart) return {105, "a behaviour expression starts here"};
    // A behaviour that can only be the whole body of a system or a process.
    if ((ok & closers) && !(ok & bit(tRParen)))
        return {113, "end of a body: only an operator, WHERE or a closing keyword"};
    // Shared by every nesting level, so ")" or a closing keyword may be
    // missing alike: name the expression rather than guess the context.
    return {105, "complete behaviour: operator, ) or closing keyword"};
}

struct Tables {
    std::vector<std::array<std::int32_t, kTerminals>> action;
    std::vector<std::array<std::int32_t, kNonTerminals>> succ;
    std::vector<ErrorChoice> error;
    std::vector<int> defaultReduction;  // per state: rule reduced on every other token, or 0
    std::vector<TermSet> valid;         // per state: terminals with an action of their own
    std::vector<std::vector<std::string>> notes;  // per state: how conflicts went
    int resolved = 0;
    std::vector<std::string> unresolved;
};

std::string ruleText(int r) {
    std::string s = std::to_string(r) + ": " + kSymbolNames[kRules[r].lhs] + " ::=";
    if (kRules[r].rhs.empty()) s += " (empty)";
    for (int x : kRules[r].rhs) s += std::string(" ") + kSymbolNames[x];
    return s;
}

Tables buildTables(const std::vector<State>& states) {
    Tables tb;
    const int n = static_cast<int>(states.size());
    tb.action.resize(n);
    tb.succ.resize(n);
    tb.error.resize(n);
    tb.defaultReduction.assign(n, 0);
    tb.valid.assign(n, 0);
    tb.notes.resize(n);
    for (int s = 0; s < n; ++s) {
        const State& st = states[s];
        auto& row = tb.action[s];
        row.fill(0);
        for (int t = 0; t < kTerminals; ++t) {
            const int shift = st.go[t];
            std::vector<int> reduces;
            for (size_t i = 0; i < st.items.size(); ++i)
                if (st.items[i].complete() && (st.la[i] & bit(t)))
                    reduces.push_back(st.items[i].rule);
            const std::string where =
                "state " + std::to_string(s) + " on " + kSymbolNames[t] + ": ";
            if (reduces.size() > 1) {
                std::string msg = where + "reduce/reduce between rules";
                for (int r : reduces) msg += " " + std::to_string(r);
                tb.unresolved.push_back(msg);
                continue;
            }
            if (reduces.empty()) {
                if (shift >= 0) row[t] = shift;
                continue;
            }
            const int r = reduces[0];
            if (shift < 0) {
                row[t] = r == 0 ? kAccept : -r;
                continue;
            }
            // Shift/reduce: only the operator levels may decide it. Equal
            // levels reduce, which makes every binary operator left-associative.
            const int rp = kRules[r].prec, tp = tokenPrec(t);
            if (rp == pNone || tp == pNone) {
                tb.unresolved.push_back(where + "shift/reduce with rule " + ruleText(r));
                continue;
            }
            const bool reduce = rp >= tp;
            row[t] = reduce ? -r : shift;
            ++tb.resolved;
            tb.notes[s].push_back(std::string(kSymbolNames[t]) + ": " +
                                  (reduce ? "reduce" : "shift") + " (rule " +
                                  std::to_string(r) + " level " + std::to_string(rp) +
                                  ", token level " + std::to_string(tp) + ")");
        }
        TermSet ok = 0;
        for (int t = 0; t < kTerminals; ++t)
            if (row[t] != 0) ok |= bit(t);
        tb.error[s] = chooseErrorCode(ok);
        tb.valid[s] = ok;
        // A state whose only reduction is by one non-empty rule reduces on
        // every other token as well: the error is then found in the state
        // that knows what the construct lacks (";" after an action name,
        // ENDSYS after a whole body) instead of inside the finished phrase.
        // Empty rules are not made defaults where the state can shift, so
        // that a wrong token where a phrase may start is blamed on that phrase.
        int defaultRule = 0;
        bool single = true, canShift = false, accepts = false;
        for (int cell : row) {
            if (cell < 0 && defaultRule == 0) defaultRule = -cell;
            else if (cell < 0 && -cell != defaultRule) single = false;
            canShift = canShift || (cell > 0 && cell < kAccept);
            accepts = accepts || cell == kAccept;
        }
        if (defaultRule != 0 && single && !accepts && (!kRules[defaultRule].rhs.empty() || !canShift))
            tb.defaultReduction[s] = defaultRule;
        for (auto& cell : row)
            if (cell == 0) cell = tb.defaultReduction[s] ? -tb.defaultReduction[s] : tb.error[s].code;
        for (int x = 0; x < kNonTerminals; ++x)
            tb.succ[s][x] = std::max(st.go[kTerminals + x], 0);
    }
    return tb;
}

// ------------------------------------------------------------------- output

std::string itemText(const Item& it) {
    const Rule& r = kRules[it.rule];
    std::string s = std::string(kSymbolNames[r.lhs]) + " ::=";
    for (size_t i = 0; i <= r.rhs.size(); ++i) {
        if (static_cast<int>(i) == it.dot) s += " .";
        if (i < r.rhs.size()) s += std::string(" ") + kSymbolNames[r.rhs[i]];
    }
    return s;
}

std::string setText(TermSet set) {
    std::string s;
    for (int t = 0; t < kTerminals; ++t)
        if (set & bit(t)) s += std::string(s.empty() ? "" : " ") + kSymbolNames[t];
    return s;
}

void dump(const std::vector<State>& states, const Tables& tb, std::ostream& out) {
    out << "\nrules:\n";
    for (size_t r = 0; r < kRules.size(); ++r)
        out << "  " << ruleText(static_cast<int>(r)) << "\n";
    for (size_t s = 0; s < states.size(); ++s) {
        const State& st = states[s];
        out << "\nstate " << s << "\n";
        // Kernel items first; "+" marks items added by the closure.
        for (size_t i = 0; i < st.items.size(); ++i) {
            out << (i < st.kernelSize ? "    " : "  + ") << itemText(st.items[i]);
            if (st.items[i].complete()) out << "   [" << setText(st.la[i]) << "]";
            out << "\n";
        }
        for (int t = 0; t < kTerminals; ++t) {
            const int a = tb.action[s][t];
            if (a > kAccept || !(tb.valid[s] & bit(t))) continue;
            out << "  on " << kSymbolNames[t] << ": ";
            if (a == kAccept) out << "accept\n";
            else if (a > 0) out << "shift " << a << "\n";
            else out << "reduce " << ruleText(-a) << "\n";
        }
        for (int x : st.order)
            if (!isTerminal(x)) out << "  goto " << kSymbolNames[x] << ": " << st.go[x] << "\n";
        for (const std::string& note : tb.notes[s]) out << "  precedence " << note << "\n";
        if (tb.defaultReduction[s])
            out << "  default: reduce " << ruleText(tb.defaultReduction[s]) << "\n";
        else
            out << "  error " << tb.error[s].code << " " << errorMessage(tb.error[s].code)
                << "  (" << tb.error[s].why << ")\n";
    }
}

// Writes the integers as 4 little-endian bytes each, through a temporary
// file renamed into place so a reader never sees a half-written table.
bool writeTable(const fs::path& dir, const std::string& name,
                const std::vector<std::int32_t>& cells) {
    const fs::path tmp = dir / (name + ".tmp");
    const fs::path dst = dir / name;
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        for (std::int32_t v : cells) {
            const auto u = static_cast<std::uint32_t>(v);
            const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                                   static_cast<char>((u >> 16) & 0xFF),
                                   static_cast<char>((u >> 24) & 0xFF)};
            out.write(bytes, 4);
        }
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(tmp, ignored);
            std::cerr << "make_parse_tables: cannot write " << tmp.string() << "\n";
            return false;
        }
    }
    std::error_code ec;
    fs::rename(tmp, dst, ec);
    if (ec) {
        std::cerr << "make_parse_tables: cannot rename to " << dst.string() << ": "
                  << ec.message() << "\n";
        return false;
    }
    return true;
}

bool writeTables(const fs::path& dir, const Tables& tb) {
    std::vector<std::int32_t> action, succ;
    for (int s = 0; s < kMaxStates; ++s) {
        const bool real = s < static_cast<int>(tb.action.size());
        for (int t = 0; t < kTerminals; ++t) action.push_back(real ? tb.action[s][t] : kPadError);
        for (int x = 0; x < kNonTerminals; ++x) succ.push_back(real ? tb.succ[s][x] : 0);
    }
    std::error_code ec;
    fs::create_directories(dir, ec);  // failure shows up when writing
    return writeTable(dir, "taction.tab", action) && writeTable(dir, "tsucc.tab", succ);
}

} // namespace

int main(int argc, char** argv) {
    const bool dumpWanted = argc == 3 && std::string(argv[2]) == "--dump";
    if (argc != 2 && !dumpWanted) {
        std::cerr << "usage: make_parse_tables OUTDIR [--dump]\n";
        return 1;
    }
    const FirstSets firstSets;
    std::vector<State> states = buildLR0();
    computeLookaheads(states, firstSets);
    const Tables tb = buildTables(states);

    std::cout << "states: " << states.size() << "\n"
              << "conflicts resolved by precedence: " << tb.resolved
              << ", unresolved: " << tb.unresolved.size() << "\n";
    if (dumpWanted) dump(states, tb, std::cout);
    std::cout.flush();

    bool ok = true;
    for (const std::string& u : tb.unresolved) {
        std::cerr << "make_parse_tables: unresolved conflict in " << u << "\n";
        ok = false;
    }
    if (states.size() > static_cast<size_t>(kMaxStates)) {
        std::cerr << "make_parse_tables: " << states.size() << " states, the tables hold "
                  << kMaxStates << "\n";
        ok = false;
    }
    if (!ok || !writeTables(argv[1], tb)) return 1;
    return 0;
}
