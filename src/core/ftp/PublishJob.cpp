#include "PublishJob.h"

#include "document/FeedDocument.h"
#include "platform/WholeNumber.h"

#include <QFileInfo>

namespace FtpPublish {
namespace {

// The reply text holds each line followed by CR LF.
QStringList replyLines(const QString& replyText)
{
    QStringList lines = replyText.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

QString firstLine(const Error& e)
{
    return replyLines(e.message()).value(0).trimmed();
}

} // namespace

Settings settingsFromDocument(const FeedDocument& document)
{
    Settings settings;
    settings.protocol = protocolFromCode(document.text(u"cboFTPProtocol"));
    settings.host = document.text(u"edtFTPServer");
    settings.port = document.text(u"edtFTPPort");
    settings.username = document.text(u"edtFTPUserName");
    settings.password = document.text(u"edtFTPPassword");
    settings.passive = document.flag(u"chkFTPPassive");
    settings.folder = document.text(u"edtFTPFolder");
    settings.remoteName = document.text(u"edtFileNameRSS");
    return settings;
}

QString uploadSettingsProblem(const Settings& settings)
{
    if (settings.host.isEmpty())
        return QStringLiteral("Fehler: Kein FTP-Server angegeben. Bitte geben Sie einen "
                              "FTP-Server an.");
    if (settings.remoteName.isEmpty())
        return QStringLiteral("Fehler: Kein RSS-Dateiname angeben. Bitte geben Sie eine "
                              "RSS-Datei für den FTP-Upload an.");
    if (!WholeNumber::isWholeNumber(settings.port))
        return QStringLiteral("Fehler: FTP-Port muss eine Zahl sein. Standardport ist %1.")
            .arg(defaultPort(settings.protocol));
    return {};
}

RemoteSettings remoteSettings(const Settings& settings)
{
    const auto port = WholeNumber::parse(settings.port);
    if (!port)
        throw EPortNotANumber();
    RemoteSettings remote;
    remote.protocol = settings.protocol;
    remote.host = settings.host;
    remote.port = quint16(*port); // the low 16 bits of the 32-bit number
    if (remote.port == 0)
        throw Error(
            QStringLiteral("Der Port \"%1\" ist kein gültiger FTP-Port.").arg(settings.port));
    remote.username = settings.username;
    remote.password = settings.password;
    remote.passive = settings.passive;
    return remote;
}

QStringList uploadErrorLines(const QString& replyText)
{
    return QStringList{QString(),
                       QStringLiteral("Fehler bei FTP-Übertragung."),
                       QString(),
                       QStringLiteral("Bitte überprüfen Sie Benutzername/Passwort"),
                       QStringLiteral("sowie das angegebene Verzeichnis auf dem"),
                       QStringLiteral("Server existiert."),
                       QString(),
                       QStringLiteral("Fehlermeldung des Servers:")} +
           replyLines(replyText);
}

QStringList testErrorLines(const QString& replyText)
{
    return QStringList{QString(), QStringLiteral("Fehler bei FTP-Übertragung."),
                       QString(), QStringLiteral("Bitte überprüfen Sie Benutzername/Passwort"),
                       QString(), QStringLiteral("Fehlermeldung des Servers:")} +
           replyLines(replyText);
}

} // namespace FtpPublish

using namespace FtpPublish;

PublishJob::PublishJob(Settings settings, LogFn log, RemoteHooks hooks, SessionFactory factory)
    : m_settings(std::move(settings)), m_log(std::move(log)), m_hooks(std::move(hooks)),
      m_factory(std::move(factory))
{
}

PublishJob::~PublishJob()
{
    setSession(nullptr);
}

void PublishJob::abort()
{
    const std::lock_guard lock(m_sessionMutex);
    m_aborted.store(true);
    if (m_session)
        m_session->abort();
}

void PublishJob::setSession(std::unique_ptr<RemoteSession> session)
{
    std::unique_ptr<RemoteSession> old;
    {
        const std::lock_guard lock(m_sessionMutex);
        old = std::exchange(m_session, std::move(session));
        if (m_session && m_aborted.load())
            m_session->abort();
    }
    if (old)
        old->quit();
}

// The steps both runs share up to the login. The password is never logged.
void PublishJob::connectAndLogin()
{
    m_log(QStringLiteral("Versuche Verbindung aufzunehmen..."));
    m_log(QStringLiteral("Username: ") + m_settings.username);
    m_log(QStringLiteral("Passwort: ********"));
    const RemoteSettings remote = remoteSettings(m_settings);
    if (remote.host.isEmpty())
        throw EHostRequired();
    setSession(m_factory(remote, m_hooks));
    m_session->connect();
}

bool PublishJob::runClosing(const std::function<void()>& steps,
                            QStringList (*errorLines)(const QString& replyText))
{
    try {
        steps();
        setSession(nullptr);
        return true;
    } catch (const ERemoteRefusal& e) {
        for (const QString& line : errorLines(e.message()))
            m_log(line);
        setSession(nullptr);
        return false;
    } catch (...) {
        setSession(nullptr);
        throw;
    }
}

bool PublishJob::upload(const QString& localPath)
{
    return runClosing(
        [&] {
            connectAndLogin();
            m_log(QStringLiteral("Verbindung hergestellt!"));
            // The folder goes to the server exactly as typed: a relative one
            // is taken from the login folder.
            if (!m_settings.folder.isEmpty())
                m_session->changeDir(m_settings.folder);
            m_log(QStringLiteral("Verzeichniswechsel nach: ") + m_settings.folder);
            storeReplacing(localPath);
            m_log(QStringLiteral("Dateien erfolgreich übertragen!"));
        },
        uploadErrorLines);
}

bool PublishJob::testConnection()
{
    return runClosing(
        [&] {
            connectAndLogin();
            m_log(QStringLiteral("Verbindung erfolgreich hergestellt!"));
        },
        testErrorLines);
}

void PublishJob::storeReplacing(const QString& localPath)
{
    const QString& finalName = m_settings.remoteName;
    const QString temporary = finalName + kUploadSuffix;
    m_log(QStringLiteral("Übertrage die Datei als %1...").arg(temporary));
    try {
        m_session->put(localPath, temporary);
    } catch (const ERemoteRefusal& e) {
        // Refused as such ("not under this name", "not here"): the final
        // name directly. A refusal after data moved never leads there.
        if (!e.refusesName()) {
            removeTemporary(temporary);
            throw;
        }
        m_log(QStringLiteral("Der Server lehnt den vorläufigen Namen ab (%1); die Datei wird "
                             "direkt als %2 gespeichert.")
                  .arg(e.reason(), finalName));
        storeDirectly(localPath);
        return;
    } catch (...) {
        removeTemporary(temporary);
        throw;
    }
    bool left = true; // the temporary file may be on the server
    try {
        const qint64 localSize = QFileInfo(localPath).size();
        const std::optional<qint64> remoteSize = m_session->size(temporary);
        if (remoteSize && *remoteSize != localSize)
            throw Error(QStringLiteral("Die übertragene Datei ist auf dem Server %1 Bytes groß, "
                                       "die lokale %2 Bytes; die alte Datei bleibt unverändert.")
                            .arg(*remoteSize)
                            .arg(localSize));
        m_log(remoteSize ? QStringLiteral("Größe auf dem Server geprüft: %1 Bytes.").arg(localSize)
                         : QStringLiteral("Der Server nennt keine Dateigröße; die Prüfung "
                                          "entfällt."));
        try {
            m_session->rename(temporary, finalName);
        } catch (const ERemoteRefusal& e) {
            if (!e.refusesName())
                throw;
            m_log(QStringLiteral("Der Server lehnt das Umbenennen ab (%1); die Datei wird direkt "
                                 "als %2 gespeichert.")
                      .arg(e.reason(), finalName));
            removeTemporary(temporary);
            left = false;
            storeDirectly(localPath);
            return;
        }
        m_log(QStringLiteral("Umbenannt in %1: die neue Datei ersetzt die alte.").arg(finalName));
    } catch (...) {
        if (left)
            removeTemporary(temporary);
        throw;
    }
}

void PublishJob::storeDirectly(const QString& localPath)
{
    m_session->put(localPath, m_settings.remoteName);
}

// Best effort: after an abort or a lost connection it takes a new one.
void PublishJob::removeTemporary(const QString& name)
{
    // The clean-up runs after an abort too; a second abort() still ends it.
    const bool wasAborted = m_aborted.exchange(false);
    try {
        m_session->resetAbort();
        if (!m_session->connected()) {
            RemoteHooks quiet = m_hooks;
            quiet.askTrust = {}; // a server trusted before is known now
            setSession(m_factory(remoteSettings(m_settings), quiet));
            m_session->connect();
            if (!m_settings.folder.isEmpty())
                m_session->changeDir(m_settings.folder);
        }
        m_session->remove(name);
        m_log(QStringLiteral("Die vorläufige Datei %1 wurde gelöscht.").arg(name));
    } catch (const ERemoteRefusal&) {
        // Mostly "no such file": the server refused the upload before storing.
    } catch (const Error& e) {
        m_log(QStringLiteral("Die vorläufige Datei %1 konnte nicht gelöscht werden: %2")
                  .arg(name, firstLine(e)));
    }
    if (wasAborted)
        m_aborted.store(true);
}
