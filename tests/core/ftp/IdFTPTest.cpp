// TIdFTP against the scripted server: the exact commands it sends, the
// replies it accepts and how it fails.

#include "FtpClientFixture.h"
#include "platform/WholeNumber.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>

using namespace ftpact;

namespace {

// --- Connect and login -----------------------------------------------------

struct LoginCase
{
    const char* name;
    QList<std::pair<QString, QList<FtpAction>>> rules;
    QStringList transcript; // whole session, up to the failure
    int errorCode;          // 0: logged in
};

class LoginPaths : public FtpClient, public ::testing::WithParamInterface<LoginCase>
{
};

TEST_P(LoginPaths, SendsTheseCommandsAndAcceptsOnlyTheseReplies)
{
    for (const auto& [key, actions] : GetParam().rules)
        server.on(key, actions);
    if (GetParam().errorCode == 0) {
        connect();
        EXPECT_TRUE(ftp.Connected());
        EXPECT_EQ(statuses.back(),
                  std::make_pair(ftpReady, QStringLiteral("Connection established")));
    } else {
        try {
            connect();
            FAIL() << "no failure";
        } catch (const EIdReplyRFCError& e) {
            EXPECT_EQ(e.ErrorCode(), GetParam().errorCode);
        }
        EXPECT_FALSE(ftp.Connected());
    }
    EXPECT_EQ(server.transcript(), GetParam().transcript);
}

const QStringList kFullLogin = {"HOST [127.0.0.1]", "USER anna", "PASS s3cret-Pw", "FEAT",
                                "TYPE A",           "SYST",      "TYPE A"};

INSTANTIATE_TEST_SUITE_P(
    Login, LoginPaths,
    ::testing::Values(
        LoginCase{"userThenPass", {}, kFullLogin, 0},
        LoginCase{"loggedInAtUser230",
                  {{"USER", {reply("230 No password needed\r\n")}}},
                  {"HOST [127.0.0.1]", "USER anna", "FEAT", "TYPE A", "SYST", "TYPE A"},
                  0},
        LoginCase{"loggedInAtUser232",
                  {{"USER", {reply("232 Logged in, security data accepted\r\n")}}},
                  {"HOST [127.0.0.1]", "USER anna", "FEAT", "TYPE A", "SYST", "TYPE A"},
                  0},
        LoginCase{
            "greetingAfter1xx",
            {{"",
              {reply("120 Service ready in 1 minute\r\n"), pause(30), reply("220 Ready now\r\n")}}},
            kFullLogin,
            0},
        LoginCase{"multiLineSplitGreeting",
                  {{"",
                    {reply("220-Welcome\r\n220-to the"), pause(30), reply(" test\r\n22"), pause(30),
                     reply("0 ready\r\n")}}},
                  kFullLogin,
                  0},
        LoginCase{
            "hostAnswered220", {{"HOST", {reply("220 Virtual host ready\r\n")}}}, kFullLogin, 0},
        LoginCase{"greeting421", {{"", {reply("421 Too many users\r\n")}}}, {}, 421},
        LoginCase{"wrongPassword",
                  {{"PASS", {reply("530 Login incorrect.\r\n")}}},
                  {"HOST [127.0.0.1]", "USER anna", "PASS s3cret-Pw"},
                  530},
        LoginCase{"userRefused",
                  {{"USER", {reply("530 Not allowed\r\n")}}},
                  {"HOST [127.0.0.1]", "USER anna"},
                  530},
        LoginCase{"accountNeeded",
                  {{"PASS", {reply("332 Need account for login.\r\n")}}},
                  {"HOST [127.0.0.1]", "USER anna", "PASS s3cret-Pw"},
                  332},
        LoginCase{"typeRefused",
                  {{"TYPE", {reply("504 Not implemented for that parameter\r\n")}}},
                  {"HOST [127.0.0.1]", "USER anna", "PASS s3cret-Pw", "FEAT", "TYPE A"},
                  504}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtpClient, ReplyErrorCarriesTheServersTextAndClosesTheSocket)
{
    server.on("PASS", {reply("530-Login incorrect.\r\n530 Try again\r\n")});
    try {
        connect();
        FAIL() << "no failure";
    } catch (const EIdReplyRFCError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Login incorrect.\r\nTry again\r\n"));
    }
    EXPECT_FALSE(ftp.Connected());
    QElapsedTimer waited;
    waited.start();
    while (server.sessionsEnded() == 0 && waited.elapsed() < 3000)
        QThread::msleep(5);
    EXPECT_EQ(server.sessionsEnded(), 1);
}

struct FeatCase
{
    const char* name;
    QByteArray feat;
    QList<std::pair<QString, QList<FtpAction>>> rules;
    QStringList expectedAfterFeat; // up to the final TYPE A
    bool utf8;
    bool mlsd;
};

class Features : public FtpClient, public ::testing::WithParamInterface<FeatCase>
{
};

TEST_P(Features, DecideTheSessionsCommands)
{
    server.on("FEAT", {reply(GetParam().feat)});
    for (const auto& [key, actions] : GetParam().rules)
        server.on(key, actions);
    connect();
    const QStringList t = server.transcript();
    EXPECT_EQ(t.mid(t.indexOf("FEAT") + 1), GetParam().expectedAfterFeat);
    EXPECT_EQ(ftp.UsesUtf8(), GetParam().utf8);
    EXPECT_EQ(ftp.UsesMlsd(), GetParam().mlsd);
}

INSTANTIATE_TEST_SUITE_P(
    Feat, Features,
    ::testing::Values(
        FeatCase{"refused",
                 "500 FEAT not understood\r\n",
                 {},
                 {"TYPE A", "SYST", "TYPE A"},
                 false,
                 false},
        FeatCase{"noFeatureLines",
                 "211 No features\r\n",
                 {},
                 {"TYPE A", "SYST", "TYPE A"},
                 false,
                 false},
        FeatCase{"mlstAndUtf8",
                 "211-Features:\r\n MLST type*;size*;modify*;\r\n UTF8\r\n211 End\r\n",
                 {},
                 {"OPTS UTF8 ON", "TYPE A", "SYST", "TYPE A"},
                 true,
                 true},
        FeatCase{"utf8FallbackAccepted",
                 "211-Features:\r\n UTF8\r\n211 End\r\n",
                 {{"OPTS UTF8 ON", {reply("501 Unknown option\r\n")}}},
                 {"OPTS UTF8 ON", "OPTS UTF-8 NLST", "TYPE A", "SYST", "TYPE A"},
                 true,
                 false},
        FeatCase{"utf8OptsRefused504",
                 "211-Features:\r\n UTF8\r\n211 End\r\n",
                 {{"OPTS", {reply("504 Not for that parameter\r\n")}}},
                 {"OPTS UTF8 ON", "OPTS UTF-8 NLST", "TYPE A", "SYST", "TYPE A"},
                 true, // the server lists UTF8: it speaks it (RFC 2640)
                 false},
        FeatCase{"siteZone",
                 "211-Extensions supported:\r\n MDTM\r\n SITE ZONE;CHMOD\r\n211 END\r\n",
                 {{"SITE ZONE", {reply("210 UTC-300\r\n")}}},
                 {"TYPE A", "SYST", "SITE ZONE", "TYPE A"},
                 false,
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtpClient, SiteZoneOffsetIsKept)
{
    server.on("FEAT", {reply("211-Features:\r\n SITE ZONE\r\n211 End\r\n")});
    server.on("SITE ZONE", {reply("210 UTC-300\r\n")});
    connect();
    EXPECT_EQ(ftp.ServerUtcOffsetMinutes(), -300);
}

TEST_F(FtpClient, SiteZoneOffsetBeyondADayIsIgnored)
{
    server.on("FEAT", {reply("211-Features:\r\n SITE ZONE\r\n211 End\r\n")});
    server.on("SITE ZONE", {reply("210 UTC540094932\r\n")});
    connect();
    EXPECT_EQ(ftp.ServerUtcOffsetMinutes(), std::nullopt);
}

TEST_F(FtpClient, PortKeepsTheLow16BitsOfTheWholeNumber)
{
    server.start();
    const auto number = WholeNumber::parse(QString::number(server.port() + 65536));
    ASSERT_TRUE(number);
    ftp.Port = *number;
    ftp.Connect();
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(server.connections(), 1);
}

struct RefusedSetting
{
    const char* host;
    int port;
    bool hostError;
};

TEST_F(FtpClient, MissingHostOrPortFailsWithoutNetworkActivity)
{
    server.start();
    // A name of blanks is not missing: it fails at the resolution (below).
    for (const RefusedSetting& c :
         {RefusedSetting{"", 21, true}, RefusedSetting{"127.0.0.1", 0, false},
          RefusedSetting{"127.0.0.1", 65536, false}}) {
        ftp.Host = QString::fromLatin1(c.host);
        ftp.Port = c.port;
        try {
            ftp.Connect();
            ADD_FAILURE() << c.host << ":" << c.port;
        } catch (const EIdHostRequired& e) {
            EXPECT_TRUE(c.hostError);
            EXPECT_FALSE(e.message().isEmpty()); // no empty error box
        } catch (const EIdPortRequired& e) {
            EXPECT_FALSE(c.hostError);
            EXPECT_TRUE(e.message().isEmpty());
        }
    }
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(FtpClient, BlankHostFailsAtResolutionWithItsText)
{
    ftp.Host = QStringLiteral("   ");
    try {
        ftp.Connect();
        ADD_FAILURE() << "connected to a blank name";
    } catch (const EIdHostRequired&) {
        ADD_FAILURE() << "blanks taken for a missing name";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Der Rechnername")))
            << e.message().toStdString();
        EXPECT_GT(e.message().size(), QStringLiteral("Der Rechnername    konnte nicht aufgelöst "
                                                     "werden: ")
                                          .size());
    }
}

TEST_F(FtpClient, RefusedConnectionIsAnOtherFailure)
{
    quint16 closedPort;
    {
        ScriptedFtpServer gone;
        gone.start();
        closedPort = gone.port();
    }
    ftp.Port = closedPort;
    EXPECT_THROW(
        {
            try {
                ftp.Connect();
            } catch (const EIdReplyRFCError&) {
                FAIL() << "not a reply error";
            }
        },
        Error);
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpClient, WireHookSeesEveryChunkOurStatusNeverThePassword)
{
    server.on("PASS", {reply("530 Login incorrect.\r\n")});
    try {
        connect();
    } catch (const Error& e) {
        EXPECT_FALSE(e.message().contains(kPassword));
    }
    EXPECT_EQ(sent.value(2), QStringLiteral("PASS s3cret-Pw\r\n"));
    EXPECT_EQ(sent.value(0), QStringLiteral("HOST [127.0.0.1]\r\n"));
    EXPECT_EQ(received.join(QString()),
              QStringLiteral("220 Scripted FTP ready\r\n502 Not implemented\r\n"
                             "331 Password required\r\n530 Login incorrect.\r\n"));
    for (const auto& [kind, text] : statuses)
        EXPECT_FALSE(text.contains(kPassword)) << text.toStdString();
    const QList<TIdStatus> kinds = {hsResolving, hsConnecting, hsConnected};
    ASSERT_GE(statuses.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(statuses[i].first, kinds[i]);
    EXPECT_EQ(statuses[0].second, QStringLiteral("Resolving hostname 127.0.0.1."));
    EXPECT_EQ(statuses[1].second, QStringLiteral("Connecting to 127.0.0.1."));
}

// --- Commands --------------------------------------------------------------

TEST(FtpClientPwd, RetrieveCurrentDirTakesTheTextBetweenTheFirstTwoQuotes)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"257 \"/pub/feeds\" is current directory\r\n", "/pub/feeds"},
        {"257 /pub without quotes\r\n", ""},
        {"257 \"/a \"\"b\"\" c\" doubled quotes are not undone\r\n", "/a "},
        {"257-\"/first\" line\r\n257 \"/second\"\r\n", "/first"},
    };
    for (const auto& [wire, dir] : cases) {
        ScriptedFtpServer server;
        server.on("PWD", {reply(wire)});
        server.start();
        TIdFTP ftp;
        ftp.Host = QStringLiteral("127.0.0.1");
        ftp.Port = server.port();
        ftp.Connect();
        EXPECT_EQ(ftp.RetrieveCurrentDir(), dir) << wire.constData();
    }
}

TEST_F(FtpClient, ChangeDirAcceptsOnly200And250AndRefusesLineBreaks)
{
    server.on("CWD /missing", {reply("550 No such directory\r\n")});
    server.on("CWD /old", {reply("200 OK\r\n")});
    connect();
    ftp.ChangeDir(QStringLiteral("/pub"));
    ftp.ChangeDir(QStringLiteral("/old"));
    try {
        ftp.ChangeDir(QStringLiteral("/missing"));
        FAIL();
    } catch (const EIdReplyRFCError& e) {
        EXPECT_EQ(e.ErrorCode(), 550);
        EXPECT_EQ(e.message(), QStringLiteral("No such directory\r\n"));
    }
    EXPECT_TRUE(ftp.Connected()); // a failure after Connect leaves the connection open
    EXPECT_THROW(ftp.ChangeDir(QStringLiteral("x\r\nDELE feed.xml")), Error);
    const QStringList t = server.transcript();
    EXPECT_EQ(t.mid(t.size() - 3), (QStringList{"CWD /pub", "CWD /old", "CWD /missing"}));
}

TEST_F(FtpClient, ServerClosingTheControlConnectionFailsAtOnce)
{
    server.on("CWD", {closeControl()});
    connect();
    QElapsedTimer took;
    took.start();
    try {
        ftp.ChangeDir(QStringLiteral("/pub"));
        FAIL();
    } catch (const EIdReplyRFCError&) {
        FAIL() << "not a reply error";
    } catch (const Error& e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_LT(took.elapsed(), ftp.ReadTimeout);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_THROW(ftp.RetrieveCurrentDir(), Error);
}

TEST_F(FtpClient, ConnectedNoticesAnIdleCloseByTheServer)
{
    server.on("CWD", {reply("250 OK\r\n"), reply("421 Idle timeout\r\n"), closeControl()});
    connect();
    ftp.ChangeDir(QStringLiteral("/pub"));
    QElapsedTimer waited;
    waited.start();
    while (ftp.Connected() && waited.elapsed() < 3000)
        QThread::msleep(5);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_THROW(ftp.RetrieveCurrentDir(), Error);
}

TEST_F(FtpClient, SilentServerTimesOut)
{
    server.on("CWD", {});
    connect();
    ftp.ReadTimeout = 200;
    try {
        ftp.ChangeDir(QStringLiteral("/pub"));
        FAIL();
    } catch (const EIdReplyRFCError&) {
        FAIL() << "not a reply error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("200 ms")));
    }
}

TEST_F(FtpClient, AbortFromAnotherThreadEndsAHangingCommand)
{
    server.on("CWD", {});
    connect();
    ftp.ReadTimeout = 30000;
    std::thread canceller([this] {
        QThread::msleep(100);
        ftp.Abort();
    });
    QElapsedTimer took;
    took.start();
    EXPECT_THROW(ftp.ChangeDir(QStringLiteral("/pub")), Error);
    canceller.join();
    EXPECT_LT(took.elapsed(), 5000);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(statuses.back().first, ftpAborted);
}

TEST_F(FtpClient, DestructionClosesTheConnection)
{
    server.start();
    {
        TIdFTP scoped;
        scoped.Host = QStringLiteral("127.0.0.1");
        scoped.Port = server.port();
        scoped.Connect();
    }
    QElapsedTimer waited;
    waited.start();
    while (server.sessionsEnded() == 0 && waited.elapsed() < 3000)
        QThread::msleep(5);
    EXPECT_EQ(server.sessionsEnded(), 1);
}

TEST_F(FtpClient, DisconnectSaysQuitAndReportsBothSteps)
{
    connect();
    statuses.clear();
    ftp.Disconnect();
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(server.transcript().back(), QStringLiteral("QUIT"));
    ASSERT_EQ(statuses.size(), 2);
    EXPECT_EQ(statuses[0], std::make_pair(hsDisconnecting, QStringLiteral("Disconnecting.")));
    EXPECT_EQ(statuses[1], std::make_pair(hsDisconnected, QStringLiteral("Disconnected.")));
}

TEST_F(FtpClient, SetTransferTypeSendsOnlyAChange)
{
    connect();
    const int before = server.transcript().size();
    ftp.SetTransferType(ftASCII);
    ftp.SetTransferType(ftBinary);
    ftp.SetTransferType(ftBinary);
    EXPECT_EQ(afterLogin(before), QStringList{"TYPE I"});
}

} // namespace
