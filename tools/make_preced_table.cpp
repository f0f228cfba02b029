// make_preced_table — builds the precedence matrix of the CTL formula parser.
//
//   make_preced_table OUTDIR [--dump]
//
// Writes OUTDIR/Preced.tab: 24 rows of 23 int32, each as 4 little-endian
// bytes, row after row. Rows are classes of the symbol on top of the parse
// stack, columns classes of the symbol read or popped (see kRowSymbols and
// kColumnSymbols).
//
// The relation cells are the Wirth-Weber simple-precedence relations of the
// grammar below, computed with the start rule "# s #": -1 where the top
// yields (handle start), 0 for equal precedence, 1 where the top takes
// precedence (reduce). Then (s, #) becomes 50 (the finished formula is on
// top), (#, #) becomes 10 (accept) and (#, s), where both "yields" and
// "equal" hold, keeps -1. Any other clash makes the program fail.
//
// Every other cell holds the code of the error message that best describes
// what the user wrote when the parser meets that cell.

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 24;
constexpr int kColumns = 23;

// Symbols of each row and column class, 1-based (index 0 unused).
const char* const kRowSymbols[kRows + 1] = {
    "", "s", "b", "c", "d", "m", "i", "h", "k", "l", "r", "j", "n", "o", "q", "p",
    ")]tvy", "fgwx", "ae", "u", "[", ":", "#", "z", "("};
const char* const kColumnSymbols[kColumns + 1] = {
    "", "s", "b", "c", "d", "m", "i", "h", "k", "l", "r", "j", "n", "o", "q",
    "(aeptvw", ")", "[fgx", "]", "u", ":", "y", "#", "z"};

struct Production {
    char left;
    std::string right;
};

// The grammar of CTL formulas, in production order.
const std::vector<Production> kGrammar = {
    {'s', "sjb"}, {'s', "b"},   {'b', "c"},    {'c', "cnd"},  {'c', "d"},   {'d', "m"},   {'m', "moi"},
    {'m', "i"},   {'i', "h"},   {'h', "hqk"},  {'h', "k"},    {'k', "p"},   {'k', "t"},   {'k', "v"},
    {'k', "wk"},  {'k', "(z)"}, {'k', "exk"},  {'k', "axk"},  {'k', "egk"}, {'k', "agk"}, {'k', "efk"},
    {'k', "afk"}, {'k', "e[r]"}, {'k', "a[r]"}, {'k', "p:y"}, {'r', "sul"}, {'l', "s"},   {'z', "l"},
};

const std::string kNonTerminals = "sbcdmihkrlz";

bool IsNonTerminal(char c) { return kNonTerminals.find(c) != std::string::npos; }

int ClassOf(const char* const* classes, int count, char symbol) {
    for (int i = 1; i <= count; ++i)
        if (std::string(classes[i]).find(symbol) != std::string::npos) return i;
    return 0;
}

// FIRST+ (leftmost) or LAST+ (rightmost) symbols of a non-terminal, to a fixed point.
std::set<char> Ends(char nonTerminal, bool leftmost) {
    std::set<char> found;
    std::vector<char> todo{nonTerminal};
    while (!todo.empty()) {
        char a = todo.back();
        todo.pop_back();
        for (const Production& p : kGrammar) {
            if (p.left != a) continue;
            char end = leftmost ? p.right.front() : p.right.back();
            if (found.insert(end).second && IsNonTerminal(end)) todo.push_back(end);
        }
    }
    return found;
}

constexpr std::int32_t kUnset = -100;

// Error code of a cell that holds no relation; top is the row, right the column.
std::int32_t ErrorCode(int row, int column) {
    // After a quantifier only X, G, F or "[" may come.
    if (row == 18) return 4;
    // After ":" only a number may come.
    if (row == 21) return 5;
    // "E [ f U" or "E [ f U g" at the end (the finished g has been taken off
    // the stack): the closing bracket is missing.
    if (row == 19 && column == 22) return 14;
    // "E [ f" at the end, or a closing bracket after "E [ f": no U.
    if (row == 20 && (column == 22 || column == 9)) return 12;
    // "( f" or "(" at the end.
    if (row == 24 && column == 22) return 11;
    // A ")" or "]" whose opening bracket is missing at the bottom of the formula.
    if (row == 22 && column == 9) return 12;
    // A finished "f U g ]" below which no "E [" or "A [" stands.
    if ((row == 22 || row == 24) && column == 10) return 13;
    // "( f ]": a "]" that no "[" opened.
    if (row == 23 && column == 18) return 13;
    // "E [ f U g" followed by anything but "]".
    if (row == 10) return 14;
    // X, G, F or "[" anywhere but after a quantifier.
    if (column == 17) return 7;
    // ":" after anything but an identifier.
    if (column == 20) return 8;
    // A number after anything but ":".
    if (column == 21) return 9;
    const bool operandDone = (row >= 1 && row <= 10) || row == 15 || row == 16 || row == 23;
    const bool operandExpected = (row >= 11 && row <= 14) || row == 17 || row == 19 || row == 20 ||
                                 row == 22 || row == 24;
    // An operand followed by the start of another operand.
    if (operandDone && column == 15) return 6;
    // An operator, a closing bracket, U or the end where an operand must start.
    if (operandExpected && ((column >= 11 && column <= 14) || column == 16 || column == 18 || column == 19 ||
                            column == 22))
        return 3;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: make_preced_table OUTDIR [--dump]\n";
        return 2;
    }
    std::array<std::array<std::int32_t, kColumns + 1>, kRows + 1> table{};
    for (auto& row : table) row.fill(kUnset);
    bool clash = false;
    auto set = [&](char top, char right, std::int32_t value) {
        int r = ClassOf(kRowSymbols, kRows, top);
        int c = ClassOf(kColumnSymbols, kColumns, right);
        std::int32_t& cell = table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
        if (cell == kUnset || cell == value) {
            cell = value;
        } else if (r == 22 && c == 1) {
            cell = -1;  // "#" both yields to and equals "s": the handle starts after "#"
        } else {
            std::cerr << "clash at row " << r << " column " << c << " (" << top << ", " << right << "): " << cell
                      << " and " << value << "\n";
            clash = true;
        }
    };

    std::vector<Production> rules = kGrammar;
    rules.push_back({'S', "#s#"});  // the start rule; 'S' itself never occurs on a right-hand side
    for (const Production& p : rules) {
        for (std::size_t i = 0; i + 1 < p.right.size(); ++i) {
            const char x = p.right[i];
            const char y = p.right[i + 1];
            set(x, y, 0);
            if (IsNonTerminal(y))
                for (char f : Ends(y, true)) set(x, f, -1);
            if (IsNonTerminal(x)) {
                std::set<char> following{y};
                if (IsNonTerminal(y))
                    for (char f : Ends(y, true)) following.insert(f);
                for (char l : Ends(x, false))
                    for (char f : following) set(l, f, 1);
            }
        }
    }
    if (clash) return 1;
    table[1][22] = 50;  // (s, #)
    table[22][22] = 10; // (#, #)

    for (int r = 1; r <= kRows; ++r)
        for (int c = 1; c <= kColumns; ++c)
            if (table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] == kUnset)
                table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = ErrorCode(r, c);

    const std::filesystem::path out = std::filesystem::path(argv[1]) / "Preced.tab";
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    for (int r = 1; r <= kRows; ++r)
        for (int c = 1; c <= kColumns; ++c) {
            const auto v = static_cast<std::uint32_t>(table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
            const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                                   static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
            file.write(bytes, 4);
        }
    if (!file) {
        std::cerr << "cannot write " << out << "\n";
        return 1;
    }
    if (argc > 2 && std::string(argv[2]) == "--dump") {
        for (int r = 1; r <= kRows; ++r) {
            std::cout << (r < 10 ? " " : "") << r << " " << kRowSymbols[r] << "\t";
            for (int c = 1; c <= kColumns; ++c)
                std::cout << " " << (table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] >= 0 &&
                                             table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] < 10
                                         ? " "
                                         : "")
                          << table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            std::cout << "\n";
        }
    }
    std::cout << "wrote " << out.string() << "\n";
    return 0;
}
