// The dialog of "Comparer avec…".
#include "app/CompareDialog.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "equivalence/Compare.h"
#include "stemio/ModelFile.h"
#include "views/TraceChart.h"

namespace quarvo {

namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CompareDialog::CompareDialog(AppContext& app, TaskProgressDialog& task, QWidget* parent)
    : QDialog(parent), app_(app), task_(task) {
    setObjectName("CompareDialog");
    setWindowTitle("Comparer avec…");
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel("Système à comparer au STEM courant (spécification, fichier STEM ou .aut) :", this));
    auto* fileRow = new QHBoxLayout;
    FileName = new QLineEdit(this);
    FileName->setObjectName("FileName");
    FileName->setMinimumWidth(440);
    Browse = new QPushButton("&Parcourir…", this);
    Browse->setObjectName("Browse");
    fileRow->addWidget(FileName, 1);
    fileRow->addWidget(Browse);
    layout->addLayout(fileRow);

    auto* group = new QGroupBox("Équivalence", this);
    auto* choices = new QVBoxLayout(group);
    const auto radio = [group, choices](const char* caption, const char* name) {
        auto* button = new QRadioButton(QString::fromUtf8(caption), group);
        button->setObjectName(name);
        choices->addWidget(button);
        return button;
    };
    Forte = radio("Bissimulation forte", "Forte");
    Branchement = radio("Bissimulation de branchement", "Branchement");
    BranchementDivergence = radio("Bissimulation de branchement avec divergence", "BranchementDivergence");
    Observationnelle = radio("Bissimulation observationnelle", "Observationnelle");
    Traces = radio("Équivalence de traces", "Traces");
    Branchement->setChecked(true);
    layout->addWidget(group);

    auto* buttons = new QHBoxLayout;
    OkButton = new QPushButton("&Comparer", this);
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CloseButton = new QPushButton("&Fermer", this);
    CloseButton->setObjectName("CloseButton");
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);

    Result = new QListWidget(this);
    Result->setObjectName("Result");
    Result->setMinimumHeight(120);
    // A formula or a trace may be long: its line wraps rather than scrolls away.
    Result->setWordWrap(true);
    Result->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Result->setResizeMode(QListView::Adjust);
    layout->addWidget(Result, 1);
    auto* traceRow = new QHBoxLayout;
    DrawTraceButton = new QPushButton("&Dessiner la trace", this);
    DrawTraceButton->setObjectName("DrawTraceButton");
    DrawTraceButton->setToolTip("Dessine dans la visualisation graphique les états du STEM courant le long de la trace");
    DrawTraceButton->setEnabled(false);
    traceRow->addWidget(DrawTraceButton);
    SimulateButton = new QPushButton("Si&muler", this);
    SimulateButton->setObjectName("SimulateButton");
    SimulateButton->setToolTip("Rejoue la trace pas à pas dans la fenêtre de simulation");
    SimulateButton->setEnabled(false);
    traceRow->addWidget(SimulateButton);
    ChartButton = new QPushButton("Dia&gramme", this);
    ChartButton->setObjectName("ChartButton");
    ChartButton->setToolTip(
        "Les diagrammes de la trace dans les deux systèmes, côte à côte, jusqu'au pas où ils diffèrent");
    ChartButton->setEnabled(false);
    traceRow->addWidget(ChartButton);
    traceRow->addStretch();
    layout->addLayout(traceRow);

    connect(Browse, &QPushButton::clicked, this, &CompareDialog::BrowseClick);
    connect(OkButton, &QPushButton::clicked, this, &CompareDialog::Compare);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    connect(DrawTraceButton, &QPushButton::clicked, this, [this] {
        if (!path_.empty() && app_.session.hasStem && !app_.session.busy) app_.intents.DrawTrace(path_, "Trace distinctive");
    });
    connect(SimulateButton, &QPushButton::clicked, this, [this] {
        if (!path_.empty() && app_.session.hasStem && !app_.session.busy) app_.intents.SimulatePath(path_);
    });
    connect(ChartButton, &QPushButton::clicked, this, [this] {
        if (charts_) app_.intents.ShowComparisonCharts(*charts_);
    });
}

CompareDialog::~CompareDialog() = default;

Equivalence CompareDialog::Chosen() const {
    if (Forte->isChecked()) return Equivalence::Strong;
    if (BranchementDivergence->isChecked()) return Equivalence::DivergenceBranching;
    if (Observationnelle->isChecked()) return Equivalence::Weak;
    if (Traces->isChecked()) return Equivalence::Traces;
    return Equivalence::Branching;
}

void CompareDialog::BrowseClick() {
    const QString name = app_.dialogs.OpenFileName(this, "Comparer avec…", FileFilter);
    if (!name.isEmpty()) FileName->setText(name);
}

void CompareDialog::ClearResult() {
    Result->clear();
    path_.clear();
    charts_.reset();
    DrawTraceButton->setEnabled(false);
    SimulateButton->setEnabled(false);
    ChartButton->setEnabled(false);
}

void CompareDialog::ShowResult(const QStringList& lines) {
    Result->addItems(lines);
    Result->scrollToBottom();
}

void CompareDialog::Compare() {
    if (app_.session.busy) return;
    ClearResult();
    if (!app_.session.hasStem) {
        ShowResult({"Aucun STEM à comparer : engendrez ou régénérez d'abord un STEM."});
        return;
    }
    const QString path = FileName->text().trimmed();
    if (path.isEmpty()) {
        ShowResult({"Choisissez le fichier du système à comparer."});
        return;
    }
    const Equivalence equivalence = Chosen();
    const std::string file = path.toStdString();
    const Semantics semantics = app_.session.stemSemantics;
    const std::string tables = app_.session.startDirectory;
    const std::int64_t memoryLimit = app_.session.memoryLimitMb * 1024 * 1024;
    const QString comparing = QString("Comparaison (%1)...").arg(FromStd(EquivalenceName(equivalence)));
    const StemStore& current = app_.session.stem;

    LoadedModel second;
    CompareResult result;
    bool compared = false;
    // Nothing may replace the STEM while the worker reads it.
    app_.session.busy = true;
    task_.setWindowTitle("Comparaison...");
    const Status ran = task_.Run(QString("Lecture de « %1 »...").arg(QFileInfo(path).fileName()),
                                 [&](Progress& progress) {
                                     second = LoadModel(file, semantics, tables, &progress, memoryLimit);
                                     if (!second.status || second.stopped) return;
                                     task_.SetPhase(comparing);
                                     result = CompareStems(current, second.stem, equivalence, &progress);
                                     compared = true;
                                 });
    app_.session.busy = false;

    QStringList lines;
    if (!ran) {
        lines << FromStd(ran.message());
    } else if (second.stopped || result.stopped) {
        lines << "Comparaison arrêtée.";
    } else if (!second.status) {
        lines << FromStd(second.status.message());
        for (const std::string& line : second.messages) lines << FromStd(line);
    } else if (!result.status) {
        lines << FromStd(result.status.message());
    } else if (compared) {
        // The first system is the current STEM (generated, or read from its
        // file), the second the file chosen.
        const std::string& stemFile = app_.session.stemFileName;
        const std::string firstName =
            stemFile.empty() ? "la spécification courante"
                             : "« " + QFileInfo(QString::fromStdString(stemFile)).fileName().toStdString() + " »";
        const std::string secondName = "« " + QFileInfo(path).fileName().toStdString() + " »";
        for (const std::string& line : CompareLines(result, equivalence, firstName, secondName))
            lines << FromStd(line);
        if (!result.equivalent && !result.why.trace.empty() &&
            (result.why.kind == DistinctionKind::Step || result.why.kind == DistinctionKind::Divergence)) {
            // Each system's lifelines come from the specification it was generated from, if any.
            charts_ = std::make_unique<ComparisonCharts>(ChartsOfDistinction(
                current.compilation.get(), second.stem.compilation.get(), result.why.trace, result.why.traceOfFirst,
                result.why.kind == DistinctionKind::Step));
            charts_->firstCaption = "Premier système : " + firstName;
            charts_->secondCaption = "Second système : " + secondName;
            ChartButton->setEnabled(true);
        }
        if (!result.equivalent && !result.why.firstPath.empty()) {
            path_ = result.why.firstPath;
            DrawTraceButton->setEnabled(true);
            SimulateButton->setEnabled(true);
        }
    }
    ShowResult(lines);
    QStringList reported{QString("Comparaison avec « %1 » :").arg(QFileInfo(path).fileName())};
    reported << lines;
    emit Compared(reported);
}

}  // namespace quarvo
