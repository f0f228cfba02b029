// Small helpers the windows share: hints, menu items and the fixed-pitch font.
#pragma once

#include <QAction>
#include <QFont>
#include <QKeySequence>
#include <QMenu>
#include <QSize>
#include <QString>
#include <QWidget>

namespace quarvo {

// "short|long": the short part is the tool tip, the long part goes to the status line.
void SetHint(QAction* action, const QString& hint);

// A menu item with an optional shortcut.
QAction* AddItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {});

// "Courier New", or the system's fixed-pitch font when it is missing.
QFont FixedPitchFont();

// Fixes the size of a dialog at its designed size, or larger where the
// desktop's fonts need more room for the texts; call once its layout is built.
void FitFixedSize(QWidget* dialog, QSize designed);

}  // namespace quarvo
