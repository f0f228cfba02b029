// The built-in help window.
#include "app/HelpWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <QStatusBar>
#include <QTextDocument>
#include <QUrl>

THelpWindow::THelpWindow(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("Aide de QUARVO");
    resize(820, 640);
    Browser = new QTextBrowser(this);
    Browser->setObjectName("Browser");
    // Links within the guide are followed here; links to the web go to the desktop.
    Browser->setOpenLinks(true);
    Browser->setOpenExternalLinks(true);
    setCentralWidget(Browser);

    auto* bar = addToolBar("Navigation");
    bar->setObjectName("HelpToolBar");
    bar->setMovable(false);
    QAction* back = bar->addAction("Précédent", Browser, &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    QAction* forward = bar->addAction("Suivant", Browser, &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    bar->addAction("Sommaire", Browser, &QTextBrowser::home);
    connect(Browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    bar->addSeparator();
    bar->addWidget(new QLabel(" Rechercher : ", bar));
    SearchField = new QLineEdit(bar);
    SearchField->setObjectName("SearchField");
    SearchField->setClearButtonEnabled(true);
    SearchField->setMaximumWidth(260);
    bar->addWidget(SearchField);
    QAction* next = bar->addAction("Suivant", this, [this] { Find(SearchField->text()); });
    next->setShortcut(QKeySequence::FindNext);
    QAction* previous = bar->addAction("Précédent", this, [this] { Find(SearchField->text(), true); });
    previous->setShortcut(QKeySequence::FindPrevious);
    connect(SearchField, &QLineEdit::returnPressed, this, [this] { Find(SearchField->text()); });
    auto* focusSearch = new QAction(this);
    focusSearch->setShortcut(QKeySequence::Find);
    connect(focusSearch, &QAction::triggered, this, [this] {
        SearchField->setFocus();
        SearchField->selectAll();
    });
    addAction(focusSearch);

    Status = new QLabel(this);
    statusBar()->addWidget(Status, 1);
}

bool THelpWindow::ShowGuide(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", "Fichier d'aide introuvable : " + path);
        return false;
    }
    Browser->setSource(QUrl::fromLocalFile(path));
    if (Browser->document()->isEmpty()) {
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", "Impossible d'ouvrir le fichier d'aide : " + path);
        return false;
    }
    Status->clear();
    show();
    raise();
    activateWindow();
    return true;
}

bool THelpWindow::Find(const QString& text, bool backwards) {
    Status->clear();
    if (text.isEmpty()) return false;
    const QTextDocument::FindFlags flags = backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (Browser->find(text, flags)) return true;
    // Round the end once, from the other end of the guide.
    QTextCursor cursor = Browser->textCursor();
    cursor.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    Browser->setTextCursor(cursor);
    if (Browser->find(text, flags)) return true;
    Status->setText("« " + text + " » ne figure pas dans l'aide.");
    return false;
}
