// Creation of the windows in the start-up order.
#include "app/QuarvoApp.h"

#include "app/AboutBox.h"
#include "app/CompFrm.h"
#include "app/GenFrm.h"
#include "app/RegenProgress.h"
#include "app/Sdimain.h"
#include "ctl/CtlWindow.h"
#include "ctl/DiagnosticWindow.h"
#include "stemio/AfficherAlpha.h"
#include "stemio/Alpha.h"
#include "stemio/StemDot.h"
#include "views/GoToState.h"
#include "views/Graphic.h"
#include "views/SteV.h"

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
