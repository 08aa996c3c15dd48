#include "Folders.h"

#include "Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace Folders {
namespace {

QString& programFolderOverride()
{
    static QString folder;
    return folder;
}

QString withSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

// A folder we may use as our private temp: a real directory (no symlink)
// owned by us and closed to others.
bool isPrivateFolder(const QByteArray& path)
{
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString programFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    const QString exeFolder = withSlash(QCoreApplication::applicationDirPath());
    if (QFileInfo::exists(exeFolder + QStringLiteral("default.tvst")))
        return exeFolder;
    const QString installed =
        withSlash(QDir::cleanPath(exeFolder + QStringLiteral("../" TAVISTREL_DATA_INSTALL_DIR)));
    if (QFileInfo::exists(installed + QStringLiteral("default.tvst")))
        return installed;
    return exeFolder;
}

void setProgramFolder(const QString& folder)
{
    programFolderOverride() = folder.isEmpty() ? QString() : withSlash(folder);
}

QString appDataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Tavistrel");
}

bool ensureAppDataFolder()
{
    QDir dir;
    return dir.mkpath(appDataFolder());
}

QString privateTempFolder()
{
    static QString cached, cachedBase;
    const QString base = QDir::tempPath();
    if (!cached.isEmpty() && base == cachedBase && isPrivateFolder(QFile::encodeName(cached)))
        return cached;
    cachedBase = base;

    const QString preferred = base + QStringLiteral("/tavistrel-") + QString::number(::getuid());
    const QByteArray preferredPath = QFile::encodeName(preferred);
    if (::mkdir(preferredPath.constData(), 0700) == 0 || errno == EEXIST) {
        if (isPrivateFolder(preferredPath)) {
            cached = withSlash(preferred);
            return cached;
        }
    }
    // The usual name is taken by someone else: make a fresh one.
    QByteArray pattern = QFile::encodeName(base + QStringLiteral("/tavistrel-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr)
        throw Error(QStringLiteral("Kein privater temporärer Ordner: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    cached = withSlash(QFile::decodeName(pattern));
    return cached;
}

PrivateRunFile::PrivateRunFile(const QString& fileName)
{
    QByteArray pattern = QFile::encodeName(privateTempFolder() + QStringLiteral("run-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr)
        throw Error(QStringLiteral("Kein temporärer Ordner für die Datei %1: %2")
                        .arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
    m_folder = QFile::decodeName(pattern);
    m_path = m_folder + u'/' + fileName;
}

PrivateRunFile::~PrivateRunFile()
{
    // Only what the run may have left: the file (or the half of it a failed
    // write left), then the folder if nothing else came into it.
    QFile::remove(m_path);
    QDir().rmdir(m_folder);
}

} // namespace Folders
