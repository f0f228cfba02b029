// The desktop's own dialogs behind the UserDialogs interface.
#include "app/UserDialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QStringList>
#include <QUrl>

namespace quarvo {

QString QtFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split('|');
    QStringList filters;
    // Pairs of description and pattern; the description already shows the pattern.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) filters << parts[i];
    return filters.join(";;");
}

QMessageBox::StandardButton DesktopDialogs::Ask(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                                const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void DesktopDialogs::Tell(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

QString DesktopDialogs::OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                     const QString& folder) {
    return QFileDialog::getOpenFileName(parent, title, folder, QtFilter(filter));
}

QString DesktopDialogs::SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                     const QString& defaultSuffix, const QString& proposed) {
    // A proposed path ending in "/" is a folder without a name.
    const QFileInfo proposedFile(proposed);
    const bool named = !proposed.isEmpty() && !proposed.endsWith('/');
    QFileDialog dialog(parent, title, named ? proposedFile.absolutePath() : proposed, QtFilter(filter));
    if (named) dialog.selectFile(proposedFile.fileName());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

bool DesktopDialogs::InputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

bool DesktopDialogs::ChooseFont(QWidget* parent, QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (ok) font = chosen;
    return ok;
}

bool DesktopDialogs::ChooseColor(QWidget* parent, QColor& color) {
    const QColor chosen = QColorDialog::getColor(color, parent);
    if (!chosen.isValid()) return false;
    color = chosen;
    return true;
}

bool DesktopDialogs::OpenWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace quarvo
