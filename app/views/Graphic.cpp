// The graphical STEM viewer: paints the graph model at a zoom, turns mouse
// presses into its rules, and carries out the window's commands.
#include "app/views/Graphic.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QSvgGenerator>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/FileLocations.h"
#include "app/WidgetHelpers.h"
#include "app/views/AbstractionDialog.h"
#include "app/views/GraphHints.h"
#include "app/views/GraphLayout.h"
#include "frontend/TextFile.h"

namespace {

QColor ToQColor(quarvo::GraphColor color) {
    const quarvo::GraphRgb rgb = quarvo::RgbOf(color);
    return QColor(rgb.r, rgb.g, rgb.b);
}

// An ellipse or rectangle given by two corners, as the model gives it.
QRect ToQRect(const quarvo::GraphBox& box) {
    return QRect(box.left, box.top, box.right - box.left, box.bottom - box.top);
}

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// Text with its top left corner at the point, on the painter's background.
void WriteText(QPainter& painter, const quarvo::GraphText& text) {
    painter.drawText(text.at.x, text.at.y + painter.fontMetrics().ascent(), ToQString(text.text));
}

// A state's number in the middle of its circle. On the red of the current
// state it is bold white edged with dark red, which reads on red as on any colour.
void WriteNumber(QPainter& painter, QPoint centre, const QString& number, bool onRed) {
    QFont font = painter.font();
    font.setBold(onRed);
    const QFontMetrics metrics(font, painter.device());
    const QPoint baseline(centre.x() - (metrics.horizontalAdvance(number) + 1) / 2,
                          centre.y() + (metrics.ascent() - metrics.descent() + 1) / 2);
    if (!onRed) {
        painter.setPen(Qt::black);
        painter.drawText(baseline, number);
        return;
    }
    QPainterPath glyphs;
    glyphs.addText(baseline, font, number);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.strokePath(glyphs, QPen(QColor(110, 0, 0), 2.0));
    painter.fillPath(glyphs, Qt::white);
    painter.restore();
}

QPainterPath Curve(const std::vector<quarvo::GraphPoint>& points) {
    QPainterPath path(QPointF(points.front().x, points.front().y));
    for (std::size_t k = 1; k + 2 < points.size(); k += 3)
        path.cubicTo(points[k].x, points[k].y, points[k + 1].x, points[k + 1].y, points[k + 2].x, points[k + 2].y);
    return path;
}

// The area a drawing of this size asks for: never smaller than the historical 15000 x 10000.
constexpr int PaintWidth = 15000;
constexpr int PaintHeight = 10000;
// Each step of the zoom commands and of the wheel.
constexpr double ZoomStep = 1.25;
// How long a confirmation or a note stays on the status line.
constexpr int ConfirmationMilliseconds = 10000;

QString ZoomText(double zoom) {
    return QString::number(std::lround(zoom * 100)) + QChar(0x00A0) + "%";
}

}  // namespace

// ---- Paint area ---------------------------------------------------------------------------

TPaintBox::TPaintBox(TGraph& graph, QWidget* parent) : QWidget(parent), graph_(graph) {
    setObjectName("PaintBox1");
    setFixedSize(PaintWidth, PaintHeight);
    setMouseTracking(true);
    setAutoFillBackground(false);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
}

QPoint TPaintBox::ToDrawing(QPointF at) const {
    const double zoom = graph_.Zoom();
    return QPoint(static_cast<int>(std::lround(at.x() / zoom)), static_cast<int>(std::lround(at.y() / zoom)));
}

void TPaintBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRect(event->rect());
    const double zoom = graph_.Zoom();
    painter.scale(zoom, zoom);
    // The exposed rectangle in drawing coordinates, a pixel wider for the rounding.
    const QRectF exposed(event->rect().x() / zoom, event->rect().y() / zoom, event->rect().width() / zoom,
                         event->rect().height() / zoom);
    graph_.Paint(painter, exposed.toAlignedRect().adjusted(-1, -1, 1, 1));
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    graph_.PaintBox1MouseDown(event->button(), ToDrawing(event->position()), false);
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    graph_.PaintBox1MouseDown(event->button(), ToDrawing(event->position()), true);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) { graph_.PaintBox1MouseMove(ToDrawing(event->position())); }

void TPaintBox::mouseReleaseEvent(QMouseEvent*) { graph_.PaintBox1MouseUp(); }

void TPaintBox::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
        event->ignore();  // the scroll area scrolls
        return;
    }
    const double steps = event->angleDelta().y() / 120.0;
    const QPoint anchor = mapTo(parentWidget(), event->position().toPoint());
    graph_.ZoomBy(std::pow(ZoomStep, steps), anchor);
    event->accept();
}

// ---- Window -------------------------------------------------------------------------------

TGraph::TGraph(quarvo::AppContext& app) : app_(app), SelectedState(model_.SelectedState) {
    setObjectName("Graph");
    setWindowTitle("Visualisation graphique - Calvento - STEM Viewer");
    resize(795, 570);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    MenuBar = new QMenuBar(this);
    MenuBar->setObjectName("MenuBar");
    layout->setMenuBar(MenuBar);
    ScrollBox = new QScrollArea(this);
    ScrollBox->setBackgroundRole(QPalette::Window);
    ScrollBox->setWidgetResizable(false);
    PaintBox1 = new TPaintBox(*this, ScrollBox);
    ScrollBox->setWidget(PaintBox1);
    layout->addWidget(ScrollBox, 1);

    // The hint has lines of its own above the status line, as many as the
    // window's width asks for: a status bar would keep it to one line's height.
    MouseHelp = new QLabel(QString::fromStdString(quarvo::GraphHint(false, true, true)), this);
    MouseHelp->setObjectName("MouseHelp");
    MouseHelp->setWordWrap(true);
    MouseHelp->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(MouseHelp);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(false);
    ZoomLabel = new QLabel(ZoomText(zoom_), StatusBar);
    ZoomLabel->setObjectName("ZoomLabel");
    StatusBar->addPermanentWidget(ZoomLabel);
    layout->addWidget(StatusBar);

    BuildMenus();
}

void TGraph::BuildMenus() {
    using quarvo::AddCommand;
    // Each item also belongs to the window, so that its keys work wherever the focus is in it.
    auto keep = [this](QAction* action, const char* name) {
        action->setObjectName(name);
        addAction(action);
        return action;
    };
    QMenu* file = MenuBar->addMenu("&Fichier");
    file->setObjectName("Fichier1");
    QAction* save = keep(AddCommand(file, "&Exporter…", this, &TGraph::SaveDrawingAs), "Exporter1");
    save->setShortcuts({QKeySequence("Ctrl+E"), QKeySequence("Ctrl+S")});
    keep(AddCommand(file, "&Imprimer…", this, &TGraph::PrintAsked, QKeySequence("Ctrl+P")), "Imprimer1");

    QMenu* view = MenuBar->addMenu("&Affichage");
    view->setObjectName("Affichage1");
    QAction* zoomIn = keep(AddCommand(view, "Zoom &avant", this, &TGraph::ZoomIn), "ZoomAvant1");
    zoomIn->setShortcuts({QKeySequence("Ctrl++"), QKeySequence("Ctrl+=")});
    keep(AddCommand(view, "Zoom a&rrière", this, &TGraph::ZoomOut, QKeySequence("Ctrl+-")), "ZoomArriere1");
    keep(AddCommand(view, "A&juster à la fenêtre", this, &TGraph::FitToWindow, QKeySequence("Ctrl+0")),
         "Ajuster1");
    keep(AddCommand(view, "Vue &initiale (100 %)", this, &TGraph::ResetView, QKeySequence("Ctrl+1")),
         "VueInitiale1");

    QMenu* graph = MenuBar->addMenu("&Graphe");
    graph->setObjectName("Graphe1");
    keep(AddCommand(graph, "&Disposition automatique", this, [this] { AutoLayout(); }, QKeySequence("Ctrl+L")),
         "Disposition1");
    // Paths and layouts read along a line of text when the option is on.
    LeftToRight = keep(AddCommand(graph, "De &gauche à droite", this, [this] {
                           if (!model_.ShowsPath()) return;
                           LayOut(true);
                           UpdateHint();
                       }),
                       "GaucheADroite1");
    LeftToRight->setCheckable(true);
    graph->addSeparator();
    keep(AddCommand(graph, "&Chercher un état…", this, &TGraph::FindStateAsked, QKeySequence("Ctrl+F")),
         "ChercherEtat1");
    keep(AddCommand(graph, "Déplier &tous les successeurs", this, &TGraph::UnfoldAll, QKeySequence("Ctrl+U")),
         "DeplierTout1");
    keep(AddCommand(graph, "Déplier jusqu'à une &profondeur…", this, &TGraph::UnfoldToDepthAsked,
                    QKeySequence("Ctrl+D")),
         "DeplierProfondeur1");
    graph->addSeparator();
    keep(AddCommand(graph, "&Vue d'ensemble par niveaux", this, [this] { app_.intents.ShowOverview(); },
                    QKeySequence("Ctrl+G")),
         "VueEnsemble1");
    keep(AddCommand(graph, "&Abstraction…", this, [this] { AbstractionDialog().Open(); }), "Abstraction1");
}

void TGraph::init_graph() {
    model_.Forget();
    PaintBox1->setToolTip(QString());
    UpdateArea();
    PaintBox1->update();
}

void TGraph::FormShow() {
    model_.FormShow();
    UpdateHint();
    UpdateArea();
    PaintBox1->update();
}

void TGraph::UpdateHint() {
    if (abstraction_) {
        MouseHelp->setText(QString::fromStdString(quarvo::AbstractionHint(pathKind_.toStdString())));
        return;
    }
    MouseHelp->setText(QString::fromStdString(quarvo::GraphHint(model_.ShowsPath(), model_.HasCurrentState(),
                                                                model_.HasLimeState(), pathKind_.toStdString(),
                                                                LeftToRight->isChecked())));
}

void TGraph::draw_stem() {
    abstraction_ = false;
    model_.ShowStore(app_.session.stem);
    if (isVisible() && !model_.States().empty()) {
        raise();
        activateWindow();
        return;
    }
    FormShow();
    show();
    raise();
    activateWindow();
    if (const auto first = model_.FirstShown()) ScrollToState(first->Number);
}

void TGraph::draw_trace(const std::vector<std::int32_t>& path, const QString& kind) {
    ShowOnItsOwn(quarvo::TraceRecords(app_.session.stem, path), kind, false);
}

void TGraph::ShowAbstraction(quarvo::StemStore quotient, const QString& description) {
    ShowOnItsOwn(std::move(quotient), description, true);
}

TAbstractionDialog& TGraph::AbstractionDialog() {
    if (!abstractionDialog_) {
        abstractionDialog_ = new TAbstractionDialog(
            app_, [this](quarvo::StemStore quotient, const QString& description) {
                ShowAbstraction(std::move(quotient), description);
            },
            this);
    }
    return *abstractionDialog_;
}

void TGraph::ShowOnItsOwn(quarvo::StemStore shown, const QString& kind, bool abstraction) {
    // A fresh showing: the view starts again from the path, whatever zoom was left.
    hide();
    pathKind_ = kind;
    abstraction_ = abstraction;
    model_.ShowTrace(std::move(shown));
    PaintBox1->setToolTip(QString());
    UpdateHint();
    zoom_ = 1.0;
    fitted_ = false;
    ZoomLabel->setText(ZoomText(zoom_));
    UpdateArea();
    show();
    raise();
    activateWindow();
    // Graphviz places the path and routes its arcs with their labels; the
    // column of ShowTrace stays when it cannot.
    LayOut(true);
    if (const auto first = model_.FirstShown()) ScrollToState(first->Number);
    PaintBox1->update();
}

void TGraph::CloseAndMaximise() {
    close();
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TGraph::Paint(QPainter& painter, const QRect& area) {
    painter.fillRect(area, Qt::white);
    // While a generation runs, the states the model points to are being replaced.
    if (app_.session.busy) return;
    painter.setFont(PaintBox1->font());
    painter.setBackgroundMode(Qt::OpaqueMode);

    const auto arcs = model_.LayOutTransitions(ShownActions(), LabelSemantics());
    for (const quarvo::ArcDrawing& arc : arcs) {
        painter.setPen(QPen(arc.pen == quarvo::GraphPen::Red ? Qt::red : Qt::black, 1, Qt::SolidLine));
        if (!arc.curve.empty()) {
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(Curve(arc.curve));
            for (const quarvo::GraphLine& line : arc.lines)
                painter.drawLine(line.from.x, line.from.y, line.to.x, line.to.y);
        } else if (arc.selfLoop) {
            painter.setBrush(Qt::white);
            painter.drawEllipse(ToQRect(arc.loop));
        } else {
            for (const quarvo::GraphLine& line : arc.lines)
                painter.drawLine(line.from.x, line.from.y, line.to.x, line.to.y);
        }
        painter.setPen(Qt::black);
        painter.setBackground(Qt::white);
        WriteText(painter, arc.label);
    }

    painter.setBackgroundMode(Qt::TransparentMode);
    for (const quarvo::TGraphicState& state : model_.States()) {
        const quarvo::StateDrawing d = quarvo::LayOutState(state);
        painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
        painter.setBrush(ToQColor(d.fill));
        painter.drawEllipse(ToQRect(d.circle));
        WriteNumber(painter, QPoint(state.X, state.Y), ToQString(d.number.text), d.fill == quarvo::GraphColor::Red);
    }

    if (model_.MoveArmed()) {
        if (const quarvo::TGraphicState* selected = quarvo::ieme(model_.SelectedState, model_.States())) {
            painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DashDotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(ToQRect(quarvo::SelectionSquare(*selected)));
        }
    }
}

void TGraph::PaintBox1MouseDown(Qt::MouseButton button, QPoint at, bool doubleClick) {
    if (app_.session.busy) return;
    const quarvo::GraphButton which = button == Qt::LeftButton    ? quarvo::GraphButton::Left
                                      : button == Qt::RightButton ? quarvo::GraphButton::Right
                                                                  : quarvo::GraphButton::Middle;
    model_.Press(which, at.x(), at.y(), doubleClick, ShownActions(), LabelSemantics());
    UpdateHint();
    PaintBox1->update();
}

void TGraph::PaintBox1MouseMove(QPoint at) {
    if (app_.session.busy) return;
    if (model_.Move(at.x(), at.y())) PaintBox1->update();
    const std::string hint = model_.HintAt(at.x(), at.y(), ShownActions(), LabelSemantics());
    // Long enough to be read; Qt takes the delay before it appears from the style.
    PaintBox1->setToolTipDuration(hint.empty() ? 2000 : 30000);
    PaintBox1->setToolTip(QString::fromStdString(hint));
}

void TGraph::PaintBox1MouseUp() { model_.Release(); }

// ---- Geometry of the drawing --------------------------------------------------------------

std::vector<QRect> TGraph::LabelRects() {
    const QFontMetrics metrics(PaintBox1->font());
    std::vector<QRect> rects;
    if (app_.session.busy) return rects;
    for (const quarvo::ArcDrawing& arc : model_.LayOutTransitions(ShownActions(), LabelSemantics())) {
        if (arc.covered) continue;
        rects.emplace_back(arc.label.at.x, arc.label.at.y, metrics.horizontalAdvance(ToQString(arc.label.text)),
                           metrics.height());
    }
    return rects;
}

QSize TGraph::DrawingSize() {
    int right = 0, bottom = 0;
    auto extend = [&](int x, int y) {
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    };
    if (!app_.session.busy) {
        for (const quarvo::TGraphicState& s : model_.States()) {
            const quarvo::GraphBox circle = quarvo::LayOutState(s).circle;
            extend(circle.right, circle.bottom);
        }
        for (const quarvo::ArcDrawing& arc :
             model_.LayOutTransitions(ShownActions(), LabelSemantics())) {
            if (arc.selfLoop) extend(arc.loop.right, arc.loop.bottom);
            for (const quarvo::GraphPoint& p : arc.curve) extend(p.x, p.y);
        }
        for (const QRect& label : LabelRects()) extend(label.right() + 1, label.bottom() + 1);
    }
    constexpr int margin = 20;
    return QSize(right + margin, bottom + margin);
}

void TGraph::UpdateArea() {
    // Fitted to the window, the area is the view's: no scroll bar shows.
    const QSize drawing = fitted_ ? DrawingSize() : DrawingSize().expandedTo(QSize(PaintWidth, PaintHeight));
    QSize area(static_cast<int>(std::ceil(drawing.width() * zoom_)),
               static_cast<int>(std::ceil(drawing.height() * zoom_)));
    if (fitted_) area = area.expandedTo(ScrollBox->maximumViewportSize());
    PaintBox1->setFixedSize(area);
}

void TGraph::Redraw() {
    UpdateArea();
    PaintBox1->update();
}

// ---- Zoom and scrolling -------------------------------------------------------------------

void TGraph::ZoomBy(double factor, QPoint anchor) {
    QScrollBar* h = ScrollBox->horizontalScrollBar();
    QScrollBar* v = ScrollBox->verticalScrollBar();
    // The drawing point under the anchor, before the zoom changes.
    const double x = (h->value() + anchor.x()) / zoom_, y = (v->value() + anchor.y()) / zoom_;
    zoom_ = std::clamp(zoom_ * factor, MinZoom, MaxZoom);
    fitted_ = false;
    ZoomLabel->setText(ZoomText(zoom_));
    UpdateArea();
    h->setValue(static_cast<int>(std::lround(x * zoom_ - anchor.x())));
    v->setValue(static_cast<int>(std::lround(y * zoom_ - anchor.y())));
    PaintBox1->update();
}

void TGraph::SetZoom(double zoom) {
    const QSize viewport = ScrollBox->viewport()->size();
    ZoomBy(zoom / zoom_, QPoint(viewport.width() / 2, viewport.height() / 2));
}

void TGraph::ZoomIn() { SetZoom(zoom_ * ZoomStep); }

void TGraph::ZoomOut() { SetZoom(zoom_ / ZoomStep); }

void TGraph::FitToWindow() {
    const QSize drawing = DrawingSize();
    // The whole view, without scroll bars: the area is made the view's size.
    const QSize room = ScrollBox->maximumViewportSize();
    const double zoom = std::min(static_cast<double>(room.width()) / drawing.width(),
                                 static_cast<double>(room.height()) / drawing.height());
    if (zoom < MinReadableZoom) {
        // Smaller, the labels could not be read: the view goes to the current state instead.
        zoom_ = MinReadableZoom;
        fitted_ = false;
        ZoomLabel->setText(ZoomText(zoom_));
        UpdateArea();
        const bool current = model_.HasCurrentState();
        const auto first = model_.FirstShown();
        const std::int32_t centre = current ? model_.CurrentState() : first ? first->Number : 0;
        ScrollToState(centre, true);
        StatusBar->showMessage(QString("Le graphe entier ne tiendrait dans la fenêtre qu'à %1, illisible : "
                                       "zoom de %2, centré sur l'état %3.")
                                   .arg(ZoomText(zoom), ZoomText(zoom_), current ? "courant" : "initial"),
                               ConfirmationMilliseconds);
        PaintBox1->update();
        return;
    }
    zoom_ = std::min(zoom, MaxZoom);
    fitted_ = true;
    ZoomLabel->setText(ZoomText(zoom_));
    UpdateArea();
    ScrollBox->horizontalScrollBar()->setValue(0);
    ScrollBox->verticalScrollBar()->setValue(0);
    PaintBox1->update();
}

void TGraph::ResetView() {
    zoom_ = 1.0;
    fitted_ = false;
    ZoomLabel->setText(ZoomText(zoom_));
    UpdateArea();
    if (const auto first = model_.FirstShown()) ScrollToState(first->Number);
    PaintBox1->update();
}

void TGraph::ScrollToState(std::int32_t number, bool centred) {
    const quarvo::TGraphicState* state = quarvo::ieme(number, model_.States());
    if (!state) return;
    const QSize viewport = ScrollBox->viewport()->size();
    const double x = state->X * zoom_, y = state->Y * zoom_;
    // Near the top, the state keeps the room of the first row above it.
    const double above = centred ? viewport.height() / 2.0 : std::min(viewport.height() / 2.0, 60.0);
    ScrollBox->horizontalScrollBar()->setValue(static_cast<int>(std::lround(x - viewport.width() / 2.0)));
    ScrollBox->verticalScrollBar()->setValue(static_cast<int>(std::lround(y - above)));
}

// ---- Export and printing ------------------------------------------------------------------

QByteArray TGraph::DrawingBytes(const QString& suffix) {
    const QSize size = DrawingSize();
    const QRect whole(QPoint(0, 0), size);
    QByteArray bytes;
    if (suffix == "pdf") {
        // The printer writes only to a named file: a scratch one, read back.
        QTemporaryDir scratch;
        if (!scratch.isValid()) return {};
        const QString name = scratch.filePath("graphe.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(name);
        printer.setCreator("QUARVO");
        printer.setDocName(windowTitle());
        // One page of the drawing's size, a pixel a point.
        printer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        if (!PrintDrawing(printer)) return {};
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll();
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (suffix == "png") {
        QImage image(size, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            Paint(painter, whole);
        }
        if (!image.save(&buffer, "PNG")) return {};
        return bytes;
    }
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(whole);
    svg.setTitle(windowTitle());
    QPainter painter;
    if (!painter.begin(&svg)) return {};
    Paint(painter, whole);
    if (!painter.end()) return {};
    return bytes;
}

bool TGraph::SaveDrawing(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const QByteArray bytes = DrawingBytes(suffix == "png" || suffix == "pdf" ? suffix : "svg");
    if (bytes.isEmpty()) return false;
    return quarvo::WriteFileAtomically(QFile::encodeName(fileName).toStdString(),
                                       std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
        .ok();
}

void TGraph::SaveDrawingAs() {
    const QString name = app_.dialogs.SaveFileName(
        this, "Exporter le graphe",
        "Image SVG (*.svg)|*.svg|Image PNG (*.png)|*.png|Document PDF (*.pdf)|*.pdf", "svg",
        quarvo::ProposedPath(app_.session, "svg"));
    if (name.isEmpty()) return;
    quarvo::RememberFolder(app_.session, name);
    if (!SaveDrawing(name)) {
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!",
                          "Impossible d'enregistrer le graphe dans " + name + ".");
        return;
    }
    const QString written = quarvo::WrittenMessage("Graphe exporté", name);
    StatusBar->showMessage(written, ConfirmationMilliseconds);
    emit app_.notifications.MessageShown(written);
}

bool TGraph::PrintDrawing(QPrinter& printer) {
    const QSize size = DrawingSize();
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    painter.scale(scale, scale);
    Paint(painter, QRect(QPoint(0, 0), size));
    return painter.end();
}

void TGraph::PrintAsked() {
    if (app_.session.busy) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Imprimer le graphe");
    if (dialog.exec() != QDialog::Accepted) return;
    if (!PrintDrawing(printer))
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", "Impossible d'imprimer le graphe.");
}
