// Compile and verify commands of the CTL checker on its own formula and labels.
#include "ctl/CtlSession.h"

namespace quarvo {

Status CtlSession::PrepareCompilation() {
    PrecedenceTableResult loaded = LoadPrecedenceTable(startDirectory_);
    if (!loaded.status) return loaded.status;
    table_ = loaded.table;
    formula_ = CompiledFormula{};
    labels_ = Labelling{};
    unknownAtoms_.clear();
    suggestions_.clear();
    compiled_ = false;
    return {};
}

FormulaCompileResult CtlSession::Compile(const LineSource& lines) {
    if (Status tables = PrepareCompilation(); !tables) {
        FormulaCompileResult result;
        result.tables = std::move(tables);
        return result;
    }
    FormulaCompileResult result = CompileFormula(lines, table_);
    if (result.ok()) {
        formula_ = result.formula;
        compiled_ = true;
    }
    return result;
}

Verdict CtlSession::Verify(const StemStore& store) {
    // A labelling belongs to one STEM: the store may have been regenerated
    // since the last verification.
    labels_ = Labelling{};
    unknownAtoms_.clear();
    suggestions_.clear();
    const Verdict verdict = quarvo::Verify(store, formula_, labels_);
    if (verdict == Verdict::Verified || verdict == Verdict::NotVerified) {
        unknownAtoms_ = quarvo::UnknownAtoms(store, formula_);
        suggestions_ = SuggestActions(store, unknownAtoms_);
    }
    return verdict;
}

}  // namespace quarvo
