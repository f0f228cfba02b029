// The checker's "Exemples" menu: formulas over the current STEM's actions, inserted at the cursor.
#include <QMenu>

#include "app/ctl/CtlWindow.h"
#include "ctl/ActionSuggestion.h"
#include "ctl/FormulaExamples.h"

void TForm5::FillExamples() {
    Exemples1->clear();
    const quarvo::Session& session = app_.session;
    // While a generation runs the store is being rebuilt: the examples name P and Q then.
    const std::vector<std::string> actions =
        session.hasStem && !session.busy ? quarvo::StemActionNames(session.stem) : std::vector<std::string>{};
    int number = 0;
    for (const quarvo::FormulaExample& example : quarvo::FormulaExamples(actions)) {
        const QString formula = QString::fromStdString(example.formula);
        const QString explanation = QString::fromStdString(example.explanation);
        QAction* item = Exemples1->addAction(formula + "   —   " + explanation);
        item->setObjectName(QString("Exemple%1").arg(++number));
        item->setStatusTip(explanation);
        item->setData(formula);
        connect(item, &QAction::triggered, this, [this, formula] { InsertExample(formula); });
    }
}

void TForm5::InsertExample(const QString& formula) {
    // Replaces the selection, an edit like any other.
    Memo1->insertPlainText(formula);
    Memo1->setFocus();
}
