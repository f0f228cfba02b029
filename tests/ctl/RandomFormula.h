// Random CTL formulas written with as few parentheses as the binding rules allow, with their expected tree.
#pragma once

#include <random>
#include <string>

namespace quarvo::test {

struct RandomFormula {
    std::string text;      // as a user could write it
    std::string expected;  // the fully parenthesised form of its tree
    int level = 5;         // 1 <=>, 2 =>, 3 OR, 4 AND, 5 operand
};

// depth bounds the nesting; atoms are drawn from P, Q and R in mixed case.
inline RandomFormula MakeRandomFormula(std::mt19937& rng, int depth) {
    auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    // Separators: usually a blank, sometimes a line end or several blanks.
    auto gap = [&]() -> std::string {
        switch (pick(8)) {
        case 0: return "\n";
        case 1: return " \t ";
        default: return " ";
        }
    };
    const char* const atoms[] = {"p", "Q", "r", "P", "q"};
    if (depth <= 0 || pick(4) == 0) {
        switch (pick(6)) {
        case 0: return {"TRUE", "(TRUE)", 5};
        case 1: return {"false", "(FALSE)", 5};
        case 2: {
            const std::string a = atoms[pick(5)];
            const std::string n = std::to_string(pick(3));
            std::string upper = a == "p" ? "P" : a == "q" ? "Q" : a == "r" ? "R" : a;
            return {a + gap() + ":" + gap() + n, "((" + upper + "):" + n + ")", 5};
        }
        default: {
            const std::string a = atoms[pick(5)];
            std::string upper = a == "p" ? "P" : a == "q" ? "Q" : a == "r" ? "R" : a;
            return {a, "(" + upper + ")", 5};
        }
        }
    }
    auto operand = [&](const RandomFormula& f) { return f.level < 5 ? "(" + gap() + f.text + gap() + ")" : f.text; };
    switch (pick(5)) {
    case 0:
    case 1: {  // binary
        struct Op { const char* text; const char* shown; int level; };
        const Op ops[] = {{"AND", "AND", 4}, {"and", "AND", 4}, {"OR", "OR", 3}, {"Or", "OR", 3},
                          {"=>", "=>", 2},   {"<=>", "<=>", 1}};
        const Op op = ops[pick(6)];
        RandomFormula left = MakeRandomFormula(rng, depth - 1);
        RandomFormula right = MakeRandomFormula(rng, depth - 1);
        // Binary operators group to the left: a right operand of the same level needs parentheses.
        std::string l = left.level < op.level ? "(" + left.text + ")" : left.text;
        std::string r = right.level <= op.level ? "(" + right.text + ")" : right.text;
        return {l + gap() + op.text + gap() + r, "(" + left.expected + op.shown + right.expected + ")", op.level};
    }
    case 2: {  // unary
        const char* const words[] = {"NOT", "E X", "A X", "E G", "A G", "E F", "A F", "not"};
        const char* const shown[] = {"NOT", "EX", "AX", "EG", "AG", "EF", "AF", "NOT"};
        const int w = pick(8);
        RandomFormula f = MakeRandomFormula(rng, depth - 1);
        return {std::string(words[w]) + gap() + operand(f), std::string("(") + shown[w] + f.expected + ")", 5};
    }
    case 3: {  // until
        const bool all = pick(2) == 0;
        RandomFormula f = MakeRandomFormula(rng, depth - 1);
        RandomFormula g = MakeRandomFormula(rng, depth - 1);
        return {std::string(all ? "A" : "E") + gap() + "[" + f.text + gap() + "U" + gap() + g.text + "]",
                std::string("(") + (all ? "A" : "E") + "[" + f.expected + "U" + g.expected + "])", 5};
    }
    default: {  // redundant parentheses
        RandomFormula f = MakeRandomFormula(rng, depth - 1);
        return {"(" + f.text + ")", f.expected, 5};
    }
    }
}

}  // namespace quarvo::test
