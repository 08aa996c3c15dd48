#include "Modules.h"

#include "Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace Modules {

QString folder()
{
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString dir = QDir::cleanPath(QFileInfo(exe).absolutePath() +
                                        QStringLiteral("/../" TAVISTREL_MODULE_DIR));
    return dir + u'/';
}

void* resolve(const char* name, const char* symbol)
{
    const QString fileName = QStringLiteral("lib%1.so").arg(QLatin1StringView(name));
    QString path = folder() + fileName;
    // Elsewhere (a test program in another folder) the loader's search path.
    if (!QFileInfo::exists(path))
        path = fileName;
    QLibrary library(path);
    if (!library.load())
        throw Error(QStringLiteral("Der Programmteil \"%1\" kann nicht geladen werden (%2).")
                        .arg(fileName, library.errorString()));
    if (void* function = reinterpret_cast<void*>(library.resolve(symbol)))
        return function;
    throw Error(QStringLiteral("Der Programmteil \"%1\" ist unvollständig: \"%2\" fehlt.")
                    .arg(fileName, QLatin1StringView(symbol)));
}

} // namespace Modules
