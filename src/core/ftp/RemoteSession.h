#pragma once

#include "IdFTPListItem.h"
#include "platform/Error.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The three ways to reach a web server's folder. The codes are what the
// project file and the profile store keep.
enum class RemoteProtocol { Ftp, Ftps, Sftp };

QString protocolCode(RemoteProtocol protocol);        // "FTP", "FTPS", "SFTP"
RemoteProtocol protocolFromCode(const QString& code); // unknown or empty: Ftp
QString protocolCaption(RemoteProtocol protocol);     // "FTP", "FTPS (FTP über TLS)", "SFTP (SSH)"
quint16 defaultPort(RemoteProtocol protocol);         // 21, 21, 22

// The server refused a request; the message is what it said (FTP: the reply
// lines, each followed by CR LF), so the log can show it line by line.
class ERemoteRefusal : public Error
{
public:
    ERemoteRefusal(int code, QString text) : Error(std::move(text)), m_code(code) {}
    int ErrorCode() const { return m_code; }

    // Set by a session, whatever its protocol, where the server refuses a
    // store under this name or a rename as such (permissions, a name it does
    // not allow, renaming not offered) before any data moved: an upload may
    // then store the final name directly. Never for a failure mid-transfer
    // (a full disk, a cut connection).
    bool refusesName() const { return m_refusesName; }
    // The server's short reason for the log, e.g. "Permission denied.";
    // without one the message's first line.
    QString reason() const;
    ERemoteRefusal& markRefusesName(QString reason = {})
    {
        m_refusesName = true;
        m_reason = std::move(reason);
        return *this;
    }

private:
    int m_code;
    bool m_refusesName = false;
    QString m_reason;
};

// The server's certificate or host key is not trusted and the user (or the
// headless run, which never asks) did not trust it. Nothing secret was sent.
class EUntrustedServer : public Error
{
public:
    using Error::Error;
};

// What a session asks before it trusts a server that it cannot verify.
struct TrustQuestion
{
    enum class Kind { Certificate, HostKey };
    Kind kind = Kind::Certificate;
    QString host;
    quint16 port = 0;
    QString fingerprint; // SHA-256, as users compare it ("SHA256:..." or hex pairs)
    QString subject;     // certificate only
    QString validity;    // certificate only, e.g. "01.01.2026 bis 31.12.2026"
    QString reason;      // German: why it cannot be verified
    QString trustFile;   // where an accepted answer is kept
};

// Answers a TrustQuestion: true trusts it for this host from then on. Called
// on the session's thread; empty means never trust (headless runs).
using TrustAsker = std::function<bool(const TrustQuestion&)>;

struct RemoteSettings
{
    RemoteProtocol protocol = RemoteProtocol::Ftp;
    QString host;
    quint16 port = 21;
    QString username;
    QString password;     // SFTP: empty tries the SSH agent and the default keys
    bool passive = false; // FTP and FTPS only
};

// Hooks a session reports through, all called on the session's thread.
struct RemoteHooks
{
    // Control-connection lines for the browser's status list: sent (true) or
    // received; the password already masked. SFTP reports its requests here.
    std::function<void(bool sent, const QString& line)> wire;
    // Progress in words ("Verbinde mit ...").
    std::function<void(const QString& text)> status;
    TrustAsker askTrust;
};

// One connection to a server, whichever protocol. Every operation blocks on
// the calling thread until it ends; one session is used from one thread at a
// time. Failures: ERemoteRefusal (the server said no), EUntrustedServer, and
// Error with a German text for everything else (resolution, lost
// connection, time-out, abort).
class RemoteSession
{
public:
    virtual ~RemoteSession() = default; // closes what is still open

    virtual void connect() = 0; // connect, verify the server, log in
    virtual bool connected() const = 0;
    virtual void changeDir(const QString& path) = 0;
    virtual QString currentDir() = 0;
    virtual TIdFTPListItems list() = 0; // the current folder
    // Stores the local file's bytes unchanged under remoteName (binary).
    virtual void put(const QString& localPath, const QString& remoteName) = 0;
    // The size on the server; nullopt when the server cannot tell.
    virtual std::optional<qint64> size(const QString& remoteName) = 0;
    // Renames, replacing an existing `to` in one step where the server can.
    virtual void rename(const QString& from, const QString& to) = 0;
    virtual void remove(const QString& remoteName) = 0;
    virtual void quit() = 0; // polite goodbye, then closed; never throws
    // Thread-safe: the running (or next) operation fails soon with an Error.
    virtual void abort() = 0;
    virtual void resetAbort() = 0;
};

std::unique_ptr<RemoteSession> makeRemoteSession(const RemoteSettings& settings, RemoteHooks hooks);
