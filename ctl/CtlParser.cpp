// Shift-reduce parsing of CTL formulas driven by the precedence matrix; builds the tree while reducing.
#include "ctl/CtlParser.h"

#include <string_view>
#include <vector>

#include "ctl/CtlLexer.h"

namespace quarvo {

const FormulaProduction FormulaProductions[FormulaProductionCount] = {
    {'s', "sjb"}, {'s', "b"},   {'b', "c"},   {'c', "cnd"}, {'c', "d"},   {'d', "m"},   {'m', "moi"},
    {'m', "i"},   {'i', "h"},   {'h', "hqk"}, {'h', "k"},   {'k', "p"},   {'k', "t"},   {'k', "v"},
    {'k', "wk"},  {'k', "(z)"}, {'k', "exk"}, {'k', "axk"}, {'k', "egk"}, {'k', "agk"}, {'k', "efk"},
    {'k', "afk"}, {'k', "e[r]"}, {'k', "a[r]"}, {'k', "p:y"}, {'r', "sul"}, {'l', "s"},  {'z', "l"},
};

std::string FormulaError::Text() const {
    std::string text = message + " (ligne:" + std::to_string(line);
    if (column > 0) text += " colonne:" + std::to_string(column);
    return text + ")";
}

std::string FormulaSyntaxMessage(int code, const std::string& token, bool topIsParen) {
    switch (code) {
    case 3:
        if (!token.empty()) return "Une expression logique ne peut pas commencer par: '" + token + "'.";
        return "Expression logique attendue.";
    case 4: return "'X' ou 'G' ou 'F' ou '[' oublié.";
    case 5: return "':' doit être suivi d'un nombre entier.";
    case 6: return "Opérateur logique binaire oublié.";
    case 7: return "'" + token + "' doit être précédé de 'E' ou 'A'.";
    case 8: return "':' doit être précédé d'un identificateur.";
    case 9: return "'" + token + "' doit être précédé de ':'.";
    case 11: return topIsParen ? "'(' en plus." : "Expression logique attendue.";
    case 12: return "'(' ou 'U' oublié.";
    case 13: return "'[' oublié.";
    case 14: return "']' oublié.";
    default: return "Erreur syntaxique.";
    }
}

std::string TextbookHint(const std::string& identifier) {
    static const char* const glued[] = {"AG", "AF", "AX", "EG", "EF", "EX", "AU", "EU"};
    for (const char* word : glued)
        if (identifier == word)
            return std::string(" (écrire « ") + word[0] + " " + word[1] + " » : quantificateur et opérateur séparés)";
    return {};
}

namespace {

constexpr int GenericSyntaxError = 2;

struct ParseEntry {
    char Symbol;
    FormulaIndex Formula;
};

class FormulaParser {
public:
    FormulaParser(const LineSource& lines, const PrecedenceTable& table) : lexer_(lines), table_(table) {}

    FormulaCompileResult Run();

private:
    bool ReadToken();
    bool Shift();
    bool Reduce();
    FormulaIndex NewNode(TFormulaKind kind, FormulaIndex left, FormulaIndex right, std::int32_t weight);
    FormulaIndex Build(int production, const std::vector<FormulaIndex>& slots);
    std::int32_t Weight(FormulaIndex node) const {
        return node == NoFormula ? 0 : result_.formula.Node(node).Weight;
    }
    std::int32_t Lookup(char top, char right) const;
    bool Fail(int code);

    FormulaLexer lexer_;
    const PrecedenceTable& table_;
    FormulaToken token_;
    FormulaToken previous_;  // the token read before token_; none ('#') at the start
    std::vector<ParseEntry> stack_;
    FormulaCompileResult result_;
};

std::int32_t FormulaParser::Lookup(char top, char right) const {
    const int row = PrecedenceRow(top);
    const int column = PrecedenceColumn(right);
    if (row == 0 || column == 0) return GenericSyntaxError;
    return table_.At(row, column);
}

bool FormulaParser::Fail(int code) {
    result_.accepted = false;
    result_.formula.MainFormula = NoFormula;
    result_.error.line = token_.line + 1;
    result_.error.column = token_.column;
    if (token_.error != FormulaLexError::None) {
        result_.error.message = FormulaLexErrorMessage(token_.error);
        return false;
    }
    // These messages name no token, and the matrix yields them while a handle
    // is searched, where the current token's position says little.
    if (code == 11 || code == 12 || code == 13) result_.error.column = 0;
    const bool topIsParen = !stack_.empty() && stack_.back().Symbol == '(';
    result_.error.message = FormulaSyntaxMessage(code, token_.text, topIsParen);
    // "AG p", "AG(p)", "EF (p => q)": the glued word was read as an atom and
    // the error comes with the token after it.
    if (previous_.symbol == 'p') result_.error.message += TextbookHint(previous_.text);
    return false;
}

bool FormulaParser::ReadToken() {
    previous_ = token_;
    token_ = lexer_.Next();
    return token_.error == FormulaLexError::None || Fail(0);
}

FormulaIndex FormulaParser::NewNode(TFormulaKind kind, FormulaIndex left, FormulaIndex right, std::int32_t weight) {
    std::vector<TFormulaNode>& nodes = result_.formula.nodes;
    TFormulaNode node;
    node.Kind = kind;
    node.Left = left;
    node.Right = right;
    node.Weight = weight;
    nodes.push_back(node);
    const FormulaIndex index = static_cast<FormulaIndex>(nodes.size() - 1);
    if (kind != TFormulaKind::fkNumber) InsertNewRef(index, result_.formula.SubformulaList, nodes);
    return index;
}

bool FormulaParser::Shift() {
    // Shifting the end marker could only repeat forever; no sound matrix asks for it.
    if (token_.symbol == '#') return Fail(GenericSyntaxError);
    FormulaIndex node = NoFormula;
    switch (token_.symbol) {
    case 'p':
        node = NewNode(TFormulaKind::fkAtom, NoFormula, NoFormula, 1);
        result_.formula.nodes.back().Name = Identifier32::FromText(token_.text);
        result_.formula.nodes.back().Written = Identifier32::FromText(token_.written);
        break;
    case 'y':
        node = NewNode(TFormulaKind::fkNumber, NoFormula, NoFormula, 0);
        result_.formula.nodes.back().Value = token_.value;
        break;
    case 't': node = NewNode(TFormulaKind::fkTrue, NoFormula, NoFormula, 1); break;
    case 'v': node = NewNode(TFormulaKind::fkFalse, NoFormula, NoFormula, 1); break;
    default: break;
    }
    stack_.push_back({token_.symbol, node});
    return ReadToken();
}

FormulaIndex FormulaParser::Build(int production, const std::vector<FormulaIndex>& slots) {
    // slots[1] is the rightmost symbol of the handle.
    auto binary = [&](TFormulaKind kind) {
        return NewNode(kind, slots[3], slots[1], Weight(slots[3]) + Weight(slots[1]));
    };
    auto unary = [&](TFormulaKind kind) { return NewNode(kind, slots[1], NoFormula, Weight(slots[1])); };
    auto quantify = [&](TFormulaKind kind) {
        // The pair built by "sul" gets its path quantifier now.
        if (slots[2] != NoFormula) result_.formula.nodes[static_cast<std::size_t>(slots[2])].Kind = kind;
        return slots[2];
    };
    switch (production) {
    case 1: return binary(TFormulaKind::fkEquiv);
    case 4: return binary(TFormulaKind::fkImplies);
    case 7: return binary(TFormulaKind::fkOr);
    case 10: return binary(TFormulaKind::fkAnd);
    case 15: return unary(TFormulaKind::fkNot);
    case 17: return unary(TFormulaKind::fkEX);
    case 18: return unary(TFormulaKind::fkAX);
    case 19: return unary(TFormulaKind::fkEG);
    case 20: return unary(TFormulaKind::fkAG);
    case 21: return unary(TFormulaKind::fkEF);
    case 22: return unary(TFormulaKind::fkAF);
    case 26: return binary(TFormulaKind::fkPendingUntil);
    case 23: return quantify(TFormulaKind::fkEU);
    case 24: return quantify(TFormulaKind::fkAU);
    case 25: return NewNode(TFormulaKind::fkCount, slots[3], slots[1], 1);
    case 16: return slots[2];
    default: return slots[1];
    }
}

bool FormulaParser::Reduce() {
    std::string handle;
    std::vector<FormulaIndex> slots{NoFormula};  // slot 0 unused
    for (;;) {
        // The bottom marker never belongs to a handle.
        if (stack_.size() <= 1) return Fail(GenericSyntaxError);
        const ParseEntry popped = stack_.back();
        stack_.pop_back();
        handle.insert(handle.begin(), popped.Symbol);
        slots.push_back(popped.Formula);
        const std::int32_t relation = Lookup(stack_.back().Symbol, popped.Symbol);
        if (relation == PrecYields) break;
        if (relation > PrecTakes) return Fail(relation);
    }
    for (int n = 1; n <= FormulaProductionCount; ++n) {
        const FormulaProduction& production = FormulaProductions[n - 1];
        if (handle == production.right) {
            stack_.push_back({production.left, Build(n, slots)});
            return true;
        }
    }
    return Fail(GenericSyntaxError);  // a handle that no production has
}

FormulaCompileResult FormulaParser::Run() {
    stack_.push_back({'#', NoFormula});
    if (!ReadToken()) return std::move(result_);
    if (token_.symbol == '#') {
        // Nothing but blanks and line ends: there is nothing to verify.
        result_.error.line = token_.line + 1;
        result_.error.column = token_.column;
        result_.error.message = EmptyFormulaMessage;
        return std::move(result_);
    }
    for (;;) {
        const std::int32_t relation = Lookup(stack_.back().Symbol, token_.symbol);
        bool going = true;
        if (relation <= PrecEqual) {
            going = Shift();
        } else if (relation == PrecTakes) {
            going = Reduce();
        } else if (relation == PrecAccept) {
            break;
        } else if (relation == PrecFinished && stack_.size() > 1) {
            result_.formula.MainFormula = stack_.back().Formula;
            stack_.pop_back();
        } else {
            going = Fail(relation);
        }
        if (!going) return std::move(result_);
    }
    // An until pair that never received its quantifier is no formula; a
    // consistent matrix cannot accept one.
    for (FormulaIndex node : result_.formula.SubformulaList)
        if (result_.formula.Node(node).Kind == TFormulaKind::fkPendingUntil) {
            Fail(GenericSyntaxError);
            return std::move(result_);
        }
    result_.accepted = true;
    return std::move(result_);
}

}  // namespace

FormulaCompileResult CompileFormula(const LineSource& lines, const PrecedenceTable& table) {
    return FormulaParser(lines, table).Run();
}

FormulaCompileResult CompileFormula(const LineSource& lines, const std::string& startDirectory) {
    PrecedenceTableResult table = LoadPrecedenceTable(startDirectory);
    if (!table.status) {
        FormulaCompileResult result;
        result.tables = table.status;
        return result;
    }
    return CompileFormula(lines, table.table);
}

}  // namespace quarvo
