#pragma once

#include "RemoteSession.h"

// How slow an SFTP session may get before it gives up: less than
// `minBytes` moved within `stallMs` (a reply counts as enough). Tests
// shorten it; everyone else keeps the defaults (1 KB/s over 60 s).
struct SftpLimits
{
    int stallMs = 60000;
    qint64 minBytes = 60 * 1024;
};

std::unique_ptr<RemoteSession> makeSftpSession(const RemoteSettings& settings, RemoteHooks hooks,
                                               SftpLimits limits);

// The OpenSSH-format file of trusted host keys, in the application data
// folder. Nothing else is read: not ~/.ssh/known_hosts, not the system's.
QString sshKnownHostsPath();
