// Where the files shipped with the program are found.
#include "app/AppContext.h"

#include <QDir>
#include <QFileInfo>

namespace quarvo {

QString AppContext::ProgramFile(const QString& relative) const {
    const QDir program(programDirectory);
    const QString beside = program.filePath(relative);
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = QDir::cleanPath(program.filePath("../share/quarvo/" + relative));
    if (QFileInfo::exists(installed)) return installed;
    return beside;
}

}  // namespace quarvo
