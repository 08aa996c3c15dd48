#include "RecoveryStore.h"

#include "Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCopySuffix = QStringLiteral(".tvst");
const QString kLockSuffix = QStringLiteral(".lock");
const QString kDeclinedSuffix = QStringLiteral(".declined");

QString baseOf(const QString& copyPath)
{
    return copyPath.left(copyPath.size() - kCopySuffix.size());
}

void makePrivateFolder(const QString& folder)
{
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), S_IRWXU) != 0)
        throw Error(QStringLiteral("Der Ordner \"%1\" für Wiederherstellungskopien konnte nicht "
                                   "angelegt werden.")
                        .arg(folder));
}

} // namespace

QString RecoveryStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/recovery");
}

RecoveryStore::RecoveryStore(QString folder) : m_folder(std::move(folder))
{
    // The process id tells a person whose copy it is; the tag keeps a later
    // program that gets the same id from taking over an old copy.
    const QString tag = QString::number(QRandomGenerator::global()->generate() & 0xffffffu, 16)
                            .rightJustified(6, u'0');
    m_base = m_folder + u'/' + QString::number(::getpid()) + u'-' + tag;
}

RecoveryStore::~RecoveryStore() = default;

void RecoveryStore::claim()
{
    if (m_lock)
        return;
    makePrivateFolder(m_folder);
    auto lock = std::make_unique<QLockFile>(m_base + kLockSuffix);
    lock->setStaleLockTime(0); // only a dead owner makes a lock stale
    if (!lock->tryLock(0))
        throw Error(QStringLiteral("Die Sperrdatei \"%1\" konnte nicht angelegt werden.")
                        .arg(m_base + kLockSuffix));
    m_lock = std::move(lock);
}

void RecoveryStore::write(const QByteArray& project)
{
    claim();
    QSaveFile file(copyPath());
    bool ok = file.open(QIODevice::WriteOnly);
    ok = ok && ::fchmod(file.handle(), S_IRUSR | S_IWUSR) == 0;
    ok = ok && file.write(project) == project.size();
    ok = ok && file.commit();
    if (!ok)
        throw Error(QStringLiteral("Die Wiederherstellungskopie \"%1\" konnte nicht geschrieben "
                                   "werden: %2")
                        .arg(copyPath(), file.errorString()));
}

void RecoveryStore::discard()
{
    QFile::remove(copyPath());
}

QList<RecoveryStore::Copy> RecoveryStore::orphans() const
{
    QList<Copy> found;
    const QDir dir(m_folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*") + kCopySuffix}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : files) {
        const QString base = baseOf(info.absoluteFilePath());
        if (base == m_base || QFileInfo::exists(base + kDeclinedSuffix))
            continue;
        // A free lock (or none) means the owner is gone; a lock we get is
        // dropped again at once, so the owner test stays read-only.
        QLockFile lock(base + kLockSuffix);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        found.append({info.absoluteFilePath(), info.lastModified()});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Copy& a, const Copy& b) { return a.written > b.written; });
    return found;
}

void RecoveryStore::decline(const Copy& copy) const
{
    QFile mark(baseOf(copy.path) + kDeclinedSuffix);
    if (!mark.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2")
                        .arg(mark.fileName(), mark.errorString()));
}

void RecoveryStore::remove(const Copy& copy) const
{
    const QString base = baseOf(copy.path);
    QFile::remove(copy.path);
    QFile::remove(base + kDeclinedSuffix);
    QFile::remove(base + kLockSuffix);
}
