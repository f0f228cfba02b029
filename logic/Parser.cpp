// The lexer and parser of action formulas. Binding, tightest first: in regular
// formulas postfix * and +, then ".", then "|"; in state formulas the prefixes
// not, <R>, [R], then and, or, implies (to the right); mu/nu bodies extend as
// far right as possible.
#include "logic/Parser.h"

#include <algorithm>
#include <vector>

#include "frontend/MessageText.h"

namespace quarvo::logic {
namespace {

enum class Tok { Ident, Quoted, Symbol, End };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    std::size_t offset = 0;
};

// A fault, thrown inside the parser only.
struct Fault {
    std::size_t offset;
    std::string what;
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<Token> Lex(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (c == '(' && i + 1 < text.size() && text[i + 1] == '*') {
            const std::size_t end = text.find("*)", i + 2);
            if (end == std::string_view::npos) throw Fault{i, "commentaire « (* » non terminé"};
            i = end + 2;
        } else if (IsLetter(c) || IsDigit(c)) {
            std::size_t j = i;
            while (j < text.size() && (IsLetter(text[j]) || IsDigit(text[j]))) ++j;
            tokens.push_back({Tok::Ident, std::string(text.substr(i, j - i)), i});
            i = j;
        } else if (c == '"') {
            const std::size_t end = text.find('"', i + 1);
            if (end == std::string_view::npos || text.substr(i + 1, end - i - 1).find('\n') != std::string_view::npos)
                throw Fault{i, "nom d'action entre guillemets non terminé"};
            if (end == i + 1) throw Fault{i, "nom d'action vide entre guillemets"};
            tokens.push_back({Tok::Quoted, std::string(text.substr(i + 1, end - i - 1)), i});
            i = end + 1;
        } else if (std::string_view("()<>[].|*+").find(c) != std::string_view::npos) {
            tokens.push_back({Tok::Symbol, std::string(1, c), i});
            ++i;
        } else {
            std::size_t j = i + 1;
            // A whole UTF-8 character in the message.
            while (j < text.size() && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80) ++j;
            throw Fault{i, "caractère « " + ShownText(text.substr(i, j - i)) + " » inattendu"};
        }
    }
    tokens.push_back({Tok::End, "", text.size()});
    return tokens;
}

bool IsKeyword(const std::string& word) {
    static const char* const keywords[] = {"true", "false", "not", "and", "or", "implies", "mu", "nu", "nil", "tau"};
    return std::any_of(std::begin(keywords), std::end(keywords), [&](const char* k) { return word == k; });
}

class Parser {
public:
    Parser(std::string_view text, std::vector<Token> tokens) : text_(text), tokens_(std::move(tokens)) {}

    Formula Run() {
        if (Peek().kind == Tok::End) throw Fault{Peek().offset, "formule vide"};
        f_.root = StateFormula();
        if (Peek().kind != Tok::End) throw Unexpected("un opérateur (and, or, implies) ou la fin de la formule");
        return std::move(f_);
    }

private:
    const Token& Peek(std::size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
    bool IsSymbol(const char* s) const { return Peek().kind == Tok::Symbol && Peek().text == s; }
    bool IsWord(const char* w) const { return Peek().kind == Tok::Ident && Peek().text == w; }
    Fault Unexpected(const std::string& expected) const {
        const Token& t = Peek();
        if (t.kind == Tok::End) return Fault{t.offset, "fin de formule inattendue, " + expected + " attendu"};
        const std::string shown = t.kind == Tok::Quoted ? "\"" + t.text + "\"" : t.text;
        return Fault{t.offset, "« " + shown + " » inattendu, " + expected + " attendu"};
    }
    void Expect(const char* symbol, const std::string& expected) {
        if (!IsSymbol(symbol)) throw Unexpected(expected);
        ++pos_;
    }

    // Everything after the parser (normal form, evaluation, witnesses) walks
    // the tree recursively: a formula deeper than MaxFormulaNesting, or text
    // nested deeper, is refused here rather than the stack exhausted.
    static int HeightIn(const std::vector<int>& heights, std::int32_t node) {
        return node == NoNode ? 0 : heights[static_cast<std::size_t>(node)];
    }
    int Checked(int height, std::size_t offset) const {
        if (height > MaxFormulaNesting)
            throw Fault{offset, "formule trop imbriquée (plus de " + std::to_string(MaxFormulaNesting) + " niveaux)"};
        return height;
    }
    struct Nested {
        Nested(Parser& p) : parser(p) {
            if (++parser.depth_ > MaxFormulaNesting)
                throw Fault{parser.Peek().offset, "formule trop imbriquée (plus de " +
                                                      std::to_string(MaxFormulaNesting) + " niveaux)"};
        }
        ~Nested() { --parser.depth_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;
        Parser& parser;
    };

    std::int32_t AddState(StateNode n, std::size_t offset) {
        n.offset = static_cast<std::uint32_t>(offset);
        const int height = 1 + std::max({HeightIn(stateHeights_, n.a), HeightIn(stateHeights_, n.b),
                                          HeightIn(regularHeights_, n.regular)});
        stateHeights_.push_back(Checked(height, offset));
        f_.states.push_back(std::move(n));
        return static_cast<std::int32_t>(f_.states.size() - 1);
    }
    std::int32_t AddRegular(RegularNode n, std::size_t offset) {
        n.offset = static_cast<std::uint32_t>(offset);
        const int height = 1 + std::max({HeightIn(regularHeights_, n.a), HeightIn(regularHeights_, n.b),
                                          HeightIn(actionHeights_, n.action)});
        regularHeights_.push_back(Checked(height, offset));
        f_.regulars.push_back(n);
        return static_cast<std::int32_t>(f_.regulars.size() - 1);
    }
    std::int32_t AddAction(ActionNode n, std::size_t offset) {
        n.offset = static_cast<std::uint32_t>(offset);
        const int height = 1 + std::max(HeightIn(actionHeights_, n.a), HeightIn(actionHeights_, n.b));
        actionHeights_.push_back(Checked(height, offset));
        f_.actions.push_back(std::move(n));
        return static_cast<std::int32_t>(f_.actions.size() - 1);
    }

    // φ := or ("implies" φ)?
    std::int32_t StateFormula() {
        const std::size_t at = Peek().offset;
        const std::int32_t left = StateOr();
        if (!IsWord("implies")) return left;
        ++pos_;
        const std::int32_t right = StateFormula();
        return AddState({StateNode::Kind::Implies, {}, NoNode, left, right}, at);
    }
    std::int32_t StateOr() {
        const std::size_t at = Peek().offset;
        std::int32_t left = StateAnd();
        while (IsWord("or")) {
            ++pos_;
            const std::int32_t right = StateAnd();
            left = AddState({StateNode::Kind::Or, {}, NoNode, left, right}, at);
        }
        return left;
    }
    std::int32_t StateAnd() {
        const std::size_t at = Peek().offset;
        std::int32_t left = StateUnary();
        while (IsWord("and")) {
            ++pos_;
            const std::int32_t right = StateUnary();
            left = AddState({StateNode::Kind::And, {}, NoNode, left, right}, at);
        }
        return left;
    }
    std::int32_t StateUnary() {
        const Nested nested(*this);
        const Token& t = Peek();
        const std::size_t at = t.offset;
        if (IsWord("not")) {
            ++pos_;
            const std::int32_t a = StateUnary();
            return AddState({StateNode::Kind::Not, {}, NoNode, a}, at);
        }
        if (IsSymbol("<") || IsSymbol("[")) {
            const bool diamond = IsSymbol("<");
            ++pos_;
            const std::int32_t r = Regular();
            Expect(diamond ? ">" : "]", diamond ? "« > »" : "« ] »");
            const std::int32_t a = StateUnary();
            return AddState({diamond ? StateNode::Kind::Diamond : StateNode::Kind::Box, {}, r, a}, at);
        }
        if (IsWord("mu") || IsWord("nu")) {
            const bool mu = IsWord("mu");
            ++pos_;
            if (Peek().kind != Tok::Ident || IsKeyword(Peek().text))
                throw Unexpected("un nom de variable après « " + std::string(mu ? "mu" : "nu") + " »");
            std::string variable = Peek().text;
            ++pos_;
            Expect(".", "« . » après la variable " + variable);
            const std::int32_t body = StateFormula();
            return AddState({mu ? StateNode::Kind::Mu : StateNode::Kind::Nu, std::move(variable), NoNode, body}, at);
        }
        if (IsWord("true") || IsWord("false")) {
            const bool value = IsWord("true");
            ++pos_;
            return AddState({value ? StateNode::Kind::True : StateNode::Kind::False, {}}, at);
        }
        if (IsSymbol("(")) {
            ++pos_;
            const std::int32_t inner = StateFormula();
            Expect(")", "« ) »");
            return inner;
        }
        if (t.kind == Tok::Ident && !IsKeyword(t.text)) {
            std::string lower = t.text;
            for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (IsKeyword(lower))
                throw Fault{at, "« " + t.text + " » : les mots-clés s'écrivent en minuscules (" + lower + ")"};
            ++pos_;
            return AddState({StateNode::Kind::Var, t.text}, at);
        }
        throw Unexpected("une formule d'état");
    }

    // R := seq ("|" seq)*
    std::int32_t Regular() {
        const std::size_t at = Peek().offset;
        std::int32_t left = RegularSeq();
        while (IsSymbol("|")) {
            ++pos_;
            const std::int32_t right = RegularSeq();
            left = AddRegular({RegularNode::Kind::Alt, NoNode, left, right}, at);
        }
        return left;
    }
    std::int32_t RegularSeq() {
        const std::size_t at = Peek().offset;
        std::int32_t left = RegularPostfix();
        while (IsSymbol(".")) {
            ++pos_;
            const std::int32_t right = RegularPostfix();
            left = AddRegular({RegularNode::Kind::Seq, NoNode, left, right}, at);
        }
        return left;
    }
    std::int32_t RegularPostfix() {
        const std::size_t at = Peek().offset;
        std::int32_t r = RegularPrimary();
        while (IsSymbol("*") || IsSymbol("+")) {
            const bool star = IsSymbol("*");
            ++pos_;
            r = AddRegular({star ? RegularNode::Kind::Star : RegularNode::Kind::Plus, NoNode, r}, at);
        }
        return r;
    }
    std::int32_t RegularPrimary() {
        const Nested nested(*this);
        const std::size_t at = Peek().offset;
        if (IsWord("nil")) {
            ++pos_;
            return AddRegular({RegularNode::Kind::Nil}, at);
        }
        if (IsSymbol("(")) {
            // An action formula in parentheses, "(A or B)", or a regular one,
            // "(A . B)": the first when it reads as one.
            const std::size_t start = pos_;
            const Formula saved = f_;
            const std::vector<int> savedActions = actionHeights_, savedRegulars = regularHeights_;
            try {
                const std::int32_t a = Action();
                return AddRegular({RegularNode::Kind::Action, a}, at);
            } catch (const Fault& asAction) {
                pos_ = start;
                f_ = saved;
                actionHeights_ = savedActions;
                regularHeights_ = savedRegulars;
                ++pos_;
                try {
                    const std::int32_t inner = Regular();
                    Expect(")", "« ) »");
                    return inner;
                } catch (const Fault& asRegular) {
                    throw asRegular.offset >= asAction.offset ? asRegular : asAction;
                }
            }
        }
        const std::int32_t a = Action();
        return AddRegular({RegularNode::Kind::Action, a}, at);
    }

    // α := and ("or" and)*
    std::int32_t Action() {
        const std::size_t at = Peek().offset;
        std::int32_t left = ActionAnd();
        while (IsWord("or")) {
            ++pos_;
            const std::int32_t right = ActionAnd();
            left = AddAction({ActionNode::Kind::Or, {}, left, right}, at);
        }
        return left;
    }
    std::int32_t ActionAnd() {
        const std::size_t at = Peek().offset;
        std::int32_t left = ActionUnary();
        while (IsWord("and")) {
            ++pos_;
            const std::int32_t right = ActionUnary();
            left = AddAction({ActionNode::Kind::And, {}, left, right}, at);
        }
        return left;
    }
    std::int32_t ActionUnary() {
        const Nested nested(*this);
        const Token& t = Peek();
        const std::size_t at = t.offset;
        if (IsWord("not")) {
            ++pos_;
            const std::int32_t a = ActionUnary();
            return AddAction({ActionNode::Kind::Not, {}, a}, at);
        }
        if (IsWord("true") || IsWord("false") || IsWord("tau")) {
            const ActionNode::Kind kind = IsWord("true")    ? ActionNode::Kind::True
                                          : IsWord("false") ? ActionNode::Kind::False
                                                            : ActionNode::Kind::Tau;
            ++pos_;
            return AddAction({kind, {}}, at);
        }
        if (IsSymbol("(")) {
            ++pos_;
            const std::int32_t inner = Action();
            Expect(")", "« ) »");
            return inner;
        }
        if (t.kind == Tok::Quoted || (t.kind == Tok::Ident && !IsKeyword(t.text))) {
            if (t.kind == Tok::Ident && IsDigit(t.text[0]))
                throw Fault{at, "« " + t.text + " » n'est pas un nom d'action"};
            ++pos_;
            return AddAction({ActionNode::Kind::Name, t.text}, at);
        }
        throw Unexpected("une action");
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    Formula f_;
    // The height of each node, alongside the formula's arenas.
    std::vector<int> actionHeights_, regularHeights_, stateHeights_;
    int depth_ = 0;
};

}  // namespace

std::pair<int, int> FormulaPosition(std::string_view text, std::size_t offset) {
    int line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

std::string FormulaErrorText(std::string_view text, std::size_t offset, const std::string& what) {
    const auto [line, column] = FormulaPosition(text, offset);
    const bool severalLines = text.find('\n') != std::string_view::npos;
    return "Erreur dans la formule, " +
           (severalLines ? "ligne " + std::to_string(line) + ", colonne " : std::string("colonne ")) +
           std::to_string(column) + " : " + what + ".";
}

ParseResult ParseFormula(std::string_view text) {
    ParseResult result;
    try {
        Parser parser(text, Lex(text));
        result.formula = parser.Run();
    } catch (const Fault& fault) {
        const auto [line, column] = FormulaPosition(text, fault.offset);
        result.line = line;
        result.column = column;
        result.status = Failure{FormulaErrorText(text, fault.offset, fault.what), line};
    }
    return result;
}

}  // namespace quarvo::logic
