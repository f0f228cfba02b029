// The state behind the CTL checker: the last compiled formula and the labels of the last verification.
#pragma once

#include <string>
#include <vector>

#include "ctl/ActionSuggestion.h"
#include "ctl/CtlParser.h"
#include "ctl/Diagnostic.h"
#include "ctl/Formula.h"
#include "ctl/Labelling.h"
#include "ctl/PrecedenceTable.h"
#include "frontend/CoreInterfaces.h"
#include "frontend/Status.h"
#include "generation/StemStore.h"

namespace quarvo {

// One per checker window (or per "calvento check" run). The window owns it
// and hands it the STEM store at each verification.
class CtlSession {
public:
    explicit CtlSession(std::string startDirectory) : startDirectory_(std::move(startDirectory)) {}

    // Reads Preced.tab; if that fails, returns the failure and keeps the
    // previous formula. Otherwise discards the previous formula and labels.
    Status PrepareCompilation();

    // PrepareCompilation, then the parse of lines. After a failure no formula is kept.
    FormulaCompileResult Compile(const LineSource& lines);

    // Labels the STEM with the compiled formula and answers for state 0.
    // When the STEM was labelled, also finds the atoms that name none of its actions.
    Verdict Verify(const StemStore& store);

    // The labels describe a STEM that is going away: forget them, keep the formula.
    void DropLabels() {
        labels_ = Labelling{};
        unknownAtoms_.clear();
        suggestions_.clear();
    }

    bool HasFormula() const { return compiled_; }
    const CompiledFormula& Formula() const { return formula_; }
    const Labelling& Labels() const { return labels_; }
    // The atoms of the formula that the last verification found in no action
    // of its STEM (see UnknownAtoms); none before a verification.
    const std::vector<std::string>& UnknownAtoms() const { return unknownAtoms_; }
    // For each of those atoms, the action of the STEM one or two letters
    // away from it ("" when none is).
    const std::vector<std::string>& Suggestions() const { return suggestions_; }
    // UnknownAtomsWarning of those atoms with their suggestions ("… dans le STEM. GET ?"); empty when there are none.
    std::string Warning() const { return UnknownAtomsWarning(unknownAtoms_, suggestions_); }

private:
    std::string startDirectory_;
    PrecedenceTable table_;
    CompiledFormula formula_;
    Labelling labels_;
    std::vector<std::string> unknownAtoms_;
    std::vector<std::string> suggestions_;
    bool compiled_ = false;
};

}  // namespace quarvo
