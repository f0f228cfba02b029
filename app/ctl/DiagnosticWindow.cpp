// The diagnostic window: stepping through the sub-formulas, their states, and paths handed to the graph view.
#include "app/ctl/DiagnosticWindow.h"

#include <QAbstractListModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "ctl/Diagnostic.h"

// The state numbers of one list, made into text only for the rows on screen:
// a list may hold every state of a large STEM.
class StateNumberModel final : public QAbstractListModel {
public:
    explicit StateNumberModel(QObject* parent) : QAbstractListModel(parent) {}

    void Reset(std::vector<std::int32_t> numbers) {
        beginResetModel();
        numbers_ = std::move(numbers);
        endResetModel();
    }
    const std::vector<std::int32_t>& Numbers() const { return numbers_; }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(numbers_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount({})) return {};
        return QString::number(numbers_[static_cast<std::size_t>(index.row())]);
    }

private:
    std::vector<std::int32_t> numbers_;
};

namespace {

QListView* MakeList(QWidget* parent, const QColor& color, StateNumberModel* model) {
    auto* list = new QListView(parent);
    list->setModel(model);
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont font = list->font();
    font.setBold(true);
    list->setFont(font);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Text, color);
    list->setPalette(palette);
    list->setMinimumSize(170, 200);
    return list;
}

}  // namespace

TForm6::TForm6(quarvo::AppContext& app) : app_(app) {
    setObjectName("Form6");
    setWindowTitle("Diagnostic");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Modal to the checker window only (its transient parent, set when opened):
    // the graph view that shows the paths must stay usable.
    setWindowModality(Qt::WindowModal);

    holds_ = new StateNumberModel(this);
    fails_ = new StateNumberModel(this);

    GroupBox2 = new QGroupBox(" Formule ", this);
    Label1 = new QLabel("Formule numéro : ", GroupBox2);
    Label2 = new QLabel("1", GroupBox2);
    {
        QFont font = Label2->font();
        font.setBold(true);
        Label2->setFont(font);
        QPalette palette = Label2->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        Label2->setPalette(palette);
    }
    Edit1 = new QLineEdit(GroupBox2);
    Edit1->setReadOnly(true);
    {
        QFont font = Edit1->font();
        font.setBold(true);
        Edit1->setFont(font);
        QPalette palette = Edit1->palette();
        palette.setColor(QPalette::Text, Qt::blue);
        Edit1->setPalette(palette);
    }
    Button3 = new QPushButton("&Initialiser", GroupBox2);
    Button2 = new QPushButton("&Suivant", GroupBox2);
    Button5 = new QPushButton("Formule &principale", GroupBox2);
    Button4 = new QPushButton("&Afficher les états", GroupBox2);
    Button4->setDefault(true);
    auto* formulaLayout = new QGridLayout(GroupBox2);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(Label1);
    numberRow->addWidget(Label2);
    numberRow->addStretch();
    formulaLayout->addLayout(numberRow, 0, 0, 1, 4);
    formulaLayout->addWidget(Edit1, 1, 0, 1, 4);
    formulaLayout->addWidget(Button3, 2, 0);
    formulaLayout->addWidget(Button2, 2, 1);
    formulaLayout->addWidget(Button5, 2, 2);
    formulaLayout->addWidget(Button4, 2, 3);

    GroupBox1 = new QGroupBox(" Diagnostic ", this);
    GroupBox4 = new QGroupBox(" Etats où la formule est vérifiée ", GroupBox1);
    ListBox1 = MakeList(GroupBox4, Qt::blue, holds_);
    (new QVBoxLayout(GroupBox4))->addWidget(ListBox1);
    GroupBox3 = new QGroupBox(" Etats où la formule n'est pas vérifiée ", GroupBox1);
    ListBox2 = MakeList(GroupBox3, Qt::red, fails_);
    (new QVBoxLayout(GroupBox3))->addWidget(ListBox2);
    Label3 = new QLabel("Double-cliquez sur un numéro d'état pour afficher une trace d'exécution menant à cet état "
                        "à partir de l'état initial",
                        GroupBox1);
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setWordWrap(true);
    auto* diagnosticLayout = new QGridLayout(GroupBox1);
    diagnosticLayout->addWidget(GroupBox4, 0, 0);
    diagnosticLayout->addWidget(GroupBox3, 0, 1);
    diagnosticLayout->addWidget(Label3, 1, 0, 1, 2);

    Button1 = new QPushButton("&Fermer", this);
    SimulateButton = new QPushButton("Si&muler le chemin", this);
    SimulateButton->setObjectName("SimulateButton");
    SimulateButton->setToolTip("Rejoue pas à pas le dernier chemin dessiné");
    SimulateButton->setEnabled(false);
    ChartButton = new QPushButton("Dia&gramme", this);
    ChartButton->setObjectName("ChartButton");
    ChartButton->setToolTip("Le dernier chemin dessiné en diagramme de séquence");
    ChartButton->setEnabled(false);
    auto* closeRow = new QHBoxLayout;
    closeRow->addWidget(SimulateButton);
    closeRow->addWidget(ChartButton);
    closeRow->addStretch();
    closeRow->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox2);
    layout->addWidget(GroupBox1);
    layout->addLayout(closeRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
    connect(SimulateButton, &QPushButton::clicked, this, [this] {
        if (!LastTrace.empty()) app_.intents.SimulatePath(LastTrace);
    });
    connect(ChartButton, &QPushButton::clicked, this, [this] {
        if (!LastTrace.empty()) app_.intents.ShowPathChart(LastTrace);
    });
    connect(Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm6::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm6::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm6::Button5Click);
    connect(ListBox1, &QListView::doubleClicked, this, &TForm6::ListBox1DblClick);
    connect(ListBox2, &QListView::doubleClicked, this, &TForm6::ListBox2DblClick);
}

const quarvo::CompiledFormula& TForm6::Formula() const { return app_.session.ctl.Formula(); }

const std::vector<std::int32_t>& TForm6::HoldingStates() const { return holds_->Numbers(); }
const std::vector<std::int32_t>& TForm6::FailingStates() const { return fails_->Numbers(); }

void TForm6::ShowEntry() {
    const quarvo::CompiledFormula& formula = Formula();
    Edit1->setText(QString::fromStdString(quarvo::FormulaText(formula, formula.SubformulaList[DiagEntry])));
    Label2->setText(QString::number(DiagNumber));
    // The lists follow the sub-formula shown, without waiting for "Afficher les états".
    Button4Click();
}

void TForm6::ShowFirst() {
    DiagEntry = 0;
    DiagNumber = 1;
    Edit1->clear();
    // A text without any formula compiles too: there is then nothing to step through.
    const bool any = !Formula().SubformulaList.empty();
    if (any) {
        ShowEntry();
    } else {
        Label2->clear();
        holds_->Reset({});
        fails_->Reset({});
    }
    Button4->setEnabled(any);
    Button2->setEnabled(any);
}

void TForm6::OpenDiagnostic(QWindow* transientParent) {
    // The lists of the first sub-formula are filled at once.
    ShowFirst();
    LastTrace.clear();
    SimulateButton->setEnabled(false);
    ChartButton->setEnabled(false);
    if (transientParent && !isVisible()) {
        create();
        windowHandle()->setTransientParent(transientParent);
    }
    if (!centred_) {
        centred_ = true;
        adjustSize();
        if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void TForm6::Button1Click() { close(); }

void TForm6::Button2Click() {
    Edit1->clear();
    const std::size_t count = Formula().SubformulaList.size();
    if (DiagEntry < count) {
        ++DiagEntry;
        ++DiagNumber;
    }
    if (DiagEntry < count) {
        Button4->setEnabled(true);
        ShowEntry();
    } else {
        Button4->setEnabled(false);
        Button2->setEnabled(false);
        holds_->Reset({});
        fails_->Reset({});
    }
}

void TForm6::Button3Click() { ShowFirst(); }

void TForm6::Button5Click() {
    const std::size_t count = Formula().SubformulaList.size();
    Button2->setEnabled(count > 0);
    Button4->setEnabled(count > 0);
    if (count == 0) return;
    Edit1->clear();
    DiagEntry = count - 1;
    DiagNumber = static_cast<int>(count);
    ShowEntry();
}

void TForm6::Button4Click() {
    const quarvo::CompiledFormula& formula = Formula();
    holds_->Reset({});
    fails_->Reset({});
    if (DiagEntry >= formula.SubformulaList.size()) return;
    quarvo::StatePartition states =
        quarvo::StatesWhere(app_.session.stem, app_.session.ctl.Labels(), formula.SubformulaList[DiagEntry]);
    holds_->Reset(std::move(states.holds));
    fails_->Reset(std::move(states.fails));
}

void TForm6::ShowPath(const QListView* list) {
    const QModelIndex index = list->currentIndex();
    if (!index.isValid() || !list->selectionModel()->isSelected(index)) return;
    const auto* model = static_cast<const StateNumberModel*>(list->model());
    const std::int32_t number = model->Numbers()[static_cast<std::size_t>(index.row())];
    const quarvo::PathResult result = quarvo::BuildPath(app_.session.stem, number);
    if (!result.status) {
        // Only a STEM read back from a file can hold a state that state 0 does not reach.
        app_.dialogs.Tell(this, QMessageBox::Information, "Diagnostic",
                          QString::fromStdString(result.status.message()));
        return;
    }
    LastTrace.clear();
    LastTrace.reserve(result.path.StateCount());
    for (const quarvo::StateView record : result.path.States()) LastTrace.push_back(record.Number);
    SimulateButton->setEnabled(true);
    ChartButton->setEnabled(true);
    app_.intents.DrawTrace(LastTrace, "Chemin du diagnostic");
}

void TForm6::ListBox1DblClick() { ShowPath(ListBox1); }

void TForm6::ListBox2DblClick() { ShowPath(ListBox2); }
