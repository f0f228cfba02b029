// The external tool chain's windows: format choice, result text, picture, and the JPEG codec behind it.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "app/Sdimain.h"
#include "app/toolchain/AfficherAlpha.h"
#include "app/toolchain/Alpha.h"
#include "app/toolchain/JpegCodec.h"
#include "app/toolchain/StemDot.h"
#include "stemio/ToolChain.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Example;
using quarvo::testing::Component;
using quarvo::testing::TestApp;

namespace {

// Runs action once widget is shown (from inside its modal loop). A window that
// never shows means the test failed: every modal window is closed so that it ends.
void WhenShown(QWidget* widget, std::function<void()> action, int attemptsLeft = 3000) {
    QTimer::singleShot(10, widget, [widget, action, attemptsLeft] {
        if (widget->isVisible()) action();
        else if (attemptsLeft > 0) WhenShown(widget, action, attemptsLeft - 1);
        else
            while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
}

bool ToolsInstalled() { return !quarvo::FindOnPath("ocamlc").empty() && !quarvo::FindOnPath("dot").empty(); }

quarvo::RgbPicture Gradient(int width, int height) {
    quarvo::RgbPicture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.pixels.insert(picture.pixels.end(), {std::uint8_t(x * 4), std::uint8_t(y * 4), 128});
    return picture;
}

// A gradient picture written as a JPEG file.
bool WriteGradientJpeg(const QString& path, int width, int height) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const std::string bytes = quarvo::EncodeJpeg(Gradient(width, height));
    return file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class ToolChainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void FormatDialogAndResultWindowCaptions() {
        TestApp t;
        TFormAlpha* format = t.Windows().outputFormat;
        TFormAfficherAlpha* result = t.Windows().alphaResult;
        QCOMPARE(format->windowTitle(), QString("Format de sortie"));
        QCOMPARE(format->STEMRadio->text(), QString("\".STEM\" pour QUARVO"));
        QCOMPARE(format->DOTRadio->text(), QString("\".DOT\" pour DOT"));
        QVERIFY(format->STEMRadio->isChecked());
        QCOMPARE(format->Button1->text(), QString("&OK"));
        QCOMPARE(format->Button2->text(), QString("&Quitter"));
        QCOMPARE(result->windowTitle(), QString("STEM alpha-réduit"));
        QCOMPARE(result->Button3->text(), QString("&Afficher"));
        QVERIFY(!result->Visualiser->isEnabled());
        QCOMPARE(t.Windows().picture->windowTitle(), QString("STEM alpha-réduit (via DOT)"));
    }

    void JpegRoundTripAndDamagedFiles() {
        const quarvo::RgbPicture picture = Gradient(40, 30);
        const std::string bytes = quarvo::EncodeJpeg(picture);
        QVERIFY(bytes.size() > 100);
        const quarvo::JpegDecodeResult decoded = quarvo::DecodeJpeg(bytes);
        QVERIFY(decoded.error.empty());
        QCOMPARE(decoded.picture.width, 40);
        QCOMPARE(decoded.picture.height, 30);
        // Lossy, but close to the original.
        int worst = 0;
        for (std::size_t i = 0; i < picture.pixels.size(); ++i)
            worst = std::max(worst, std::abs(int(picture.pixels[i]) - int(decoded.picture.pixels[i])));
        QVERIFY(worst < 40);

        QVERIFY(!quarvo::DecodeJpeg("").error.empty());
        QVERIFY(!quarvo::DecodeJpeg("not a jpeg at all").error.empty());
        QVERIFY(!quarvo::DecodeJpeg(bytes.substr(0, 20)).error.empty());
        // A truncated body still decodes (libjpeg fills the rest) or fails cleanly.
        const quarvo::JpegDecodeResult truncated = quarvo::DecodeJpeg(bytes.substr(0, bytes.size() / 2));
        QVERIFY(truncated.error.empty() || truncated.picture.pixels.empty());
        QVERIFY(quarvo::EncodeJpeg(quarvo::RgbPicture{}).empty());
    }

    void PictureIsOfferedForSavingWhenClosed() {
        TestApp t;
        QTemporaryDir dir;
        const QString source = dir.filePath("in.jpg");
        QVERIFY(WriteGradientJpeg(source, 64, 48));
        TSTEMJPG* picture = t.Windows().picture;
        TFormAfficherAlpha* result = t.Windows().alphaResult;
        QVERIFY(picture->LoadPicture(source));
        QCOMPARE(picture->Image1->size(), QSize(64, 48));
        // The scrollable area reaches at least 10000 by 7500 pixels.
        QVERIFY(picture->Canvas->minimumWidth() > 10000 && picture->Canvas->minimumHeight() > 7500);

        // No: closed without a file dialog, "Visualiser" back.
        result->Visualiser->setEnabled(false);
        t.dialogs.answers.push_back(QMessageBox::No);
        picture->show();
        picture->close();
        QCOMPARE(t.dialogs.Last()->caption, QString("Enregistrement de l'image"));
        QCOMPARE(t.dialogs.Last()->text, QString("Voulez-vous enregistrer l'image ?"));
        QCOMPARE(t.dialogs.Last()->icon, QMessageBox::Information);
        QVERIFY(t.dialogs.fileTitles.empty());
        QVERIFY(result->Visualiser->isEnabled());

        // Yes and a name: the picture is written as JPEG.
        const QString saved = dir.filePath("out.jpg");
        t.dialogs.answers.push_back(QMessageBox::Yes);
        t.dialogs.fileNames.push_back(saved);
        picture->show();
        picture->close();
        QCOMPARE(t.dialogs.fileFilters.back(), QString("Image JPEG (*.jpg)|*.jpg|Tous les fichiers (*.*)|*.*"));
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("JPG"));
        const QByteArray bytes = ReadBytes(saved);
        const quarvo::JpegDecodeResult decoded = quarvo::DecodeJpeg(std::string(bytes.constData(), bytes.size()));
        QVERIFY(decoded.error.empty());
        QCOMPARE(decoded.picture.width, 64);

        // A file that is not a picture gives a message and keeps the previous one.
        QFile junk(dir.filePath("junk.jpg"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("junk");
        junk.close();
        QVERIFY(!picture->LoadPicture(dir.filePath("junk.jpg")));
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur!"));
        QCOMPARE(picture->Picture().width, 64);

        // Escape closes it the same way: the question, then "Visualiser" back.
        result->Visualiser->setEnabled(false);
        const std::size_t asked = t.dialogs.shown.size();
        t.dialogs.answers.push_back(QMessageBox::No);
        picture->show();
        QTest::keyClick(picture, Qt::Key_Escape);
        QVERIFY(!picture->isVisible());
        QCOMPARE(t.dialogs.shown.size(), asked + 1);
        QCOMPARE(t.dialogs.Last()->text, QString("Voulez-vous enregistrer l'image ?"));
        QVERIFY(result->Visualiser->isEnabled());
    }

    void ThePictureZoomsAndFits() {
        TestApp t;
        QTemporaryDir dir;
        const QString source = dir.filePath("Sortie.jpg");
        QVERIFY(WriteGradientJpeg(source, 640, 480));
        TSTEMJPG* picture = t.Windows().picture;
        QVERIFY(picture->LoadPicture(source));
        picture->resize(400, 300);
        picture->show();
        QApplication::setActiveWindow(picture);
        QVERIFY(QTest::qWaitForWindowActive(picture));
        QTest::keyClick(picture, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(picture->Image1->size(), QSize(800, 600));
        QTest::keyClick(picture, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(picture->Image1->size(), QSize(640, 480));
        // Ctrl + wheel zooms too; the wheel alone scrolls.
        QWidget* viewport = picture->ScrollBox->viewport();
        QWheelEvent wheel(QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCOMPARE(picture->Image1->size(), QSize(800, 600));
        // Fitted, the whole picture is seen, as large as the window lets it be.
        QTest::keyClick(picture, Qt::Key_0, Qt::ControlModifier);
        const QSize room = viewport->size();
        const QSize shown = picture->Image1->size();
        QVERIFY(shown.width() <= room.width() && shown.height() <= room.height());
        QVERIFY(shown.width() >= room.width() - 2 || shown.height() >= room.height() - 2);
        QTest::keyClick(picture, Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(picture->Image1->size(), QSize(640, 480));
        t.dialogs.answers.push_back(QMessageBox::No);
        picture->close();
    }

    void AMissingToolIsNamed() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        t.GetSession().outputKind = quarvo::OutputKind::AlphaReduced;
        const bool produced = t.Windows().alphaResult->Produce(quarvo::OcamlOutput::AlphaReduced,
                                                                     quarvo::OcamlFormat::Stem);
        qputenv("PATH", path);
        QVERIFY(!produced);
        QCOMPARE(t.dialogs.Last()->text, QString("ocamlc introuvable : installez OCaml."));
        QVERIFY(!t.GetSession().busy);
    }

    void AlphaReducedStemIsShownAndSaved() {
        if (!ToolsInstalled()) QSKIP("ocamlc ou dot absent");
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        TFormAlpha* format = t.Windows().outputFormat;
        TFormAfficherAlpha* result = t.Windows().alphaResult;
        QTemporaryDir dir;
        const QString saved = dir.filePath("alpha.STEM");
        t.dialogs.fileNames.push_back(saved);
        QString shown;
        bool visualiseOffered = true;
        WhenShown(format, [&] {
            WhenShown(result, [&] {
                result->Button3->click();
                shown = result->Text->toPlainText();
                visualiseOffered = result->Visualiser->isEnabled();
                result->Button1->click();
                result->Button2->click();
            });
            format->Button1->click();
            format->Button2->click();
        });
        f.OcamlClick();
        if (t.dialogs.Last()) qWarning() << t.dialogs.Last()->text;
        QVERIFY2(shown.startsWith("BEGIN "), qPrintable(shown.left(200)));
        QVERIFY(!visualiseOffered);
        QCOMPARE(result->windowTitle(), QString("STEM alpha-réduit"));
        QVERIFY(ReadBytes(saved).startsWith("BEGIN "));
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("STEM"));
        QVERIFY(Component<QAction>(f, "Ocaml")->isEnabled());
        // The run's files are gone once the result was read.
        QVERIFY(!QFile::exists(QString::fromStdString(result->Chain().PathOf("temp.ml"))));

        // The saved text is a classic STEM file the program reads back.
        t.dialogs.fileNames.push_back(saved);
        f.OuvrirUnfichierSTEM1Click();
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->text, QString("STEM régénéré avec succès."));
        QVERIFY(t.GetSession().stem.StemStateCount > 1);
    }

    void GpmIsRenderedAsAPicture() {
        if (!ToolsInstalled()) QSKIP("ocamlc ou dot absent");
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        TFormAfficherAlpha* result = t.Windows().alphaResult;
        TSTEMJPG* picture = t.Windows().picture;
        QString shown;
        int pictureWidth = 0;
        int showings = 0;
        bool visualiseAfterClose = false;
        t.dialogs.answers = {QMessageBox::No, QMessageBox::No};
        WhenShown(result, [&] {
            result->Button3->click();
            shown = result->Text->toPlainText();
            const auto look = [&] {
                pictureWidth = picture->Picture().width;
                ++showings;
                picture->close();
            };
            WhenShown(picture, look);
            result->Visualiser->click();
            visualiseAfterClose = result->Visualiser->isEnabled();
            // A second press renders the kept DOT text again.
            WhenShown(picture, look);
            result->Visualiser->click();
            result->Button2->click();
        });
        f.FichierGPM1Click();
        if (t.dialogs.Last()) qWarning() << t.dialogs.Last()->text;
        QCOMPARE(result->windowTitle(), QString("GPM"));
        QVERIFY(t.Windows().outputFormat->DOTRadio->isChecked());
        QVERIFY2(shown.startsWith("digraph"), qPrintable(shown.left(200)));
        QVERIFY(pictureWidth > 0);
        QCOMPARE(showings, 2);
        QVERIFY(visualiseAfterClose);
    }
};

QTEST_MAIN(ToolChainWindowTest)
#include "ToolChainWindowTest.moc"
