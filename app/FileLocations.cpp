// The folders and names the file dialogs propose.
#include "app/FileLocations.h"

#include <QDir>
#include <QFileInfo>

namespace quarvo {

QString DialogFolder(const Session& session) {
    if (!session.documentPath.empty()) {
        const QFileInfo document(QString::fromStdString(session.documentPath));
        if (document.dir().exists()) return document.absolutePath();
    }
    if (!session.lastFolder.empty()) {
        const QString last = QString::fromStdString(session.lastFolder);
        if (QDir(last).exists()) return last;
    }
    return QDir(QString::fromStdString(session.startDirectory)).absolutePath();
}

QString ProposedPath(const Session& session, const QString& extension) {
    const QDir folder(DialogFolder(session));
    if (session.documentPath.empty()) return folder.absolutePath() + '/';
    const QString base = QFileInfo(QString::fromStdString(session.documentPath)).completeBaseName();
    return folder.filePath(base + '.' + extension);
}

void RememberFolder(Session& session, const QString& path) {
    if (path.isEmpty()) return;
    session.lastFolder = QFileInfo(path).absolutePath().toStdString();
}

QString WrittenMessage(const QString& caption, const QString& path) {
    return caption + " dans « " + QDir::toNativeSeparators(path) + " ».";
}

}  // namespace quarvo
