// The picture window.
#include "app/toolchain/StemDot.h"
#include "app/FileLocations.h"

#include <QAction>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <QImage>
#include <QPixmap>
#include <QVBoxLayout>

#include "frontend/TextFile.h"

namespace {

constexpr const char* kPictureFilter = "Image JPEG (*.jpg)|*.jpg|Tous les fichiers (*.*)|*.*";

}  // namespace

TSTEMJPG::TSTEMJPG(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("STEM alpha-réduit (via DOT)");
    resize(753, 610);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ScrollBox = new QScrollArea(this);
    ScrollBox->setBackgroundRole(QPalette::Base);
    QPalette palette = ScrollBox->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    ScrollBox->setPalette(palette);
    Canvas = new QWidget;
    Canvas->setAutoFillBackground(true);
    Canvas->setPalette(palette);
    Image1 = new QLabel(Canvas);
    Image1->setObjectName("Image1");
    Image1->setAlignment(Qt::AlignCenter);
    Image1->move(0, 0);
    Label1 = new QLabel(Canvas);
    Label1->move(10000, 7500);
    Label1->resize(1, 1);
    Canvas->setMinimumSize(10001, 7501);
    ScrollBox->setWidget(Canvas);
    layout->addWidget(ScrollBox);

    // Zoom by keyboard, by Ctrl + wheel, and from the picture's context menu.
    const struct {
        const char* caption;
        QKeySequence key;
        void (TSTEMJPG::*command)();
    } commands[] = {
        {"Zoom avant", QKeySequence::ZoomIn, &TSTEMJPG::ZoomIn},
        {"Zoom arrière", QKeySequence::ZoomOut, &TSTEMJPG::ZoomOut},
        {"Ajuster à la fenêtre", QKeySequence("Ctrl+0"), &TSTEMJPG::FitToWindow},
        {"Taille réelle", QKeySequence("Ctrl+1"), nullptr},
    };
    for (const auto& c : commands) {
        auto* action = new QAction(c.caption, this);
        action->setShortcut(c.key);
        if (c.command) connect(action, &QAction::triggered, this, c.command);
        else connect(action, &QAction::triggered, this, [this] { SetZoom(1.0); });
        addAction(action);
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
    ScrollBox->viewport()->installEventFilter(this);
}

void TSTEMJPG::SetZoom(double zoom) {
    zoom_ = std::clamp(zoom, 0.05, 8.0);
    if (original_.isNull()) return;
    const QSize size = (QSizeF(original_.size()) * zoom_).toSize().expandedTo(QSize(1, 1));
    Image1->setPixmap(zoom_ == 1.0 ? original_ : original_.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    Image1->resize(Image1->pixmap().size());
}

void TSTEMJPG::FitToWindow() {
    if (original_.isNull()) return;
    const QSize room = ScrollBox->viewport()->size();
    SetZoom(std::min(static_cast<double>(room.width()) / original_.width(),
                     static_cast<double>(room.height()) / original_.height()));
    ScrollBox->horizontalScrollBar()->setValue(0);
    ScrollBox->verticalScrollBar()->setValue(0);
}

bool TSTEMJPG::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ScrollBox->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (wheel->angleDelta().y() > 0) ZoomIn();
            else if (wheel->angleDelta().y() < 0) ZoomOut();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TSTEMJPG::LoadPicture(const QString& path) {
    const std::string file = path.toStdString();
    std::string bytes;
    {
        std::FILE* in = std::fopen(file.c_str(), "rb");
        if (!in) {
            app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", "Image introuvable : " + path);
            return false;
        }
        char chunk[1 << 16];
        std::size_t read = 0;
        while ((read = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.append(chunk, read);
        std::fclose(in);
    }
    quarvo::JpegDecodeResult decoded = quarvo::DecodeJpeg(bytes);
    if (!decoded.error.empty()) {
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", QString::fromStdString(decoded.error));
        return false;
    }
    picture_ = std::move(decoded.picture);
    const QImage image(picture_.pixels.data(), picture_.width, picture_.height, picture_.width * 3,
                       QImage::Format_RGB888);
    original_ = QPixmap::fromImage(image);  // the pixmap holds its own copy
    SetZoom(1.0);
    Canvas->setMinimumSize(std::max(10001, picture_.width), std::max(7501, picture_.height));
    Canvas->resize(Canvas->minimumSize());
    return true;
}

void TSTEMJPG::done(int result) {
    // A dialog that is closed while shown ends here once, whatever closed it.
    if (isVisible()) FormClose();
    QDialog::done(result);
}

void TSTEMJPG::FormClose() {
    const auto answer = app_.dialogs.Ask(nullptr, QMessageBox::Information, "Enregistrement de l'image",
                                         "Voulez-vous enregistrer l'image ?", QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes && picture_.width > 0) {
        const QString name = app_.dialogs.SaveFileName(this, QString(), kPictureFilter, "JPG",
                                                       quarvo::ProposedPath(app_.session, "JPG"));
        quarvo::RememberFolder(app_.session, name);
        if (!name.isEmpty()) {
            const std::string bytes = quarvo::EncodeJpeg(picture_);
            const quarvo::Status written = bytes.empty()
                                               ? quarvo::Status(quarvo::Failure{"Impossible de coder l'image en JPEG."})
                                               : quarvo::WriteFileAtomically(name.toStdString(), bytes);
            if (!written)
                app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", QString::fromStdString(written.message()));
            else
                emit app_.notifications.MessageShown(quarvo::WrittenMessage("Image écrite", name));
        }
    }
    emit app_.notifications.PictureClosed();
}
