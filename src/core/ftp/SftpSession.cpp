#include "RemoteSession_p.h"

// Placeholder until the Sftp session is built.
std::unique_ptr<RemoteSession> makeSftpSession(const RemoteSettings&, RemoteHooks)
{
    throw Error(QStringLiteral("Sftp ist in dieser Version noch nicht verfügbar."));
}
