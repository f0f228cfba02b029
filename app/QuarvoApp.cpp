// Creation of the windows in the start-up order.
#include "app/QuarvoApp.h"

#include "app/AboutBox.h"
#include "app/CompFrm.h"
#include "app/GenFrm.h"
#include "app/RegenProgress.h"
#include "app/Sdimain.h"
#include "app/ctl/CtlWindow.h"
#include "app/ctl/DiagnosticWindow.h"
#include "app/toolchain/AfficherAlpha.h"
#include "app/toolchain/Alpha.h"
#include "app/toolchain/StemDot.h"
#include "app/views/GoToState.h"
#include "app/views/Graphic.h"
#include "app/views/SteV.h"

namespace quarvo {

QuarvoApp::QuarvoApp(std::string startDirectory, UserDialogs& dialogs, QString programDirectory)
    : session_(std::move(startDirectory)), context_(session_, dialogs, std::move(programDirectory)) {
    AppWindows& w = context_.windows;
    main_ = std::make_unique<TSDIAppForm>(context_);
    w.main = main_.get();
    compilation_ = std::make_unique<TCompFrm>();
    w.compilation = compilation_.get();
    generation_ = std::make_unique<TGenFrm>(context_);
    w.generation = generation_.get();
    explorer_ = std::make_unique<TSteVisual>(context_);
    w.explorer = explorer_.get();
    regeneration_ = std::make_unique<TForm3>();
    w.regeneration = regeneration_.get();
    checker_ = std::make_unique<TForm5>(context_);
    w.checker = checker_.get();
    diagnostic_ = std::make_unique<TForm6>(context_);
    w.diagnostic = diagnostic_.get();
    graph_ = std::make_unique<TGraph>(context_);
    w.graph = graph_.get();
    about_ = std::make_unique<TAboutBox>(context_);
    w.about = about_.get();
    goTo_ = std::make_unique<TForm9>(context_);
    w.goTo = goTo_.get();
    outputFormat_ = std::make_unique<TFormAlpha>(context_);
    w.outputFormat = outputFormat_.get();
    alphaResult_ = std::make_unique<TFormAfficherAlpha>(context_);
    w.alphaResult = alphaResult_.get();
    picture_ = std::make_unique<TSTEMJPG>(context_);
    w.picture = picture_.get();
    main_->init_main();
}

QuarvoApp::~QuarvoApp() {
    // The windows may reach each other while they close; forget them first.
    context_.windows = AppWindows{};
}

}  // namespace quarvo
