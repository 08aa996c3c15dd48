#include "FtpPublish.h"

#include "IdFTP.h"
#include "platform/WholeNumber.h"

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

// The steps both runs share up to the login. The password is never logged.
void connectAndLogin(TIdFTP& ftp, const Settings& settings, const LogFn& log)
{
    log(QStringLiteral("Versuche Verbindung aufzunehmen..."));
    ftp.TransferType = ftASCII;
    ftp.Username = settings.username;
    log(QStringLiteral("Username: ") + settings.username);
    ftp.Password = settings.password;
    log(QStringLiteral("Passwort: ********"));
    ftp.Host = settings.host;
    const auto port = WholeNumber::parse(settings.port);
    if (!port)
        throw EPortNotANumber();
    // The client keeps the low 16 bits of the 32-bit number.
    ftp.Port = quint16(*port);
    ftp.Passive = settings.passive;
    try {
        ftp.Connect();
    } catch (const EIdPortRequired&) {
        // The client's error has no text; the general error report needs one.
        throw Error(
            QStringLiteral("Der Port \"%1\" ist kein gültiger FTP-Port.").arg(settings.port));
    }
}

void logAll(const LogFn& log, const QStringList& lines)
{
    for (const QString& line : lines)
        log(line);
}

} // namespace

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

bool UploadRSSFile(TIdFTP& ftp, const Settings& settings, const QString& localPath,
                   const LogFn& log)
{
    try {
        connectAndLogin(ftp, settings, log);
        log(QStringLiteral("Verbindung hergestellt!"));
        // The folder goes to the server exactly as typed: a relative one is
        // taken from the login folder.
        if (!settings.folder.isEmpty())
            ftp.ChangeDir(settings.folder);
        log(QStringLiteral("Verzeichniswechsel nach: ") + settings.folder);
        ftp.Put(localPath, settings.remoteName, false);
        log(QStringLiteral("Dateien erfolgreich übertragen!"));
        ftp.Disconnect();
        return true;
    } catch (const EIdReplyRFCError& e) {
        logAll(log, uploadErrorLines(e.message()));
        ftp.Disconnect();
        return false;
    }
}

bool TestConnection(TIdFTP& ftp, const Settings& settings, const LogFn& log)
{
    try {
        connectAndLogin(ftp, settings, log);
        log(QStringLiteral("Verbindung erfolgreich hergestellt!"));
        ftp.Disconnect();
        return true;
    } catch (const EIdReplyRFCError& e) {
        logAll(log, testErrorLines(e.message()));
        ftp.Disconnect();
        return false;
    }
}

} // namespace FtpPublish
