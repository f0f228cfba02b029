// The chart window: the SVG of the trace's chart rendered, and its export.
#include "app/views/ChartWindow.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "app/FileLocations.h"
#include "frontend/FileWriting.h"
#include "views/Simulator.h"

namespace {

constexpr const char* kCaption = "Diagramme de la trace";
constexpr const char* kFilter = "Image SVG (*.svg)|*.svg|Image PNG (*.png)|*.png";

QImage Render(const std::string& svg) {
    QSvgRenderer renderer(QByteArray::fromStdString(svg));
    QImage image(renderer.defaultSize(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

}  // namespace

TChartWindow::TChartWindow(quarvo::AppContext& app) : app_(app) {
    setObjectName("Chart");
    setWindowTitle("QUARVO - Diagramme de la trace");
    setWindowFlag(Qt::Window);
    resize(820, 560);
    Picture = new QLabel(this);
    Picture->setObjectName("Picture");
    Area = new QScrollArea(this);
    Area->setWidget(Picture);
    Area->setWidgetResizable(false);
    Area->setBackgroundRole(QPalette::Base);
    ExportButton = new QPushButton("&Exporter...", this);
    ExportButton->setObjectName("ExportButton");
    ExportButton->setToolTip("Écrire le diagramme en SVG ou en PNG");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ExportButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Area, 1);
    layout->addLayout(buttons);
    connect(ExportButton, &QPushButton::clicked, this, &TChartWindow::ExportClick);
}

bool TChartWindow::ShowChart(const std::vector<std::string>& actions) {
    // The lifelines come from the specification the system was generated from.
    if (!app_.session.compilation || !app_.session.hasStem || !app_.session.stemFileName.empty()) {
        app_.dialogs.Tell(this, QMessageBox::Information, kCaption,
                          "Le diagramme d'une trace demande le système engendré de la spécification compilée ; "
                          "un STEM relu d'un fichier n'en a pas.");
        return false;
    }
    chart_ = quarvo::ChartOf(*app_.session.compilation, actions);
    second_ = quarvo::TraceChart{};
    svg_ = quarvo::ChartSvg(chart_);
    setWindowTitle("QUARVO - Diagramme de la trace");
    ShowSvg();
    return true;
}

bool TChartWindow::ShowPathChart(const std::vector<std::int32_t>& states) {
    if (!app_.session.hasStem) return false;
    quarvo::Simulator simulator(app_.session.stem, app_.session.stemSemantics);
    simulator.FollowStates(states);
    return ShowChart(simulator.TraceActions());
}

void TChartWindow::ShowComparison(const quarvo::ComparisonCharts& charts) {
    chart_ = charts.first;
    second_ = charts.second;
    svg_ = quarvo::ChartPairSvg(charts);
    setWindowTitle("QUARVO - Diagrammes de la comparaison");
    ShowSvg();
}

void TChartWindow::ShowSvg() {
    Picture->setPixmap(QPixmap::fromImage(Render(svg_)));
    Picture->adjustSize();
    show();
    raise();
    activateWindow();
}

void TChartWindow::ExportClick() {
    if (svg_.empty()) return;
    const QString path =
        app_.dialogs.SaveFileName(this, "Exporter le diagramme", kFilter, "svg", quarvo::ProposedPath(app_.session, "svg"));
    if (path.isEmpty()) return;
    quarvo::RememberFolder(app_.session, path);
    if (Export(path)) emit app_.notifications.MessageShown(quarvo::WrittenMessage("Diagramme exporté", path));
}

bool TChartWindow::Export(const QString& path) {
    std::string bytes = svg_;
    if (path.endsWith(".png", Qt::CaseInsensitive)) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        Render(svg_).save(&buffer, "PNG");
        bytes = png.toStdString();
    }
    const quarvo::Status written = quarvo::WriteFileAtomically(path.toStdString(), bytes);
    if (!written) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kCaption, QString::fromStdString(written.message()));
        return false;
    }
    return true;
}
