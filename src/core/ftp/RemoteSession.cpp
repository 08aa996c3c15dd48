#include "RemoteSession_p.h"

namespace {

struct ProtocolRow
{
    RemoteProtocol protocol;
    const char* code;
    const char* caption;
    quint16 port;
};

constexpr ProtocolRow kProtocols[] = {
    {RemoteProtocol::Ftp, "FTP", "FTP", 21},
    {RemoteProtocol::Ftps, "FTPS", "FTPS (FTP über TLS)", 21},
    {RemoteProtocol::Sftp, "SFTP", "SFTP (SSH)", 22},
};

const ProtocolRow& row(RemoteProtocol protocol)
{
    for (const ProtocolRow& r : kProtocols)
        if (r.protocol == protocol)
            return r;
    return kProtocols[0];
}

} // namespace

QString protocolCode(RemoteProtocol protocol)
{
    return QString::fromLatin1(row(protocol).code);
}

RemoteProtocol protocolFromCode(const QString& code)
{
    for (const ProtocolRow& r : kProtocols)
        if (code == QLatin1String(r.code))
            return r.protocol;
    return RemoteProtocol::Ftp;
}

QString protocolCaption(RemoteProtocol protocol)
{
    return QString::fromUtf8(row(protocol).caption);
}

quint16 defaultPort(RemoteProtocol protocol)
{
    return row(protocol).port;
}

std::unique_ptr<RemoteSession> makeRemoteSession(const RemoteSettings& settings, RemoteHooks hooks)
{
    if (settings.protocol == RemoteProtocol::Sftp)
        return makeSftpSession(settings, std::move(hooks));
    return makeFtpSession(settings, std::move(hooks));
}

QString ERemoteRefusal::reason() const
{
    if (!m_reason.isEmpty())
        return m_reason;
    return message().section(u'\n', 0, 0).trimmed();
}
