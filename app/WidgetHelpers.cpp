// Small helpers the windows share.
#include "app/WidgetHelpers.h"

#include <QFontDatabase>

namespace quarvo {

void SetHint(QAction* action, const QString& hint) {
    const qsizetype bar = hint.indexOf('|');
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QAction* AddItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut) {
    QAction* action = menu->addAction(caption);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    return action;
}

QFont FixedPitchFont() {
    QFont font("Courier New");
    if (!QFontDatabase::hasFamily("Courier New")) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

void FitFixedSize(QWidget* dialog, QSize designed) {
    dialog->setFixedSize(dialog->sizeHint().expandedTo(designed));
}

}  // namespace quarvo
