// The viewer's commands over many states: automatic layout, finding a state, unfolding.
#include "app/views/Graphic.h"

#include <QGuiApplication>
#include <QFontMetrics>
#include <QLabel>

#include "app/views/GraphLayout.h"

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

bool TGraph::AutoLayout() { return LayOut(false); }

bool TGraph::LayOut(bool keepPlaced) {
    if (app_.session.busy || model_.States().empty()) return false;
    quarvo::LayoutInput input = model_.LayoutRequest(ShownActions(), LabelSemantics());
    input.leftToRight = LeftToRight->isChecked();
    const QFontMetrics metrics(PaintBox1->font());
    for (quarvo::LayoutEdge& edge : input.edges) {
        edge.labelWidth = metrics.horizontalAdvance(ToQString(edge.label));
        edge.labelHeight = metrics.height();
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const std::optional<quarvo::LayoutOutput> output = quarvo::ComputeLayout(input);
    QGuiApplication::restoreOverrideCursor();
    if (!output) {
        // After an unfolding the states simply keep the places it gave them.
        if (!keepPlaced)
            app_.dialogs.Tell(this, QMessageBox::Critical, "Disposition automatique",
                              "Graphviz n'a pas pu disposer le graphe.");
        return false;
    }
    model_.ApplyLayout(input, *output, keepPlaced);
    UpdateArea();
    if (const auto first = model_.FirstShown()) ScrollToState(first->Number);
    PaintBox1->update();
    return true;
}

void TGraph::FindStateAsked() {
    if (app_.session.busy || !model_.Shown()) return;
    QString value;
    if (!app_.dialogs.InputQuery(this, "Chercher un état", StateRangePrompt(), value)) return;
    bool number = false;
    const int wanted = value.trimmed().toInt(&number);
    if (!number) {
        app_.dialogs.Tell(this, QMessageBox::Warning, "Chercher un état",
                          "« " + value.trimmed() + " » n'est pas un numéro d'état.");
        return;
    }
    FindState(wanted);
}

QString TGraph::StateRangePrompt() const {
    const quarvo::StemStore* shown = model_.Shown();
    if (!shown || shown->Empty()) return "Numéro de l'état :";
    std::int32_t lowest = shown->State(0).Number, highest = lowest;
    for (std::size_t k = 1; k < shown->StateCount(); ++k) {
        lowest = std::min(lowest, shown->State(k).Number);
        highest = std::max(highest, shown->State(k).Number);
    }
    return QString("Numéro de l'état (de %1 à %2) :").arg(lowest).arg(highest);
}

bool TGraph::FindState(std::int32_t number) {
    if (app_.session.busy || !model_.Shown()) return false;
    if (!model_.DrawPathTo(number)) {
        app_.dialogs.Tell(this, QMessageBox::Warning, "Chercher un état",
                          "Il n'y a pas d'état numéro " + QString::number(number) + ".");
        return false;
    }
    Redraw();
    UpdateHint();
    ScrollToState(number, true);
    return true;
}

void TGraph::FollowState(std::int32_t number) {
    if (!isVisible() || app_.session.busy || !model_.Shown() || model_.ShowsPath()) return;
    if (!model_.DrawPathTo(number)) return;
    Redraw();
    UpdateHint();
    ScrollToState(number, true);
}

void TGraph::UnfoldAll() {
    if (app_.session.busy || !model_.Shown()) return;
    if (model_.UnfoldAll() == 0) {
        app_.dialogs.Tell(this, QMessageBox::Information, "Déplier tous les successeurs",
                          "Tous les successeurs de l'état courant sont déjà dessinés.");
        return;
    }
    Unfolded();
}

void TGraph::Unfolded() {
    // The fixed offsets of the unfolding overlap their labels soon: the
    // layout places the drawn states again, those the user placed aside.
    // A drawing of many states would wait long for it: those keep the offsets, and Ctrl+L.
    if (model_.States().size() > quarvo::LayeredLayoutLimit || !LayOut(true)) Redraw();
    UpdateHint();
    if (model_.HasCurrentState()) ScrollToState(model_.CurrentState(), true);
}

void TGraph::UnfoldToDepthAsked() {
    if (app_.session.busy || !model_.Shown()) return;
    QString value = "3";
    if (!app_.dialogs.InputQuery(this, "Déplier jusqu'à une profondeur", "Profondeur :", value)) return;
    bool number = false;
    const int depth = value.trimmed().toInt(&number);
    if (!number || depth < 0) {
        app_.dialogs.Tell(this, QMessageBox::Warning, "Déplier jusqu'à une profondeur",
                          "La profondeur doit être un nombre entier positif ou nul.");
        return;
    }
    UnfoldToDepth(depth);
}

bool TGraph::UnfoldToDepth(std::int32_t depth) {
    if (app_.session.busy || !model_.Shown()) return false;
    // No more than the layered layout draws readably: what is drawn is laid out.
    const auto unfolding = model_.UnfoldToDepth(depth, quarvo::LayeredLayoutLimit);
    if (unfolding.added > 0) Unfolded();
    else Redraw();
    if (unfolding.stopped) {
        app_.dialogs.Tell(this, QMessageBox::Warning, "Déplier jusqu'à une profondeur",
                          "Le dépliage s'est arrêté à " + QString::number(quarvo::LayeredLayoutLimit) +
                              " états dessinés, avant la profondeur " + QString::number(depth) +
                              " : au-delà, le dessin ne serait plus lisible. Graphe › Vue d'ensemble par niveaux "
                              "(Ctrl+G) montre tout le système.");
        return false;
    }
    return true;
}
