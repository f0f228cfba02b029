// The result window of the external tool chain.
#include "app/toolchain/AfficherAlpha.h"
#include "app/FileLocations.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QStringList>
#include <QThread>
#include <QVBoxLayout>

#include "app/EditorLines.h"
#include "app/WidgetHelpers.h"
#include "frontend/TextFile.h"
#include "stemio/ToolChain.h"

namespace {

constexpr const char* kStemFilter = "Fichier STEM (*.STEM)|*.STEM|Tous les fichiers (*.*)|*.*";
constexpr const char* kErrorCaption = "Erreur!";

// The hourglass for the time of a scope.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

TFormAfficherAlpha::TFormAfficherAlpha(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("STEM alpha-réduit");
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    resize(551, 366);
    auto* layout = new QVBoxLayout(this);
    Text = new QPlainTextEdit(this);
    Text->setObjectName("Text");
    Text->setFont(quarvo::FixedPitchFont());
    Text->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text->setMinimumHeight(297);
    layout->addWidget(Text, 1);
    auto* buttons = new QHBoxLayout;
    Button3 = new QPushButton("&Afficher", this);
    Button3->setDefault(true);
    Visualiser = new QPushButton("&Visualiser", this);
    Visualiser->setEnabled(false);
    Button1 = new QPushButton("&Enregistrer", this);
    Button2 = new QPushButton("&Quitter", this);
    for (QPushButton* button : {Button3, Visualiser, Button1, Button2}) buttons->addWidget(button);
    layout->addLayout(buttons);
    connect(Button3, &QPushButton::clicked, this, &TFormAfficherAlpha::Button3Click);
    connect(Visualiser, &QPushButton::clicked, this, &TFormAfficherAlpha::VisualiserClick);
    connect(Button1, &QPushButton::clicked, this, &TFormAfficherAlpha::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormAfficherAlpha::Button2Click);
}

TFormAfficherAlpha::~TFormAfficherAlpha() = default;

quarvo::ToolChain& TFormAfficherAlpha::Chain() {
    if (!chain_) {
        // The compiled modules lie beside the program (or in share/quarvo once installed).
        const QString module = app_.ProgramFile("calventoSource.cmo");
        const std::string directory = QFileInfo(module).absolutePath().toStdString() + "/";
        chain_ = std::make_unique<quarvo::ToolChain>(directory);
    }
    return *chain_;
}

bool TFormAfficherAlpha::DotFormat() const { return lastFormat_ == quarvo::OcamlFormat::Dot; }

bool TFormAfficherAlpha::RunScript(int script, quarvo::OcamlOutput output) {
    const auto which = static_cast<quarvo::ChainScript>(script);
    const quarvo::Status tools = quarvo::ToolChain::ToolsFound(which);
    if (!tools) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, QString::fromStdString(tools.message()));
        return false;
    }
    quarvo::ToolChain& chain = Chain();
    if (const quarvo::Status started = chain.Start(which, output); !started) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, QString::fromStdString(started.message()));
        return false;
    }
    // The tools run apart; the windows stay painted and the run can be cancelled.
    QProgressDialog progress("Traitement externe en cours...", "&Annuler", 0, 0, isVisible() ? this : nullptr);
    progress.setWindowTitle("QUARVO");
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(400);
    const quarvo::PollDeadline deadline;
    while (!chain.Poll()) {
        if (progress.wasCanceled()) {
            chain.Cancel();
            return false;
        }
        if (deadline.Expired()) {
            chain.Cancel();
            app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, quarvo::OcamlTimeoutMessage);
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(static_cast<unsigned long>(quarvo::OcamlPollPause.count()));
    }
    return true;
}

bool TFormAfficherAlpha::Produce(quarvo::OcamlOutput output, quarvo::OcamlFormat format) {
    lastOutput_ = output;
    lastFormat_ = format;
    quarvo::ToolChain& chain = Chain();
    quarvo::Status written = chain.Prepare();
    const quarvo::Compilation* compilation = app_.session.compilation.get();
    if (written) written = chain.WriteProgram(compilation, output, format);
    if (!written) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, QString::fromStdString(written.message()));
        return false;
    }
    // Nothing compiled: an empty program and nothing more.
    if (!compilation || !compilation->compileOk) return false;
    BusyCursor busy;
    app_.session.busy = true;
    const bool ok = RunScript(static_cast<int>(quarvo::ChainScript::Compile), output) &&
                    RunScript(static_cast<int>(quarvo::ChainScript::Run), output);
    app_.session.busy = false;
    return ok;
}

void TFormAfficherAlpha::ShowResult() {
    Text->clear();
    Visualiser->setEnabled(false);
    Button3->setEnabled(true);
    exec();
}

void TFormAfficherAlpha::Button3Click() {
    quarvo::ToolChain& chain = Chain();
    const std::string path = chain.PathOf("Sortie.txt");
    const quarvo::TextFileResult file = quarvo::ReadTextFile(path);
    if (!file.status) {
        // The run ended without a result: a tool failed; its messages are in temp.log.
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption,
                          "Le traitement externe n'a pas produit de résultat (" + QString::fromStdString(path) +
                              " absent). Voyez " + QString::fromStdString(chain.PathOf("temp.log")) + ".");
        return;
    }
    QStringList lines;
    for (const std::string& line : file.lines) lines << QString::fromStdString(line);
    Text->setPlainText(lines.join('\n'));
    Text->setReadOnly(true);
    if (DotFormat()) Visualiser->setEnabled(true);
    Button3->setEnabled(false);
    chain.RemoveRunFiles();
}

void TFormAfficherAlpha::Button1Click() {
    const QString extension = DotFormat() ? "dot" : "STEM";
    const QString name = app_.dialogs.SaveFileName(this, QString(), kStemFilter, extension,
                                                   quarvo::ProposedPath(app_.session, extension));
    if (name.isEmpty()) return;
    quarvo::RememberFolder(app_.session, name);
    const quarvo::EditorLines lines(*Text);
    const quarvo::Status written =
        quarvo::WriteFileAtomically(name.toStdString(), quarvo::EncodeLinesWindows1252(lines.Lines()));
    if (!written) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, QString::fromStdString(written.message()));
        return;
    }
    emit app_.notifications.MessageShown(
        quarvo::WrittenMessage(DotFormat() ? "Fichier DOT écrit" : "STEM écrit", name));
}

void TFormAfficherAlpha::VisualiserClick() {
    quarvo::ToolChain& chain = Chain();
    // The DOT text is rewritten from the window, so that a second showing renders it again.
    const quarvo::EditorLines lines(*Text);
    if (const quarvo::Status written =
            quarvo::WriteFileAtomically(chain.PathOf("Sortie.txt"), quarvo::EncodeLinesWindows1252(lines.Lines()));
        !written) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, QString::fromStdString(written.message()));
        return;
    }
    bool rendered = false;
    {
        BusyCursor busy;
        app_.session.busy = true;
        rendered = RunScript(static_cast<int>(quarvo::ChainScript::Render), lastOutput_);
        app_.session.busy = false;
    }
    if (!rendered) return;
    // Withdrawn while the picture is shown; its closing offers it again.
    Visualiser->setEnabled(false);
    if (!app_.intents.ShowPicture(QString::fromStdString(chain.PathOf("Sortie.jpg")))) {
        Visualiser->setEnabled(true);
        return;
    }
    chain.RemovePictureFiles();
}

void TFormAfficherAlpha::Button2Click() {
    Text->clear();
    close();
}
