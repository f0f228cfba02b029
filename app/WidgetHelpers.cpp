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
    // The build scripts install this family; a desktop without it still has a
    // fixed-pitch font of its own.
    QFont font = QFontDatabase::hasFamily(kFixedPitchFamily) ? QFont(kFixedPitchFamily)
                                                             : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

void FitFixedSize(QWidget* dialog, QSize designed) {
    dialog->setFixedSize(dialog->sizeHint().expandedTo(designed));
}

}  // namespace quarvo
