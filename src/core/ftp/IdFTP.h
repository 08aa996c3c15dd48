#pragma once

#include "FtpListParsers.h"
#include "FtpReplyReader.h"
#include "IdFTPListItem.h"
#include "RemoteSession.h"
#include "platform/Error.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QFile;
class QSslCertificate;
class QSslSocket;
class QTcpServer;
class QTcpSocket;

enum TIdStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    ftpTransfer,
    ftpReady,
    ftpAborted,
};

enum TIdFTPTransferType { ftASCII, ftBinary };

// The server answered with a code outside the set the command accepts. The
// message is the reply's text lines, each followed by CR LF.
class EIdReplyRFCError : public ERemoteRefusal
{
public:
    EIdReplyRFCError(int code, QString text) : ERemoteRefusal(code, std::move(text)) {}
};

// Connect with an empty Host; raised before any network activity.
class EIdHostRequired : public Error
{
public:
    EIdHostRequired() : Error(QStringLiteral("Kein FTP-Server angegeben.")) {}
};

// Connect with Port 0; raised before any network activity.
class EIdPortRequired : public Error
{
public:
    EIdPortRequired() : Error(QString()) {}
};

// Wire-log hook: sees every chunk written to or read from the control
// connection, decoded as ISO 8859-1, line ends included. A chunk is what one
// write or read carried, so a received one may hold several lines or end in
// the middle of one. The password is in a PASS chunk: whoever shows these
// must mask it. The time text is always empty.
class TIdLogEvent
{
public:
    bool Active = true;
    std::function<void(const QString& timeText, const QString& data)> OnSent;
    std::function<void(const QString& timeText, const QString& data)> OnReceived;
};

// FTP client over blocking sockets: every operation runs to its end on the
// calling thread, which needs no event loop, so a window can run it on a
// worker thread. Callbacks run on that thread, inside the operation.
//
// Failures: EIdReplyRFCError, EIdHostRequired, EIdPortRequired, and Error
// with a readable text for everything else (resolution, refused or lost
// connection, time-out, unreadable local file, Abort()). A failure inside
// Connect closes the connection; a later failure leaves it as it is.
class TIdFTP
{
public:
    TIdFTP();
    ~TIdFTP(); // closes whatever connection is still open
    TIdFTP(const TIdFTP&) = delete;
    TIdFTP& operator=(const TIdFTP&) = delete;

    QString Host;
    quint16 Port = 21; // callers assign a 32-bit whole number: its low 16 bits stay
    QString Username;
    QString Password;
    bool Passive = false;
    TIdFTPTransferType TransferType = ftASCII;
    bool AutoLogin = true;
    int ReadTimeout = 60000;   // ms without a byte moved before a wait fails
    int ListenTimeout = 10000; // ms the server gets to open an active data connection
    // Explicit TLS (RFC 4217): AUTH TLS before USER, every data connection in
    // TLS too, resuming the control connection's session. A server that
    // refuses AUTH TLS ends Connect before the password is sent.
    bool UseTls = false;
    // Called with the server's certificate chain right after the control
    // connection's handshake, before USER; throws to refuse the server.
    std::function<void(const QList<QSslCertificate>& chain)> OnVerifyServer;
    // A listing larger than this fails instead of filling the memory.
    qint64 MaxListingBytes = 32 * 1024 * 1024;
    // A transfer that moves fewer than MinRateBytesPerSecond on average over
    // MinRateWindowMs fails.
    int MinRateWindowMs = 60000;
    qint64 MinRateBytesPerSecond = 1024;

    std::function<void(TIdStatus status, const QString& text)> OnStatus;
    TIdLogEvent* Intercept = nullptr; // not owned

    // Opens the control connection, reads the greeting and, with AutoLogin,
    // logs in and sets up the session. Refused while connected.
    void Connect();
    // True while the control connection is open; notices a close by the
    // server without waiting.
    bool Connected() const;
    // CWD, 200 or 250.
    void ChangeDir(const QString& path);
    // PWD, 257: the text between the first two double quotes of its first
    // line; empty without two quotes.
    QString RetrieveCurrentDir();
    // MLSD when the server offers it, else LIST. The received lines go to
    // `target` when given; DirectoryListing() parses them.
    void List(QStringList* target = nullptr, const QString& specifier = QString(),
              bool details = true);
    // The entries of the last List(), parsed on first access.
    const TIdFTPListItems& DirectoryListing();
    // STOR of the local file's bytes, unchanged, under `remoteName`.
    void Put(const QString& localPath, const QString& remoteName, bool append = false);
    // SIZE (RFC 3659), 213: the size in the current transfer type; nullopt
    // when the server does not know the command or gives no number.
    std::optional<qint64> Size(const QString& remoteName);
    // RNFR 350, RNTO 250 (or 200).
    void Rename(const QString& from, const QString& to);
    // DELE, 250 (or 200).
    void Delete(const QString& remoteName);
    // TYPE A / TYPE I when connected and the type changes.
    void SetTransferType(TIdFTPTransferType type);
    // QUIT (a reply is waited for at most 10 ms), then the sockets close.
    void Disconnect();
    void Quit() { Disconnect(); }

    // Thread-safe: ends the running operation within a few milliseconds by
    // closing its sockets; it then fails with an Error. Called while no
    // operation runs, the next one fails at once instead (Disconnect clears
    // it). Name resolution, which the platform does in one blocking call,
    // is not cut short; the operation ends right after it.
    void Abort() { m_abortRequested.store(true); }
    // Withdraws an Abort() that came too late for the operation it was meant for.
    void ResetAbort() { m_abortRequested.store(false); }

    // What the session learnt: SYST's first line, the SITE ZONE offset.
    QString SystemDescription() const { return m_systemDescription; }
    std::optional<int> ServerUtcOffsetMinutes() const { return m_zoneOffsetMinutes; }
    bool UsesMlsd() const { return m_featMlsd; }
    bool UsesUtf8() const { return m_utf8; }
    // "Now" for listings without a year; the current time when invalid.
    QDateTime ListingNow;

private:
    enum class Transfer { Listing, Upload };
    struct TransferState;

    void status(TIdStatus kind, const QString& text);
    void checkAbort();
    [[noreturn]] void failLost();
    void requireConnected() const;
    void closeSockets();
    int slice(const QElapsedTimer& idle, int limit) const;

    void sendCommand(const QString& command);
    bool pullControl(int waitMs);
    FtpReply readReply();
    std::optional<FtpReply> pollReply();
    FtpReply command(const QString& command, std::initializer_list<int> accepted);

    void openControl(QHostAddress& address, bool& numeric);
    void startTls();
    void waitEncrypted(QSslSocket& socket, TransferState* state);
    void login();
    void readFeatures();
    void sendType(TIdFTPTransferType type);

    std::pair<QHostAddress, quint16> passiveTarget(const QString& transferCommand);
    void connectData(const QHostAddress& address, quint16 port);
    void startDataTls(TransferState& state);
    [[noreturn]] void failWithPendingReply(TransferState& state, const QString& cause);
    void acceptData(QTcpServer& listener, TransferState& state);
    void closeData();
    void runTransfer(const QString& transferCommand, Transfer kind, QFile* source,
                     QByteArray* sink);
    bool checkPreliminary(const FtpReply& reply, Transfer kind, TransferState& state);
    void receiveData(QSslSocket& data, QByteArray& sink, TransferState& state);
    void sendData(QSslSocket& data, QFile& source, TransferState& state);
    void noteMoved(TransferState& state, qint64 bytes);
    void watchControl(TransferState& state);

    std::unique_ptr<QSslSocket> m_control;
    std::unique_ptr<QSslSocket> m_data;
    FtpReplyReader m_reader;
    std::atomic<bool> m_abortRequested{false};

    bool m_featMlsd = false;
    bool m_featUtf8 = false;
    bool m_featPret = false;
    bool m_featSiteZone = false;
    bool m_utf8 = false;
    std::optional<TIdFTPTransferType> m_serverType;
    QString m_systemDescription;
    std::optional<int> m_zoneOffsetMinutes;

    QStringList m_listingLines;
    bool m_listingIsMlsd = false;
    std::optional<TIdFTPListItems> m_listing;
};
