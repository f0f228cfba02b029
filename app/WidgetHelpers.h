// Small helpers the windows share: hints, menu items and the fixed-pitch font.
#pragma once

#include <QAction>
#include <QFont>
#include <QKeySequence>
#include <QMenu>
#include <QSize>
#include <QString>
#include <QToolBar>
#include <QWidget>

namespace quarvo {

// "short|long": the short part is the tool tip, the long part goes to the status line.
void SetHint(QAction* action, const QString& hint);

// A menu item with an optional shortcut.
QAction* AddItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {});

// A menu item that runs handler on receiver when chosen.
template <typename Receiver, typename Handler>
QAction* AddCommand(QMenu* menu, const QString& caption, Receiver* receiver, Handler handler,
                    const QKeySequence& shortcut = {}) {
    QAction* action = AddItem(menu, caption, shortcut);
    QObject::connect(action, &QAction::triggered, receiver, handler);
    return action;
}

// A tool button with a hint that runs handler on receiver when clicked.
template <typename Receiver, typename Handler>
QAction* AddToolCommand(QToolBar* bar, const QString& caption, const QString& hint, Receiver* receiver,
                        Handler handler) {
    QAction* action = bar->addAction(caption);
    SetHint(action, hint);
    QObject::connect(action, &QAction::triggered, receiver, handler);
    return action;
}

// The editors' fixed-pitch family, installed with the program's dependencies.
inline constexpr const char* kFixedPitchFamily = "DejaVu Sans Mono";

// kFixedPitchFamily, or the system's fixed-pitch font when it is missing.
QFont FixedPitchFont();

// Fixes the size of a dialog at its designed size, or larger where the
// desktop's fonts need more room for the texts; call once its layout is built.
void FitFixedSize(QWidget* dialog, QSize designed);

}  // namespace quarvo
