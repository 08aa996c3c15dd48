#pragma once

#include "RemoteSession.h"

// The protocol implementations behind makeRemoteSession.
std::unique_ptr<RemoteSession> makeFtpSession(const RemoteSettings& settings, RemoteHooks hooks);
std::unique_ptr<RemoteSession> makeSftpSession(const RemoteSettings& settings, RemoteHooks hooks);
