// Writing the editor's specification in the standard syntax of LOTOS.
#include "app/StandardExport.h"

#include "frontend/Parser.h"
#include "frontend/StandardWriter.h"
#include "frontend/TextFile.h"

namespace quarvo {

bool ExportStandardLotos(QWidget* parent, const LineSource& lines, const std::string& startDirectory,
                         UserDialogs& dialogs) {
    const QString caption = "Exporter en LOTOS standard";
    VectorMessageSink messages;
    const CompileOutcome outcome = CompileSpecification(lines, startDirectory, messages);
    if (!outcome.tables) {
        dialogs.Tell(parent, QMessageBox::Critical, caption, QString::fromStdString(outcome.tables.message()));
        return false;
    }
    if (!outcome.ok()) {
        dialogs.Tell(parent, QMessageBox::Warning, caption,
                     "La spécification ne se compile pas : " + QString::fromStdString(outcome.status));
        return false;
    }
    const StandardText text = WriteStandardLotos(*outcome.compilation);
    if (!text.status) {
        dialogs.Tell(parent, QMessageBox::Warning, caption, QString::fromStdString(text.status.message()));
        return false;
    }
    const QString name = dialogs.SaveFileName(parent, caption, kStandardLotosFilter, "lotos");
    if (name.isEmpty()) return false;
    const Status written = WriteFileAtomically(name.toStdString(), EncodeLinesWindows1252(text.lines));
    if (!written) {
        dialogs.Tell(parent, QMessageBox::Critical, caption, QString::fromStdString(written.message()));
        return false;
    }
    return true;
}

}  // namespace quarvo
