// The questions the windows ask the user (message boxes, file names, input boxes), behind an
// interface so that the window tests can answer them.
#pragma once

#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QString>

class QWidget;

namespace quarvo {

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message box with the given buttons; returns the button chosen.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                            const QString& text, QMessageBox::StandardButtons buttons) = 0;
    // A message box with an OK button.
    virtual void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) = 0;

    // File dialogs. filter uses the "Description (*.EXT)|*.EXT|..." form; an
    // empty title means the system's own. Empty result: cancelled. The open
    // dialog starts in folder; the save dialog in the folder of proposed,
    // with its name filled in when it has one ("…/BUFFER.STEM"). Empty: the
    // system's choice.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& folder = QString()) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, const QString& proposed = QString()) = 0;

    // An input box with one line pre-filled with value; false when cancelled.
    virtual bool InputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value) = 0;

    // Font and colour dialogs; false when cancelled.
    virtual bool ChooseFont(QWidget* parent, QFont& font) = 0;
    virtual bool ChooseColor(QWidget* parent, QColor& color) = 0;

    // Opens a file with the desktop's default handler; false when that failed.
    virtual bool OpenWithDesktop(const QString& path) = 0;
};

// The real dialogs of the desktop.
class DesktopDialogs final : public UserDialogs {
public:
    QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, QMessageBox::StandardButtons buttons) override;
    void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& folder = QString()) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& defaultSuffix,
                         const QString& proposed = QString()) override;
    bool InputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value) override;
    bool ChooseFont(QWidget* parent, QFont& font) override;
    bool ChooseColor(QWidget* parent, QColor& color) override;
    bool OpenWithDesktop(const QString& path) override;
};

// "Spécification LOTOS (*.LOT)|*.LOT|Tous les fichiers (*.*)|*.*" as Qt's
// "Spécification LOTOS (*.LOT);;Tous les fichiers (*.*)".
QString QtFilter(const QString& pipeFilter);

}  // namespace quarvo
