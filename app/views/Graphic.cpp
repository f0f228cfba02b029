// The graphical STEM viewer: paints the graph model and turns mouse presses into its rules.
#include "app/views/Graphic.h"

#include <algorithm>

#include <QFileInfo>
#include <QImage>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QShortcut>
#include <QSvgGenerator>
#include <QVBoxLayout>

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

constexpr int PaintWidth = 15000;
constexpr int PaintHeight = 10000;

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

void TPaintBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRect(event->rect());
    graph_.Paint(painter, event->rect());
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    graph_.PaintBox1MouseDown(event->button(), event->position().toPoint(), false);
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    graph_.PaintBox1MouseDown(event->button(), event->position().toPoint(), true);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) { graph_.PaintBox1MouseMove(event->position().toPoint()); }

void TPaintBox::mouseReleaseEvent(QMouseEvent*) { graph_.PaintBox1MouseUp(); }

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
    ScrollBox = new QScrollArea(this);
    ScrollBox->setBackgroundRole(QPalette::Window);
    ScrollBox->setWidgetResizable(false);
    PaintBox1 = new TPaintBox(*this, ScrollBox);
    ScrollBox->setWidget(PaintBox1);
    layout->addWidget(ScrollBox);

    auto* save = new QShortcut(QKeySequence("Ctrl+S"), this);
    connect(save, &QShortcut::activated, this, [this] { SaveDrawingAs(); });
}

void TGraph::init_graph() {
    model_.Forget();
    PaintBox1->setToolTip(QString());
    PaintBox1->update();
}

void TGraph::FormShow() {
    model_.FormShow();
    PaintBox1->update();
}

void TGraph::draw_stem() {
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
}

void TGraph::draw_trace(const std::vector<std::int32_t>& path) {
    // A fresh showing: the view starts again from the path.
    hide();
    model_.ShowTrace(quarvo::TraceRecords(app_.session.stem, path));
    PaintBox1->setToolTip(QString());
    show();
    raise();
    activateWindow();
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

    const auto arcs = model_.LayOutTransitions(app_.session.stem.actions, LabelSemantics());
    for (const quarvo::ArcDrawing& arc : arcs) {
        painter.setPen(QPen(arc.pen == quarvo::GraphPen::Red ? Qt::red : Qt::black, 1, Qt::SolidLine));
        if (arc.selfLoop) {
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

    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    for (const quarvo::TGraphicState& state : model_.States()) {
        const quarvo::StateDrawing d = quarvo::LayOutState(state);
        const QColor fill = ToQColor(d.fill);
        painter.setBrush(fill);
        painter.drawEllipse(ToQRect(d.circle));
        painter.setBackground(fill);
        WriteText(painter, d.number);
    }

    if (model_.MoveArmed()) {
        if (const quarvo::TGraphicState* selected = quarvo::ieme(model_.SelectedState, model_.States())) {
            painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DashDotLine));
            painter.setBrush(Qt::NoBrush);
            painter.setBackgroundMode(Qt::TransparentMode);
            painter.drawRect(ToQRect(quarvo::SelectionSquare(*selected)));
        }
    }
}

void TGraph::PaintBox1MouseDown(Qt::MouseButton button, QPoint at, bool doubleClick) {
    if (app_.session.busy) return;
    const quarvo::GraphButton which = button == Qt::LeftButton    ? quarvo::GraphButton::Left
                                      : button == Qt::RightButton ? quarvo::GraphButton::Right
                                                                  : quarvo::GraphButton::Middle;
    model_.Press(which, at.x(), at.y(), doubleClick, app_.session.stem.actions, LabelSemantics());
    PaintBox1->update();
}

void TGraph::PaintBox1MouseMove(QPoint at) {
    if (app_.session.busy) return;
    if (model_.Move(at.x(), at.y())) PaintBox1->update();
    const std::string hint = model_.HintAt(at.x(), at.y(), app_.session.stem.actions, LabelSemantics());
    // Long enough to be read; Qt takes the delay before it appears from the style.
    PaintBox1->setToolTipDuration(hint.empty() ? 2000 : 30000);
    PaintBox1->setToolTip(QString::fromStdString(hint));
}

void TGraph::PaintBox1MouseUp() { model_.Release(); }

QSize TGraph::DrawingSize() {
    const QFontMetrics metrics(PaintBox1->font());
    int right = 0, bottom = 0;
    auto extend = [&](int x, int y) {
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    };
    auto extendText = [&](const quarvo::GraphText& text) {
        extend(text.at.x + metrics.horizontalAdvance(ToQString(text.text)), text.at.y + metrics.height());
    };
    for (const quarvo::TGraphicState& s : model_.States()) extend(s.X + 15, s.Y + 15);
    for (const quarvo::ArcDrawing& arc : model_.LayOutTransitions(app_.session.stem.actions, LabelSemantics())) {
        if (arc.selfLoop) extend(arc.loop.right, arc.loop.bottom);
        extendText(arc.label);
    }
    constexpr int margin = 20;
    return QSize(std::min(right + margin, PaintWidth), std::min(bottom + margin, PaintHeight));
}

bool TGraph::SaveDrawing(const QString& fileName) {
    const QSize size = DrawingSize();
    if (QFileInfo(fileName).suffix().compare("png", Qt::CaseInsensitive) == 0) {
        QImage image(size, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            Paint(painter, QRect(QPoint(0, 0), size));
        }
        return image.save(fileName, "PNG");
    }
    QSvgGenerator svg;
    svg.setFileName(fileName);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(windowTitle());
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    Paint(painter, QRect(QPoint(0, 0), size));
    return painter.end() && QFileInfo(fileName).size() > 0;
}

void TGraph::SaveDrawingAs() {
    const QString name = app_.dialogs.SaveFileName(this, "Enregistrer le graphe",
                                                   "Image SVG (*.svg)|*.svg|Image PNG (*.png)|*.png", "svg");
    if (name.isEmpty()) return;
    if (!SaveDrawing(name))
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!",
                          "Impossible d'enregistrer le graphe dans " + name + ".");
}
