// "Fichier > Exporter en LOTOS standard…": the editor's specification written in the standard syntax.
#pragma once

#include <string>

#include <QWidget>

#include "app/UserDialogs.h"
#include "frontend/CoreInterfaces.h"

namespace quarvo {

// The filter of the open dialog for files in the standard syntax.
inline constexpr const char* kStandardLotosFilter = "LOTOS standard (*.lotos)|*.lotos";

// Compiles lines (in either syntax), asks where to write the standard text and
// writes it; a compile error or a name the standard reserves is told instead.
// True when a file was written.
bool ExportStandardLotos(QWidget* parent, const LineSource& lines, const std::string& startDirectory,
                         UserDialogs& dialogs);

}  // namespace quarvo
