#include "IdFTP.h"

#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <algorithm>

namespace {

// Longest single wait: Abort() and the time-outs are checked between waits.
constexpr int kSliceMs = 25;
bool isIn(int code, std::initializer_list<int> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace

TIdFTP::TIdFTP() = default;

TIdFTP::~TIdFTP()
{
    closeSockets();
}

void TIdFTP::status(TIdStatus kind, const QString& text)
{
    if (OnStatus)
        OnStatus(kind, text);
}

void TIdFTP::checkAbort()
{
    if (!m_abortRequested.exchange(false))
        return;
    closeSockets();
    status(ftpAborted, QStringLiteral("Transfer aborted"));
    throw Error(QStringLiteral("Der Vorgang wurde abgebrochen."));
}

void TIdFTP::failLost()
{
    closeSockets();
    throw Error(QStringLiteral("Die Verbindung zum FTP-Server wurde getrennt."));
}

void TIdFTP::requireConnected() const
{
    if (!Connected())
        throw Error(QStringLiteral("Keine Verbindung zum FTP-Server."));
}

void TIdFTP::closeSockets()
{
    if (m_data) {
        m_data->abort();
        m_data.reset();
    }
    if (m_control) {
        m_control->abort();
        m_control.reset();
    }
    m_reader.clear();
}

bool TIdFTP::Connected() const
{
    if (!m_control || m_control->state() != QAbstractSocket::ConnectedState)
        return false;
    // Without an event loop the socket learns of a close by the server only
    // when it looks, also behind a reply still buffered (a 421 before the
    // close); whatever arrives stays buffered for the next reply.
    m_control->waitForReadyRead(0);
    return m_control->state() == QAbstractSocket::ConnectedState;
}

// The next wait's length: a slice, but never past the time-out.
int TIdFTP::slice(const QElapsedTimer& idle, int limit) const
{
    const qint64 left = limit - idle.elapsed();
    return int(std::clamp<qint64>(left, 0, kSliceMs));
}

void TIdFTP::sendCommand(const QString& command)
{
    requireConnected();
    // A CR or LF in a path or name would let it smuggle a second command.
    if (command.contains(u'\r') || command.contains(u'\n'))
        throw Error(QStringLiteral("Ungültiges Zeichen (Zeilenende) im FTP-Befehl."));
    const QByteArray bytes = (m_utf8 ? command.toUtf8() : command.toLatin1()) + "\r\n";
    m_control->write(bytes);
    if (Intercept && Intercept->Active && Intercept->OnSent)
        Intercept->OnSent(QString(), QString::fromLatin1(bytes));
    QElapsedTimer idle;
    idle.start();
    while (m_control->bytesToWrite() > 0) {
        checkAbort();
        const qint64 before = m_control->bytesToWrite();
        if (!m_control->waitForBytesWritten(slice(idle, ReadTimeout)) &&
            m_control->state() != QAbstractSocket::ConnectedState)
            failLost();
        if (m_control->bytesToWrite() < before)
            idle.restart();
        else if (idle.elapsed() >= ReadTimeout)
            throw Error(QStringLiteral("Zeitüberschreitung beim Senden an den FTP-Server."));
    }
}

// Reads what the control connection has, waiting at most waitMs. False when
// nothing came; a closed connection fails.
bool TIdFTP::pullControl(int waitMs)
{
    if (!m_control)
        failLost();
    if (m_control->bytesAvailable() == 0) {
        if (m_control->state() != QAbstractSocket::ConnectedState)
            failLost();
        if (!m_control->waitForReadyRead(waitMs)) {
            if (m_control->bytesAvailable() == 0 &&
                m_control->error() != QAbstractSocket::SocketTimeoutError)
                failLost();
            if (m_control->bytesAvailable() == 0)
                return false;
        }
    }
    const QByteArray chunk = m_control->readAll();
    if (Intercept && Intercept->Active && Intercept->OnReceived)
        Intercept->OnReceived(QString(), QString::fromLatin1(chunk));
    m_reader.feed(chunk);
    return true;
}

std::optional<qint64> TIdFTP::Size(const QString& remoteName)
{
    const FtpReply reply = command(QStringLiteral("SIZE %1").arg(remoteName), {});
    if (reply.code != 213)
        return std::nullopt;
    bool ok = false;
    const qint64 size = reply.lines.value(0).trimmed().toLongLong(&ok);
    return ok && size >= 0 ? std::optional<qint64>(size) : std::nullopt;
}

void TIdFTP::Rename(const QString& from, const QString& to)
{
    command(QStringLiteral("RNFR %1").arg(from), {350});
    command(QStringLiteral("RNTO %1").arg(to), {250, 200});
}

void TIdFTP::Delete(const QString& remoteName)
{
    command(QStringLiteral("DELE %1").arg(remoteName), {250, 200});
}

std::optional<FtpReply> TIdFTP::pollReply()
{
    if (auto reply = m_reader.next())
        return reply;
    if (pullControl(0))
        return m_reader.next();
    return std::nullopt;
}

FtpReply TIdFTP::readReply()
{
    QElapsedTimer idle;
    idle.start();
    while (true) {
        if (auto reply = m_reader.next())
            return *reply;
        checkAbort();
        if (pullControl(slice(idle, ReadTimeout)))
            idle.restart();
        else if (idle.elapsed() >= ReadTimeout)
            throw Error(QStringLiteral("Zeitüberschreitung: der FTP-Server hat nicht innerhalb von "
                                       "%1 ms geantwortet.")
                            .arg(ReadTimeout));
    }
}

FtpReply TIdFTP::command(const QString& command, std::initializer_list<int> accepted)
{
    sendCommand(command);
    FtpReply reply = readReply();
    if (accepted.size() > 0 && !isIn(reply.code, accepted))
        throw EIdReplyRFCError(reply.code, reply.text());
    return reply;
}

void TIdFTP::openControl(QHostAddress& address, bool& numeric)
{
    status(hsResolving, QStringLiteral("Resolving hostname %1.").arg(Host));
    numeric = address.setAddress(Host) && address.protocol() == QAbstractSocket::IPv4Protocol;
    if (!numeric) {
        const QHostInfo info = QHostInfo::fromName(Host);
        checkAbort();
        address.clear();
        for (const QHostAddress& candidate : info.addresses()) {
            if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
                address = candidate;
                break;
            }
        }
        if (address.isNull()) {
            QString reason = info.error() != QHostInfo::NoError
                                 ? info.errorString()
                                 : QStringLiteral("keine IPv4-Adresse");
            if (reason.trimmed().isEmpty())
                reason = QStringLiteral("unbekannter Rechner");
            throw Error(QStringLiteral("Der Rechnername %1 konnte nicht aufgelöst werden: %2")
                            .arg(Host, reason));
        }
    }
    status(hsConnecting, QStringLiteral("Connecting to %1.").arg(address.toString()));
    m_control = std::make_unique<QSslSocket>();
    m_control->connectToHost(address, Port);
    QElapsedTimer idle;
    idle.start();
    while (m_control->state() != QAbstractSocket::ConnectedState) {
        checkAbort();
        if (m_control->waitForConnected(slice(idle, ReadTimeout)))
            break;
        if (m_control->state() == QAbstractSocket::UnconnectedState ||
            idle.elapsed() >= ReadTimeout) {
            const QString reason = m_control->state() == QAbstractSocket::UnconnectedState
                                       ? m_control->errorString()
                                       : QStringLiteral("Zeitüberschreitung");
            throw Error(QStringLiteral("Verbindung zu %1:%2 fehlgeschlagen: %3")
                            .arg(address.toString())
                            .arg(Port)
                            .arg(reason));
        }
    }
    status(hsConnected, QStringLiteral("Connected."));
}

void TIdFTP::Connect()
{
    if (Connected())
        throw Error(QStringLiteral("Die Verbindung zum FTP-Server besteht bereits."));
    // A name of blanks is a name: it fails at the resolution, with its text.
    if (Host.isEmpty())
        throw EIdHostRequired();
    if (Port == 0)
        throw EIdPortRequired();
    m_featMlsd = m_featUtf8 = m_featPret = m_featSiteZone = m_utf8 = false;
    m_serverType.reset();
    m_systemDescription.clear();
    m_zoneOffsetMinutes.reset();
    m_reader.clear();
    m_reader.setUtf8(false);
    try {
        QHostAddress address;
        bool numeric = false;
        openControl(address, numeric);
        FtpReply greeting = readReply();
        if (greeting.isPreliminary())
            greeting = readReply();
        if (greeting.code != 220)
            throw EIdReplyRFCError(greeting.code, greeting.text());
        // RFC 7151 virtual hosts; servers without it answer 500, which is fine.
        command(numeric ? QStringLiteral("HOST [%1]").arg(address.toString())
                        : QStringLiteral("HOST %1").arg(Host),
                {});
        if (UseTls)
            startTls();
        if (AutoLogin) {
            login();
            const FtpReply syst = command(QStringLiteral("SYST"), {});
            if (syst.code != 500 && !syst.lines.isEmpty())
                m_systemDescription = syst.lines.first();
            if (m_featSiteZone) {
                const FtpReply zone = command(QStringLiteral("SITE ZONE"), {});
                m_zoneOffsetMinutes = FtpListParsers::parseSiteZoneReply(zone);
            }
            sendType(TransferType);
        }
        status(ftpReady, QStringLiteral("Connection established"));
    } catch (...) {
        closeSockets();
        throw;
    }
}

void TIdFTP::login()
{
    const FtpReply user = command(QStringLiteral("USER %1").arg(Username), {230, 232, 331});
    if (user.code == 331) {
        // 332 asks for an account, which is never configured: a reply error too.
        command(QStringLiteral("PASS %1").arg(Password), {230});
    }
    if (UseTls) {
        // No buffer for protection (TLS has its own), and data in TLS too.
        command(QStringLiteral("PBSZ 0"), {200});
        command(QStringLiteral("PROT P"), {200});
    }
    readFeatures();
    if (m_featUtf8) {
        // IIS and others switch on "OPTS UTF8 ON"; some servers only know the
        // older draft's "OPTS UTF-8 NLST". A server that refuses both while
        // listing UTF8 (pyftpdlib) always speaks UTF-8, as RFC 2640 has it:
        // staying on ISO 8859-1 there would garble every non-ASCII name.
        if (command(QStringLiteral("OPTS UTF8 ON"), {}).code != 200)
            command(QStringLiteral("OPTS UTF-8 NLST"), {});
        m_utf8 = true;
        m_reader.setUtf8(true);
    }
    sendType(TransferType);
}

void TIdFTP::startTls()
{
    if (!QSslSocket::supportsSsl())
        throw Error(QStringLiteral("TLS ist auf diesem System nicht verfügbar; FTPS ist daher "
                                   "nicht möglich."));
    const FtpReply auth = command(QStringLiteral("AUTH TLS"), {});
    if (auth.code != 234)
        throw Error(QStringLiteral("Der Server lehnt die verschlüsselte Verbindung (AUTH TLS) "
                                   "ab; das Passwort wurde nicht gesendet. Antwort des "
                                   "Servers: %1 %2")
                        .arg(auth.code)
                        .arg(auth.lines.join(u' ')));
    status(hsConnected, QStringLiteral("Starting TLS."));
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    // The chain is checked by OnVerifyServer, which also knows the
    // certificates the user trusted.
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    // Without persistence Qt hands out no session ticket, and servers that
    // require the data connections to resume the session refuse them.
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    m_control->setSslConfiguration(config);
    m_control->setPeerVerifyName(Host);
    m_control->startClientEncryption();
    waitEncrypted(*m_control, nullptr);
    if (OnVerifyServer)
        OnVerifyServer(m_control->peerCertificateChain());
    status(hsConnected, QStringLiteral("TLS established."));
}

// The handshake of the control (state null) or a data connection; a data
// handshake also watches the control connection for a refusal.
void TIdFTP::waitEncrypted(QSslSocket& socket, TransferState* state)
{
    QElapsedTimer idle;
    idle.start();
    while (!socket.isEncrypted()) {
        checkAbort();
        if (socket.waitForEncrypted(slice(idle, ReadTimeout)))
            break;
        if (socket.state() != QAbstractSocket::ConnectedState ||
            (socket.error() != QAbstractSocket::SocketTimeoutError &&
             socket.error() != QAbstractSocket::UnknownSocketError))
            throw Error(QStringLiteral("Der TLS-Verbindungsaufbau ist fehlgeschlagen: %1")
                            .arg(socket.errorString()));
        if (state)
            watchControl(*state);
        if (idle.elapsed() >= ReadTimeout)
            throw Error(QStringLiteral("Zeitüberschreitung beim TLS-Verbindungsaufbau."));
    }
}

void TIdFTP::readFeatures()
{
    const FtpReply feat = command(QStringLiteral("FEAT"), {});
    if (feat.code != 211)
        return;
    // The first and last line frame the list (RFC 2389).
    for (qsizetype i = 1; i + 1 < feat.lines.size(); ++i) {
        const QString line = feat.lines[i].trimmed();
        const QString name = line.section(u' ', 0, 0).toUpper();
        const QString params = line.section(u' ', 1).toUpper();
        if (name == u"MLSD" || name == u"MLST")
            m_featMlsd = true;
        else if (name == u"UTF8")
            m_featUtf8 = true;
        else if (name == u"PRET")
            m_featPret = true;
        else if (name == u"SITE" &&
                 params.split(QRegularExpression(QStringLiteral("[;, ]")), Qt::SkipEmptyParts)
                     .contains(QStringLiteral("ZONE")))
            m_featSiteZone = true;
    }
}

void TIdFTP::sendType(TIdFTPTransferType type)
{
    command(type == ftASCII ? QStringLiteral("TYPE A") : QStringLiteral("TYPE I"), {200});
    m_serverType = type;
}

void TIdFTP::SetTransferType(TIdFTPTransferType type)
{
    const bool change = type != TransferType;
    TransferType = type;
    if (change && Connected())
        sendType(type);
}

void TIdFTP::ChangeDir(const QString& path)
{
    command(QStringLiteral("CWD %1").arg(path), {200, 250});
}

QString TIdFTP::RetrieveCurrentDir()
{
    const FtpReply reply = command(QStringLiteral("PWD"), {257});
    const QString line = reply.lines.value(0);
    const qsizetype open = line.indexOf(u'"');
    const qsizetype close = open < 0 ? -1 : line.indexOf(u'"', open + 1);
    if (close < 0)
        return QString();
    return line.mid(open + 1, close - open - 1);
}

void TIdFTP::List(QStringList* target, const QString& specifier, bool details)
{
    requireConnected();
    status(ftpTransfer, QStringLiteral("Starting FTP transfer"));
    const bool mlsd = details && m_featMlsd;
    QString transfer = mlsd      ? QStringLiteral("MLSD")
                       : details ? QStringLiteral("LIST")
                                 : QStringLiteral("NLST");
    if (!specifier.isEmpty())
        transfer += u' ' + specifier;
    QByteArray bytes;
    runTransfer(transfer, Transfer::Listing, nullptr, &bytes);
    m_listingLines = FtpListParsers::splitLines(bytes, m_utf8);
    m_listingIsMlsd = mlsd;
    m_listing.reset();
    if (target)
        *target = m_listingLines;
}

const TIdFTPListItems& TIdFTP::DirectoryListing()
{
    if (!m_listing) {
        ListParseContext context;
        if (ListingNow.isValid())
            context.now = ListingNow;
        context.serverUtcOffsetMinutes = m_zoneOffsetMinutes;
        m_listing = m_listingIsMlsd ? FtpListParsers::parseMlsd(m_listingLines, context)
                                    : FtpListParsers::parseList(m_listingLines, context);
    }
    return *m_listing;
}

void TIdFTP::Put(const QString& localPath, const QString& remoteName, bool append)
{
    requireConnected();
    // QFile opens without a lock: other programs may read or write meanwhile.
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                        .arg(localPath, file.errorString()));
    status(ftpTransfer, QStringLiteral("Starting FTP transfer"));
    runTransfer((append ? QStringLiteral("APPE %1") : QStringLiteral("STOR %1")).arg(remoteName),
                Transfer::Upload, &file, nullptr);
}

void TIdFTP::Disconnect()
{
    m_abortRequested.store(false);
    if (!m_control)
        return;
    status(hsDisconnecting, QStringLiteral("Disconnecting."));
    if (Connected()) {
        try {
            sendCommand(QStringLiteral("QUIT"));
            pullControl(10);
        } catch (const Error&) {
            // Saying goodbye is a courtesy; the socket closes either way.
        }
    }
    closeSockets();
    status(hsDisconnected, QStringLiteral("Disconnected."));
}
