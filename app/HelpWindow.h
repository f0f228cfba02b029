// The built-in help: the user's guide in a text browser, with its links and a search field.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTextBrowser>
#include <QToolBar>

#include "app/AppContext.h"

class THelpWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit THelpWindow(quarvo::AppContext& app);

    // Shows the guide at path (Help/Help.html); false (with a message) when it cannot be read.
    bool ShowGuide(const QString& path);
    // Finds text after the cursor (backwards before it), going round the end once;
    // false, with a note in the status line, when the guide does not contain it.
    bool Find(const QString& text, bool backwards = false);

    QTextBrowser* Browser;
    QLineEdit* SearchField;
    QLabel* Status;

private:
    quarvo::AppContext& app_;
};
