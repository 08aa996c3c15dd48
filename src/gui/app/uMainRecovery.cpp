// Recovery copies of the main window's project: written while the project
// differs from its file, offered again after a program that did not end
// cleanly.
#include "document/ProjectFile.h"
#include "platform/Error.h"
#include "platform/RecoveryStore.h"
#include "uMain.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <exception>

namespace {

QByteArray hashOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

void TForm1::startRecovery()
{
    if (m_options.recoveryInterval.count() <= 0)
        return;
    m_recovery = std::make_unique<RecoveryStore>(m_options.recoveryFolder.isEmpty()
                                                     ? RecoveryStore::defaultFolder()
                                                     : m_options.recoveryFolder);
    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setObjectName(QStringLiteral("tmrRecovery"));
    m_recoveryTimer->setInterval(m_options.recoveryInterval);
    connect(m_recoveryTimer, &QTimer::timeout, this, [this] {
        try {
            saveRecoveryCopy();
            m_recoveryFailed = false;
        } catch (const std::exception&) {
            // Once per run of failures: a full disk must not bring a box
            // every two minutes.
            const std::exception_ptr failure = std::current_exception();
            if (!m_recoveryFailed)
                runCommand(m_ui, this, [failure] { std::rethrow_exception(failure); });
            m_recoveryFailed = true;
        }
    });
    m_recoveryTimer->start();
}

QByteArray TForm1::projectData()
{
    // Lent entries: a copy would hold a large list twice at every load, save
    // and copy.
    QByteArray bytes;
    withDocument(
        [&bytes](const FeedDocument& document) { bytes = ProjectFile::ProjectData(document); });
    return bytes;
}

QByteArray TForm1::projectHash()
{
    return hashOf(projectData());
}

bool TForm1::differsFromFile()
{
    return projectHash() != m_fileHash;
}

void TForm1::markUnchanged()
{
    if (!m_recovery)
        return;
    m_fileHash = projectHash();
    m_recovery->discard();
    m_copyHash.clear();
}

QString TForm1::recoveryCopyPath() const
{
    return m_recovery ? m_recovery->copyPath() : QString();
}

void TForm1::saveRecoveryCopy()
{
    if (!m_recovery)
        return;
    const QByteArray bytes = projectData();
    const QByteArray hash = hashOf(bytes);
    if (hash == m_fileHash) {
        if (!m_copyHash.isEmpty()) {
            m_recovery->discard();
            m_copyHash.clear();
        }
        return;
    }
    if (hash == m_copyHash)
        return;
    m_recovery->write(bytes);
    m_copyHash = hash;
}

void TForm1::endRecovery()
{
    if (!m_recovery)
        return;
    if (m_recoveryTimer)
        m_recoveryTimer->stop();
    m_recovery->discard();
    m_recovery.reset();
}

void TForm1::offerRecoveryCopies()
{
    if (!m_recovery)
        return;
    for (const RecoveryStore::Copy& copy : m_recovery->orphans()) {
        const QString text = QStringLiteral("Tavistrel wurde nicht ordnungsgemäß beendet. Soll die "
                                            "Wiederherstellungskopie von %1 geöffnet werden?")
                                 .arg(copy.written.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
        if (m_ui.ask(this, QStringLiteral("Wiederherstellen"), text,
                     UserInteraction::Icon::Question, false) != UserInteraction::Answer::Yes) {
            m_recovery->decline(copy);
            continue;
        }
        QFile file(copy.path);
        FeedDocument document;
        try {
            if (!file.open(QIODevice::ReadOnly))
                throw Error(file.errorString());
            document = ProjectFile::LoadProjectData(file.readAll());
        } catch (const std::exception&) {
            m_ui.showMessage(this, kNotAProjectFileMessage);
            m_recovery->decline(copy);
            continue;
        }
        applyToControls(std::move(document));
        // An unnamed project that differs from every file: this window's
        // own copy takes over before the old one goes.
        bSaved = false;
        fileName.clear();
        setStatusText(QStringLiteral("unbenannt.tvst"));
        m_fileHash.clear();
        saveRecoveryCopy();
        m_recovery->remove(copy);
        return;
    }
}
