// Where the file dialogs open and which name they propose: the current
// document's folder and name, else the last folder the user chose.
#pragma once

#include <QString>

#include "app/Session.h"

namespace quarvo {

// The folder the file dialogs open in: the current document's (a
// specification or a STEM file with a name), else the last folder chosen in a
// file dialog, else the directory the program started from.
QString DialogFolder(const Session& session);

// The path a save dialog proposes: the current document's name with this
// extension ("BUFFER.STEM" beside "BUFFER.LOT"), in DialogFolder; the folder
// alone when the document has no name yet.
QString ProposedPath(const Session& session, const QString& extension);

// The user chose this file in a dialog: its folder is the next one offered
// while the document has none.
void RememberFolder(Session& session, const QString& path);

// The confirmation of a file written: caption + " dans « " + path + " ».".
QString WrittenMessage(const QString& caption, const QString& path);

}  // namespace quarvo
