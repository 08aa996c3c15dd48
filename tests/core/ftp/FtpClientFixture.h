#pragma once

// A client wired to a scripted server, recording what it reports.

#include "ftp/IdFTP.h"
#include "support/ScriptedFtpServer.h"

#include <gtest/gtest.h>

inline const QString kPassword = QStringLiteral("s3cret-Pw");
inline const QByteArray kUnixListing = "total 8\r\n"
                                "drwxr-xr-x  2 anna users 4096 Jan  2  2023 pub\r\n"
                                "-rw-r--r--  1 anna users  123 Jan  2  2023 feed.xml\r\n";

class FtpClient : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ftp.Host = QStringLiteral("127.0.0.1");
        ftp.Username = QStringLiteral("anna");
        ftp.Password = kPassword;
        ftp.Passive = true;
        ftp.ReadTimeout = 5000;
        ftp.Intercept = &log;
        log.OnSent = [this](const QString&, const QString& data) { sent.append(data); };
        log.OnReceived = [this](const QString&, const QString& data) { received.append(data); };
        ftp.OnStatus = [this](TIdStatus kind, const QString& text) {
            statuses.append({kind, text});
        };
    }

    void connect()
    {
        server.start();
        ftp.Port = server.port();
        ftp.Connect();
    }

    // The commands after the login that Connect() always sends.
    QStringList afterLogin(int from) const { return server.transcript().mid(from); }

    ScriptedFtpServer server;
    TIdFTP ftp;
    TIdLogEvent log;
    QStringList sent;
    QStringList received;
    QList<std::pair<TIdStatus, QString>> statuses;
};
