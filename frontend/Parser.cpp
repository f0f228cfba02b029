// LR automaton driver: shifts, reductions through the semantic actions, syntax errors.
#include "frontend/Parser.h"

#include "frontend/StandardLexer.h"
#include "frontend/StandardParser.h"

namespace quarvo {

const char* SyntaxErrorMessage(int code) {
    static const char* const messages[] = {
        "\"system\" manquant",
        "Identificateur manquant",
        "\":=\" manquant",
        "\"[\" manquant",
        "Expression de comportement incorrecte",
        "Identificateur ou \"]\" manquant",
        "\"endsys\" manque",
        "\";\" manquant",
        "\"[\" ou \";\" manquant",
        "\"]\" manquant",
        "\",\" ou \"]\"ou \"in\" manquant",
        "Symbole exedentaire",
        "\"endsys\" ou \"endproc\" manquant",
        "\"process\" manquant",
        "\"in\" manqant",
        "\"endsys\" ou \"endproc\" ou\"process\" manquant",
        "\"]\" ou \"in\" manque",
        "\"endproc\" manquant",
        "\"|\" manque",
    };
    if (code >= 101 && code <= 119) return messages[code - 101];
    return "Erreur inconnue";
}

CompilerContext::CompilerContext(const LineSource& source, const ParseTables& tables, MessageSink& sink)
    : tables_(tables),
      reporter_(sink, flags_),
      lexer_(source, reporter_),
      compilation_(std::make_shared<Compilation>()),
      actions_(*compilation_, reporter_, lexer_.reader()) {
    stack_.emplace_back();  // state 0
}

void CompilerContext::SyntaxError(int code, const Token& token) {
    // The symbol the parse stopped at; "$" ends the text as its end does.
    const std::string found = token.code == TokEnd ? std::string("fin du texte") : token.text.Text();
    reporter_.ReportError(SyntaxErrorMessage(code), Identifier32(), token.line, token.column, found);
    reporter_.Append("Nombre de lignes compilées : " + std::to_string(lexer_.reader().line()));
}

std::shared_ptr<Compilation> CompilerContext::Compile() {
    flags_ = CompileFlags{};
    reporter_.status = "Pas d'erreurs";
    bool readNext = true;
    Token token;
    // A sound table never reduces more often, between two shifts, than the
    // stack held at the last shift can account for; damaged tables must not
    // loop for ever.
    std::size_t reductionsSinceShift = 0;
    std::size_t stackAtShift = 1;
    // Every entry of a sound parse stands for a token or for an empty phrase
    // next to one, so the stack stays within twice the tokens shifted.
    std::size_t shifted = 0;
    while (!flags_.stop) {
        if (readNext) token = lexer_.NextToken();
        if (flags_.stop) break;
        const int state = stack_.back().state;
        const std::int32_t a = tables_.Action(state, token.code);
        if (a >= 1 && a < ParserStateCount) {
            ParseStackEntry entry;
            entry.state = a;
            entry.symbol = token.code;
            entry.text = token.text;
            stack_.push_back(entry);
            readNext = true;
            reductionsSinceShift = 0;
            stackAtShift = stack_.size();
            ++shifted;
        } else if (a == 100) {
            if (stack_.back().symbol != NonTerminalSymbol + 0) {
                SyntaxError(0, token);
                break;
            }
            flags_.success = true;
            flags_.stop = true;
        } else if (a < 0 && a >= -RuleCount) {
            const int rule = -a;
            const RuleShape& shape = RuleInfo(rule);
            if (!RuleMatchesStack(rule, stack_) || ++reductionsSinceShift > 4 * stackAtShift + 64 ||
                stack_.size() > 2 * shifted + 16) {
                SyntaxError(0, token);
                break;
            }
            ParseStackEntry result = actions_.Reduce(rule, stack_);
            stack_.resize(stack_.size() - static_cast<std::size_t>(shape.length));
            const std::int32_t next = tables_.Successor(stack_.back().state, shape.lhs);
            if (next < 0 || next >= ParserStateCount) {
                SyntaxError(0, token);
                break;
            }
            result.state = next;
            result.symbol = NonTerminalSymbol + shape.lhs;
            stack_.push_back(result);
            readNext = false;
        } else {
            SyntaxError(a, token);
        }
    }
    ProcessDefinition* top = stack_.back().definitions;
    if (flags_.success) actions_.ResolveCalls(top, flags_);
    if (flags_.success && flags_.semanticSuccess && top) {
        compilation_->systemDefinition = top;
        compilation_->rootBehaviour = top->behaviour;
    }
    compilation_->compileOk = flags_.success && flags_.semanticSuccess && top != nullptr;
    return compilation_;
}

namespace {

// The closing lines of the compile command and the dialog's status.
void Conclude(CompileOutcome& outcome, const LineSource& source, MessageSink& sink, const std::string& status) {
    if (outcome.compilation->compileOk) {
        sink.Append("Nombre de lignes compilées: " + std::to_string(source.LineCount()) + ".");
        sink.Append("Compilation terminée. Aucune erreur détectée.");
        outcome.status = "Compilation terminée avec succès";
    } else {
        sink.Append("Compilation terminée.");
        outcome.status = status;
    }
}

// The compile command on a text in the standard syntax, which needs no tables.
CompileOutcome CompileStandardSpecification(const LineSource& source, MessageSink& sink,
                                            const std::function<bool()>& memoryLow) {
    CompileOutcome outcome;
    sink.Append("Compilation...");
    CompileFlags flags;
    ErrorReporter reporter(sink, flags);
    outcome.compilation = CompileStandardText(source, reporter, flags, memoryLow);
    Conclude(outcome, source, sink, reporter.status);
    return outcome;
}

}  // namespace

CompileOutcome CompileSpecification(const LineSource& source, const ParseTables& tables, MessageSink& sink,
                                    const std::function<bool()>& memoryLow) {
    if (IsStandardSyntax(source)) return CompileStandardSpecification(source, sink, memoryLow);
    CompileOutcome outcome;
    sink.Append("Compilation...");
    CompilerContext context(source, tables, sink);
    outcome.compilation = context.Compile();
    Conclude(outcome, source, sink, context.status());
    return outcome;
}

CompileOutcome CompileSpecification(const LineSource& source, const std::string& startDirectory, MessageSink& sink,
                                    const std::function<bool()>& memoryLow) {
    if (IsStandardSyntax(source)) return CompileStandardSpecification(source, sink, memoryLow);
    ParseTablesResult loaded = LoadParseTables(startDirectory);
    if (!loaded.status) {
        CompileOutcome outcome;
        outcome.tables = loaded.status;
        return outcome;
    }
    return CompileSpecification(source, loaded.tables, sink);
}

}  // namespace quarvo
