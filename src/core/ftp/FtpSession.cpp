#include "RemoteSession_p.h"

// Placeholder until the Ftp session is built.
std::unique_ptr<RemoteSession> makeFtpSession(const RemoteSettings&, RemoteHooks)
{
    throw Error(QStringLiteral("Ftp ist in dieser Version noch nicht verfügbar."));
}
