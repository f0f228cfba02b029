// The application object: owns the session and every window, created in the start-up order.
#pragma once

#include <memory>
#include <string>

#include <QString>

#include "app/AppContext.h"

namespace quarvo {

class QuarvoApp {
public:
    // startDirectory locates the tables; programDirectory the help, licence and OCaml modules.
    QuarvoApp(std::string startDirectory, UserDialogs& dialogs, QString programDirectory);
    ~QuarvoApp();
    QuarvoApp(const QuarvoApp&) = delete;
    QuarvoApp& operator=(const QuarvoApp&) = delete;

    AppContext& Context() { return context_; }
    Session& GetSession() { return session_; }
    TSDIAppForm& Main() { return *main_; }

private:
    Session session_;
    AppContext context_;
    // Declared in creation order, so they are destroyed in the reverse one.
    std::unique_ptr<TSDIAppForm> main_;
    std::unique_ptr<TCompFrm> compilation_;
    std::unique_ptr<TGenFrm> generation_;
    std::unique_ptr<TSteVisual> explorer_;
    std::unique_ptr<TForm3> regeneration_;
    std::unique_ptr<TForm5> checker_;
    std::unique_ptr<TForm6> diagnostic_;
    std::unique_ptr<TGraph> graph_;
    std::unique_ptr<TAboutBox> about_;
    std::unique_ptr<TForm9> goTo_;
    std::unique_ptr<TFormAlpha> outputFormat_;
    std::unique_ptr<TFormAfficherAlpha> alphaResult_;
    std::unique_ptr<TSTEMJPG> picture_;
};

}  // namespace quarvo
