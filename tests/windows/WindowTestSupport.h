// Helpers of the window tests: dialogs answered from a script, a fresh application per test.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QObject>
#include <QTemporaryDir>

#include "app/QuarvoApp.h"
#include "app/UserDialogs.h"

namespace quarvo::testing {

// Every question is answered from the queues the test fills; every message shown is recorded.
class ScriptedDialogs final : public UserDialogs {
public:
    struct Shown {
        QMessageBox::Icon icon;
        QString caption;
        QString text;
    };

    std::deque<QMessageBox::StandardButton> answers;  // for Ask; Cancel when empty
    std::deque<QString> fileNames;                    // for OpenFileName / SaveFileName; "" (cancel) when empty
    std::deque<std::pair<bool, QString>> inputs;      // for InputQuery; cancelled when empty
    bool fontAccepted = false;
    QFont font;
    bool colorAccepted = false;
    QColor color;

    std::vector<Shown> shown;         // every Ask and Tell, in order
    std::vector<QString> fileTitles;  // title of every file dialog
    std::vector<QString> fileFilters;
    std::vector<QString> defaultSuffixes;
    std::vector<QString> fileFolders;    // the folder each file dialog opened in ("" for the system's choice)
    std::vector<QString> proposedPaths;  // the path each save dialog proposed ("" for an open dialog)
    std::vector<QString> inputCaptions;
    std::vector<QString> inputPrompts;
    std::vector<QString> inputValues;  // the value each input box proposed
    std::vector<QString> opened;       // paths handed to the desktop

    QMessageBox::StandardButton Ask(QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons) override {
        shown.push_back({icon, caption, text});
        if (answers.empty()) return QMessageBox::Cancel;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text) override {
        shown.push_back({icon, caption, text});
    }
    QString OpenFileName(QWidget*, const QString& title, const QString& filter, const QString& folder) override {
        fileTitles.push_back(title);
        fileFilters.push_back(filter);
        defaultSuffixes.push_back(QString());
        fileFolders.push_back(folder);
        proposedPaths.push_back(QString());
        return NextFile();
    }
    QString SaveFileName(QWidget*, const QString& title, const QString& filter, const QString& suffix,
                         const QString& proposed) override {
        fileTitles.push_back(title);
        fileFilters.push_back(filter);
        defaultSuffixes.push_back(suffix);
        // The folder a save dialog opens in is that of the path it proposes.
        fileFolders.push_back(proposed.isEmpty()         ? QString()
                              : proposed.endsWith('/') ? proposed.chopped(1)
                                                       : QFileInfo(proposed).absolutePath());
        proposedPaths.push_back(proposed);
        return NextFile();
    }
    bool InputQuery(QWidget*, const QString& caption, const QString& prompt, QString& value) override {
        inputCaptions.push_back(caption);
        inputPrompts.push_back(prompt);
        inputValues.push_back(value);
        if (inputs.empty()) return false;
        const auto [ok, text] = inputs.front();
        inputs.pop_front();
        if (ok) value = text;
        return ok;
    }
    bool ChooseFont(QWidget*, QFont& f) override {
        if (fontAccepted) f = font;
        return fontAccepted;
    }
    bool ChooseColor(QWidget*, QColor& c) override {
        if (colorAccepted) c = color;
        return colorAccepted;
    }
    bool OpenWithDesktop(const QString& path) override {
        opened.push_back(path);
        return true;
    }

    const Shown* Last() const { return shown.empty() ? nullptr : &shown.back(); }

private:
    QString NextFile() {
        if (fileNames.empty()) return {};
        QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

// The repository root: the tables lie below it, the examples in it.
inline std::string SourceDirectory() { return QUARVO_SOURCE_DIR; }
inline QString Example(const char* name) { return QString::fromStdString(SourceDirectory()) + "/examples/" + name; }

// n independent processes A_i; B_i; EXIT side by side: 3^n states, and one
// more after the last EXIT, in 2n + 2 breadth-first levels.
inline QString IndependentProcesses(int n) {
    QString gates, body;
    for (int i = 0; i < n; ++i) {
        gates += QString(i ? ", A%1, B%1" : "A%1, B%1").arg(i);
        body += QString(i ? "\n||| A%1; B%1; EXIT" : "A%1; B%1; EXIT").arg(i);
    }
    return "SYSTEM S [" + gates + "] :=\n" + body + "\nENDSYS\n";
}

// A fresh application started from the repository root, with scripted dialogs;
// its program directory is that of the test (the build's bin/, which holds the
// help, the licence and the OCaml modules).
struct TestApp {
    ScriptedDialogs dialogs;
    std::unique_ptr<QuarvoApp> app;
    explicit TestApp(const QString& programDirectory = QCoreApplication::applicationDirPath()) {
        app = std::make_unique<QuarvoApp>(SourceDirectory(), dialogs, programDirectory);
    }
    AppContext& Context() { return app->Context(); }
    Session& GetSession() { return app->GetSession(); }
    AppWindows Windows() const { return app->Windows(); }
};

// The component of a window with this object name (a menu, an item, a button,
// a panel); the test stops when the window has none of that type.
template <typename T>
T* Component(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("No component %s in window %s", name, qPrintable(window.objectName()));
    return found;
}

// What a user sees of a fixed-pitch font: a narrow and a wide letter take the
// same room, and the program's family is used wherever it is installed.
inline bool LooksFixedPitch(const QFont& font) {
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(QChar('i')) != metrics.horizontalAdvance(QChar('W'))) return false;
    if (metrics.horizontalAdvance(QStringLiteral("iiii")) != metrics.horizontalAdvance(QStringLiteral("WWWW")))
        return false;
    return !QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Mono")) ||
           QFontInfo(font).family() == QStringLiteral("DejaVu Sans Mono");
}

}  // namespace quarvo::testing
