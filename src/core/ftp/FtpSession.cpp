// FTP and FTPS (explicit TLS) behind the session interface, over TIdFTP.

#include "CertificateStore.h"
#include "IdFTP.h"
#include "RemoteSession_p.h"

namespace {

class FtpSession : public RemoteSession
{
public:
    FtpSession(const RemoteSettings& settings, RemoteHooks hooks) : m_hooks(std::move(hooks))
    {
        m_ftp.Host = settings.host;
        m_ftp.Port = settings.port;
        m_ftp.Username = settings.username;
        m_ftp.Password = settings.password;
        m_ftp.Passive = settings.passive;
        m_ftp.UseTls = settings.protocol == RemoteProtocol::Ftps;
        if (m_ftp.UseTls) {
            const QString host = settings.host;
            const quint16 port = settings.port;
            m_ftp.OnVerifyServer = [this, host, port](const QList<QSslCertificate>& chain) {
                verifyServerCertificate(chain, host, port,
                                        CertificateStore(CertificateStore::defaultPath()),
                                        m_hooks.askTrust);
            };
        }
        m_log.OnSent = [this](const QString&, const QString& data) { wire(true, data); };
        m_log.OnReceived = [this](const QString&, const QString& data) { wire(false, data); };
        m_ftp.Intercept = &m_log;
        m_ftp.OnStatus = [this](TIdStatus, const QString& text) {
            if (m_hooks.status)
                m_hooks.status(text);
        };
    }

    ~FtpSession() override { m_ftp.Disconnect(); }

    void connect() override { m_ftp.Connect(); }
    bool connected() const override { return m_ftp.Connected(); }
    void changeDir(const QString& path) override { m_ftp.ChangeDir(path); }
    QString currentDir() override { return m_ftp.RetrieveCurrentDir(); }

    TIdFTPListItems list() override
    {
        // A listing is text: servers convert its line ends only under TYPE A.
        m_ftp.SetTransferType(ftASCII);
        m_ftp.List();
        return m_ftp.DirectoryListing();
    }

    void put(const QString& localPath, const QString& remoteName) override
    {
        m_ftp.SetTransferType(ftBinary);
        try {
            m_ftp.Put(localPath, remoteName);
        } catch (ERemoteRefusal& e) {
            markNameRefusal(e);
            throw;
        }
    }

    std::optional<qint64> size(const QString& remoteName) override
    {
        // Under TYPE A a server may count converted line ends, or refuse.
        m_ftp.SetTransferType(ftBinary);
        return m_ftp.Size(remoteName);
    }

    void rename(const QString& from, const QString& to) override
    {
        try {
            m_ftp.Rename(from, to);
        } catch (ERemoteRefusal& e) {
            markNameRefusal(e);
            throw;
        }
    }
    void remove(const QString& remoteName) override { m_ftp.Delete(remoteName); }
    void quit() override { m_ftp.Disconnect(); }
    void abort() override { m_ftp.Abort(); }
    void resetAbort() override { m_ftp.ResetAbort(); }

private:
    // 550 (no access, not here) and 553 (name not allowed) refuse the name
    // or the rename itself; a store that failed after data moved answers
    // 552, 426 or 451 instead.
    static void markNameRefusal(ERemoteRefusal& e)
    {
        if (e.ErrorCode() == 550 || e.ErrorCode() == 553)
            e.markRefusesName();
    }

    // The hook gets whole lines, the password masked.
    void wire(bool sent, const QString& chunk)
    {
        if (!m_hooks.wire)
            return;
        QString& pending = sent ? m_sentPart : m_receivedPart;
        pending += chunk;
        qsizetype end;
        while ((end = pending.indexOf(u'\n')) >= 0) {
            QString line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (sent && line.startsWith(QLatin1String("PASS "), Qt::CaseInsensitive))
                line = QStringLiteral("PASS *********");
            m_hooks.wire(sent, line);
        }
    }

    RemoteHooks m_hooks;
    TIdLogEvent m_log;
    TIdFTP m_ftp;
    QString m_sentPart, m_receivedPart;
};

} // namespace

std::unique_ptr<RemoteSession> makeFtpSession(const RemoteSettings& settings, RemoteHooks hooks)
{
    return std::make_unique<FtpSession>(settings, std::move(hooks));
}
