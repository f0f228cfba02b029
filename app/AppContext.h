// What every window of the program can reach: the session, the user's dialogs and the other windows.
#pragma once

#include <QString>

#include "app/Session.h"
#include "app/UserDialogs.h"

class TSDIAppForm;
class TCompFrm;
class TGenFrm;
class TSteVisual;
class TForm3;
class TForm5;
class TForm6;
class TGraph;
class TAboutBox;
class TForm9;
class TFormAlpha;
class TFormAfficherAlpha;
class TSTEMJPG;

namespace quarvo {

// The windows, created once at start-up in this order and alive until the end.
struct AppWindows {
    TSDIAppForm* main = nullptr;
    TCompFrm* compilation = nullptr;
    TGenFrm* generation = nullptr;
    TSteVisual* explorer = nullptr;
    TForm3* regeneration = nullptr;
    TForm5* checker = nullptr;
    TForm6* diagnostic = nullptr;
    TGraph* graph = nullptr;
    TAboutBox* about = nullptr;
    TForm9* goTo = nullptr;
    TFormAlpha* outputFormat = nullptr;
    TFormAfficherAlpha* alphaResult = nullptr;
    TSTEMJPG* picture = nullptr;
};

struct AppContext {
    AppContext(Session& s, UserDialogs& d, QString directory)
        : session(s), dialogs(d), programDirectory(std::move(directory)) {}

    Session& session;
    UserDialogs& dialogs;
    // The directory of the program file: the help, the licence and the OCaml modules lie there.
    QString programDirectory;
    AppWindows windows;

    // A file shipped with the program (help, licence, OCaml modules): beside the
    // program file in the build tree, or in share/quarvo once installed. When
    // neither exists, the path beside the program, for the message.
    QString ProgramFile(const QString& relative) const;
};

}  // namespace quarvo
