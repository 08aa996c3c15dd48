// TIdFTP's data connections: PASV/PORT, the transfer command's replies and
// moving the bytes.

#include "IdFTP.h"

#include <QFile>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>

#ifdef __linux__
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

namespace {

constexpr qint64 kUploadChunk = 256 * 1024;

bool isFinalSuccess(int code)
{
    return code == 226 || code == 225 || code == 250;
}

// Bytes the kernel still holds unacknowledged for the socket; 0 where the
// platform cannot tell.
qint64 unsentBytes(QAbstractSocket& socket)
{
#ifdef __linux__
    int pending = 0;
    if (::ioctl(int(socket.socketDescriptor()), SIOCOUTQ, &pending) == 0)
        return pending;
#else
    Q_UNUSED(socket);
#endif
    return 0;
}

// Bytes the socket holds that the kernel has not taken yet: plain ones and,
// in TLS, the encrypted ones.
qint64 pendingBytes(const QSslSocket& socket)
{
    return socket.bytesToWrite() + socket.encryptedBytesToWrite();
}

// Accepts active-mode data connections as TLS-capable sockets.
class DataListener : public QTcpServer
{
protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};

} // namespace

struct TIdFTP::TransferState
{
    Transfer kind;
    bool passive;
    std::optional<FtpReply> final; // a final reply that came before the data ended
    bool preliminarySeen = false;
    QElapsedTimer rateWindow; // the slowest-rate check's current window
    qint64 movedInWindow = 0;
};

void TIdFTP::noteMoved(TransferState& state, qint64 bytes)
{
    state.movedInWindow += bytes;
    if (state.rateWindow.elapsed() < MinRateWindowMs)
        return;
    if (state.movedInWindow < MinRateBytesPerSecond * MinRateWindowMs / 1000)
        throw Error(QStringLiteral("Die Übertragung ist zu langsam (weniger als %1 KB/s über %2 "
                                   "Sekunden) und wurde abgebrochen.")
                        .arg(QString::number(MinRateBytesPerSecond / 1024.0),
                             QString::number(MinRateWindowMs / 1000.0)));
    state.rateWindow.restart();
    state.movedInWindow = 0;
}

void TIdFTP::closeData()
{
    if (m_data) {
        m_data->abort();
        m_data.reset();
    }
}

// The data connection goes to the control connection's peer, whatever
// address the reply names: behind NAT servers name private addresses, and a
// hostile one could point the client at any host of the user's network.
std::pair<QHostAddress, quint16> TIdFTP::passiveTarget(const QString& transferCommand)
{
    if (m_featPret)
        command(QStringLiteral("PRET %1").arg(transferCommand), {}); // drftpd: announce first
    const FtpReply reply = command(QStringLiteral("PASV"), {227});
    const QString line = reply.lines.value(0);
    // "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)." or, without
    // parentheses, the numbers after the last blank.
    QString numbers;
    const qsizetype open = line.indexOf(u'(');
    const qsizetype close = open < 0 ? -1 : line.indexOf(u')', open);
    if (open >= 0 && close > open)
        numbers = line.mid(open + 1, close - open - 1);
    else
        numbers = line.section(u' ', -1);
    while (!numbers.isEmpty() && !numbers.back().isDigit())
        numbers.chop(1);
    const QStringList parts = numbers.split(u',');
    int value[6] = {};
    bool valid = parts.size() == 6;
    for (int i = 0; valid && i < 6; ++i) {
        value[i] = parts[i].trimmed().toInt(&valid);
        valid = valid && value[i] >= 0 && value[i] <= 255;
    }
    if (!valid)
        throw Error(QStringLiteral("Unverständliche PASV-Antwort des FTP-Servers: %1").arg(line));
    const QHostAddress named(quint32(value[0] << 24 | value[1] << 16 | value[2] << 8 | value[3]));
    const quint16 port = quint16(value[4] * 256 + value[5]);
    const QHostAddress peer = m_control->peerAddress();
    if (!named.isEqual(peer, QHostAddress::ConvertV4MappedToIPv4))
        status(ftpTransfer, QStringLiteral("Server named %1 for the data connection; using %2.")
                                .arg(named.toString(), peer.toString()));
    return {peer, port};
}

void TIdFTP::connectData(const QHostAddress& address, quint16 port)
{
    m_data = std::make_unique<QSslSocket>();
    m_data->connectToHost(address, port);
    QElapsedTimer idle;
    idle.start();
    while (m_data->state() != QAbstractSocket::ConnectedState) {
        checkAbort();
        if (m_data->waitForConnected(slice(idle, ReadTimeout)))
            break;
        if (m_data->state() == QAbstractSocket::UnconnectedState || idle.elapsed() >= ReadTimeout)
            throw Error(QStringLiteral("Datenverbindung zu %1:%2 fehlgeschlagen: %3")
                            .arg(address.toString())
                            .arg(port)
                            .arg(m_data->errorString()));
    }
}

void TIdFTP::acceptData(QTcpServer& listener, TransferState& state)
{
    QElapsedTimer waited;
    waited.start();
    while (true) {
        checkAbort();
        if (listener.waitForNewConnection(slice(waited, ListenTimeout))) {
            m_data.reset(static_cast<QSslSocket*>(listener.nextPendingConnection()));
            m_data->setParent(nullptr);
            return;
        }
        // A server that cannot connect says so (425) instead of connecting.
        watchControl(state);
        if (waited.elapsed() >= ListenTimeout)
            throw Error(QStringLiteral("Der FTP-Server hat die Datenverbindung nicht innerhalb "
                                       "von %1 ms geöffnet.")
                            .arg(ListenTimeout));
    }
}

// Each data connection resumes the control connection's TLS session, taken
// now: under TLS 1.3 the ticket arrives after the handshake. A server that
// refuses the resumption still completes the handshake and says so only on
// the control connection (vsftpd 522, proftpd 425), which the caller reads.
void TIdFTP::startDataTls(TransferState& state)
{
    if (!UseTls)
        return;
    QSslConfiguration config = m_control->sslConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyNone); // the control connection was verified
    m_data->setSslConfiguration(config);
    m_data->setPeerVerifyName(Host);
    m_data->startClientEncryption();
    try {
        waitEncrypted(*m_data, &state);
    } catch (const EIdReplyRFCError&) {
        throw;
    } catch (const Error& e) {
        failWithPendingReply(state, e.message());
    }
}

// The data connection failed; a refusal the server sent meanwhile (553 to a
// STOR whose data connection it then closed) says more than the socket's
// error, so it is read before giving up.
void TIdFTP::failWithPendingReply(TransferState& state, const QString& cause)
{
    closeData();
    if (state.final && !isFinalSuccess(state.final->code))
        throw EIdReplyRFCError(state.final->code, state.final->text());
    QElapsedTimer waited;
    waited.start();
    const int limit = std::min(ReadTimeout, 3000);
    while (waited.elapsed() < limit && m_control) {
        checkAbort();
        const std::optional<FtpReply> reply = pollReply();
        if (!reply) {
            if (!m_control->waitForReadyRead(slice(waited, limit)) &&
                m_control->state() != QAbstractSocket::ConnectedState)
                break;
            continue;
        }
        if (!reply->isPreliminary() && !isFinalSuccess(reply->code))
            throw EIdReplyRFCError(reply->code, reply->text());
    }
    throw Error(cause);
}

// False when the reply means "no listing" (450 to a passive LIST: several
// servers say so for an empty folder).
bool TIdFTP::checkPreliminary(const FtpReply& reply, Transfer kind, TransferState& state)
{
    if (kind == Transfer::Listing && state.passive && reply.code == 450)
        return false;
    if (isFinalSuccess(reply.code)) {
        state.final = reply; // no preliminary reply: the server went straight to the end
        return true;
    }
    const bool accepted =
        kind == Transfer::Upload
            ? reply.code == 125 || reply.code == 150 || (reply.code == 110 && state.passive)
            : reply.code == 125 || reply.code == 150 || reply.code == 154;
    if (!accepted)
        throw EIdReplyRFCError(reply.code, reply.text());
    state.preliminarySeen = true;
    return true;
}

// Takes replies that came while data moves: a final success is kept (226
// may overtake the last data), anything else ends the transfer as a failure.
void TIdFTP::watchControl(TransferState& state)
{
    while (!state.final) {
        const std::optional<FtpReply> reply = pollReply();
        if (!reply)
            return;
        if (reply->isPreliminary() || isFinalSuccess(reply->code))
            checkPreliminary(*reply, state.kind, state);
        else
            throw EIdReplyRFCError(reply->code, reply->text());
    }
}

void TIdFTP::receiveData(QSslSocket& data, QByteArray& sink, TransferState& state)
{
    // A TLS close_notify shows only as this error, and a later time-out of a
    // wait overwrites it; vsftpd keeps the connection open until the client
    // closes it too.
    bool closedByServer = false;
    const QMetaObject::Connection watch = QObject::connect(
        &data, &QAbstractSocket::errorOccurred, [&closedByServer](QAbstractSocket::SocketError e) {
            if (e == QAbstractSocket::RemoteHostClosedError)
                closedByServer = true;
        });
    const auto unwatch = qScopeGuard([&watch] { QObject::disconnect(watch); });
    QElapsedTimer idle;
    idle.start();
    while (true) {
        checkAbort();
        noteMoved(state, 0);
        if (data.bytesAvailable() > 0) {
            const QByteArray chunk =
                data.read(std::max<qint64>(MaxListingBytes - sink.size(), 0) + 1);
            sink += chunk;
            if (sink.size() > MaxListingBytes)
                throw Error(QStringLiteral("Die Verzeichnisliste des FTP-Servers ist zu groß "
                                           "(mehr als %1 MB).")
                                .arg(MaxListingBytes / (1024 * 1024)));
            noteMoved(state, chunk.size());
            idle.restart();
            continue;
        }
        if (data.state() != QAbstractSocket::ConnectedState || closedByServer)
            return;
        if (data.waitForReadyRead(slice(idle, ReadTimeout)))
            continue;
        if (data.bytesAvailable() == 0 && data.error() != QAbstractSocket::SocketTimeoutError)
            return; // the server closed the data connection: the data is complete
        watchControl(state);
        if (idle.elapsed() >= ReadTimeout)
            throw Error(QStringLiteral("Zeitüberschreitung: keine Daten vom FTP-Server seit %1 ms.")
                            .arg(ReadTimeout));
    }
}

void TIdFTP::sendData(QSslSocket& data, QFile& source, TransferState& state)
{
    QElapsedTimer idle;
    idle.start();
    bool atEnd = false;
    while (true) {
        checkAbort();
        noteMoved(state, 0);
        if (!atEnd && pendingBytes(data) < kUploadChunk) {
            const QByteArray chunk = source.read(kUploadChunk);
            if (chunk.isEmpty()) {
                if (source.error() != QFileDevice::NoError)
                    throw Error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                                    .arg(source.fileName(), source.errorString()));
                atEnd = true;
            } else if (data.write(chunk) < 0) {
                break;
            }
        }
        if (atEnd && pendingBytes(data) == 0)
            break;
        const qint64 before = pendingBytes(data);
        if (!data.waitForBytesWritten(slice(idle, ReadTimeout)) &&
            data.state() != QAbstractSocket::ConnectedState)
            break;
        if (const qint64 after = pendingBytes(data); after < before) {
            noteMoved(state, before - after);
            idle.restart();
        }
        watchControl(state);
        if (idle.elapsed() >= ReadTimeout)
            throw Error(
                QStringLiteral("Zeitüberschreitung beim Senden der Datei an den FTP-Server."));
    }
    if (!atEnd || pendingBytes(data) > 0) {
        // The server dropped the data connection; its reply says why (552, 426).
        closeData();
        const FtpReply reply = state.final ? *state.final : readReply();
        throw EIdReplyRFCError(reply.code, reply.text());
    }
    // The kernel's send buffer can hold megabytes that a slow server takes
    // long to accept; while they drain, data still moves.
    for (qint64 left = unsentBytes(data); left > 0;) {
        checkAbort();
        watchControl(state);
        // Short naps: the drain usually ends within milliseconds.
        QThread::msleep(quint32(std::min(slice(idle, ReadTimeout), 2)));
        const qint64 now = unsentBytes(data);
        noteMoved(state, std::max<qint64>(left - now, 0));
        if (now < left)
            idle.restart();
        else if (idle.elapsed() >= ReadTimeout)
            throw Error(
                QStringLiteral("Zeitüberschreitung beim Senden der Datei an den FTP-Server."));
        left = now;
    }
    data.disconnectFromHost();
    QElapsedTimer closing;
    closing.start();
    while (data.state() != QAbstractSocket::UnconnectedState && closing.elapsed() < ReadTimeout) {
        checkAbort();
        data.waitForDisconnected(slice(closing, ReadTimeout));
    }
}

void TIdFTP::runTransfer(const QString& transferCommand, Transfer kind, QFile* source,
                         QByteArray* sink)
{
    requireConnected();
    if (m_serverType != TransferType)
        sendType(TransferType);
    TransferState state{kind, Passive, std::nullopt, false};
    state.rateWindow.start();
    try {
        std::unique_ptr<QTcpServer> listener;
        if (Passive) {
            const auto [address, port] = passiveTarget(transferCommand);
            // A listing connects first; an upload names its file first. TLS
            // starts only after the command: pyftpdlib and others set up
            // their side of it when the command arrives.
            if (kind == Transfer::Listing) {
                connectData(address, port);
                sendCommand(transferCommand);
            } else {
                sendCommand(transferCommand);
                try {
                    connectData(address, port);
                } catch (const EIdReplyRFCError&) {
                    throw;
                } catch (const Error& e) {
                    failWithPendingReply(state, e.message());
                }
            }
            startDataTls(state);
            if (!checkPreliminary(readReply(), kind, state)) {
                closeData();
                return;
            }
        } else {
            listener = std::make_unique<DataListener>();
            const QHostAddress local = m_control->localAddress();
            if (!listener->listen(local, 0))
                throw Error(QStringLiteral("Kein Port für die Datenverbindung frei: %1")
                                .arg(listener->errorString()));
            const quint32 ip = local.toIPv4Address();
            const quint16 port = listener->serverPort();
            command(QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
                        .arg(ip >> 24)
                        .arg((ip >> 16) & 0xff)
                        .arg((ip >> 8) & 0xff)
                        .arg(ip & 0xff)
                        .arg(port >> 8)
                        .arg(port & 0xff),
                    {200});
            sendCommand(transferCommand);
            acceptData(*listener, state);
            startDataTls(state);
        }
        if (kind == Transfer::Listing)
            receiveData(*m_data, *sink, state);
        else
            sendData(*m_data, *source, state);
        closeData();
        FtpReply final = state.final ? *state.final : readReply();
        while (final.isPreliminary()) {
            checkPreliminary(final, kind, state); // active mode: 150 after the connection
            final = readReply();
        }
        if (!isFinalSuccess(final.code))
            throw EIdReplyRFCError(final.code, final.text());
    } catch (...) {
        closeData();
        throw;
    }
    status(ftpReady, QStringLiteral("Transfer complete"));
}
