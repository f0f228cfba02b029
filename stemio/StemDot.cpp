// The picture window.
#include "stemio/StemDot.h"

#include <QCloseEvent>
#include <QImage>
#include <QPixmap>
#include <QVBoxLayout>

#include "frontend/TextFile.h"
#include "stemio/AfficherAlpha.h"

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
    Image1->setPixmap(QPixmap::fromImage(image));  // the pixmap holds its own copy
    Image1->resize(picture_.width, picture_.height);
    Canvas->setMinimumSize(std::max(10001, picture_.width), std::max(7501, picture_.height));
    Canvas->resize(Canvas->minimumSize());
    return true;
}

void TSTEMJPG::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TSTEMJPG::FormClose() {
    const auto answer = app_.dialogs.Ask(nullptr, QMessageBox::Information, "Enregistrement de l'image",
                                         "Voulez-vous enregistrer l'image ?", QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes && picture_.width > 0) {
        const QString name = app_.dialogs.SaveFileName(this, QString(), kPictureFilter, "JPG");
        if (!name.isEmpty()) {
            const std::string bytes = quarvo::EncodeJpeg(picture_);
            const quarvo::Status written = bytes.empty()
                                               ? quarvo::Status(quarvo::Failure{"Impossible de coder l'image en JPEG."})
                                               : quarvo::WriteFileAtomically(name.toStdString(), bytes);
            if (!written)
                app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", QString::fromStdString(written.message()));
        }
    }
    if (TFormAfficherAlpha* result = app_.windows.alphaResult) result->EnableVisualiser();
}
