// TIdFTP's data connections against the scripted server: PASV forms, the
// transfer replies in every order a server sends them, active mode, uploads.

#include "FtpClientFixture.h"

#include <QFile>
#include <QTemporaryDir>

using namespace ftpact;

namespace {

const QList<FtpAction> kListingOk = {reply("150 Listing\r\n"), data(kUnixListing), closeData(),
                                     reply("226 Done\r\n")};

struct PasvCase
{
    const char* name;
    QByteArray pasv;
    bool namesOtherAddress;
};

class PassiveReplies : public FtpClient, public ::testing::WithParamInterface<PasvCase>
{
};

TEST_P(PassiveReplies, DataConnectionGoesToTheControlPeer)
{
    server.on("PASV", {reply(GetParam().pasv)});
    server.on("LIST", kListingOk);
    connect();
    QStringList lines;
    ftp.List(&lines);
    EXPECT_EQ(lines.size(), 3);
    ASSERT_EQ(ftp.DirectoryListing().size(), 2);
    EXPECT_EQ(ftp.DirectoryListing()[0].FileName, QStringLiteral("pub"));
    EXPECT_EQ(ftp.DirectoryListing()[0].ItemType, ditDirectory);
    EXPECT_EQ(ftp.DirectoryListing()[1].Size, 123);
    bool logged = false;
    for (const auto& [kind, text] : statuses)
        logged = logged || text.contains(QStringLiteral("10.9.8.7"));
    EXPECT_EQ(logged, GetParam().namesOtherAddress);
    EXPECT_EQ(statuses.back(), std::make_pair(ftpReady, QStringLiteral("Transfer complete")));
}

INSTANTIATE_TEST_SUITE_P(
    Pasv, PassiveReplies,
    ::testing::Values(
        PasvCase{"parentheses", "227 Entering Passive Mode (127,0,0,1,%PORT%).\r\n", false},
        PasvCase{"afterLastBlank", "227 Entering Passive Mode 127,0,0,1,%PORT%\r\n", false},
        PasvCase{"otherAddress", "227 Entering Passive Mode (10,9,8,7,%PORT%)\r\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct TransferCase
{
    const char* name;
    QList<FtpAction> actions;
    bool upload;
    int errorCode;       // 0: success, -1: a failure other than a reply error
    int expectedEntries; // listings
};

class TransferReplies : public FtpClient, public ::testing::WithParamInterface<TransferCase>
{
};

TEST_P(TransferReplies, SucceedOnlyOnAnAcceptedFinalReply)
{
    const TransferCase& c = GetParam();
    server.on(c.upload ? "STOR" : "LIST", c.actions);
    connect();
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("feed.xml"));
    {
        QFile f(local);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(200 * 1024, 'x'));
    }
    int code = 0;
    try {
        if (c.upload)
            ftp.Put(local, QStringLiteral("feed.xml"));
        else
            ftp.List();
    } catch (const EIdReplyRFCError& e) {
        code = e.ErrorCode();
    } catch (const Error&) {
        code = -1;
    }
    EXPECT_EQ(code, c.errorCode);
    if (code == 0 && !c.upload) {
        EXPECT_EQ(ftp.DirectoryListing().size(), c.expectedEntries);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TransferReplies,
    ::testing::Values(
        TransferCase{"listing", kListingOk, false, 0, 2},
        TransferCase{"status125", {reply("125 Data connection open\r\n"), data(kUnixListing),
                                   closeData(), reply("250 OK\r\n")}, false, 0, 2},
        TransferCase{"listing450IsEmpty", {reply("450 No files found\r\n")}, false, 0, 0},
        TransferCase{"noPreliminaryReply",
                     {data(kUnixListing), closeData(), reply("226 Done\r\n")}, false, 0, 2},
        TransferCase{"finalBeforeDataEnds",
                     {reply("150 Listing\r\n"), reply("226 Done\r\n"), pause(100),
                      data(kUnixListing), closeData()},
                     false, 0, 2},
        TransferCase{"unrecognisedIsEmpty",
                     {reply("150 Listing\r\n"), data("?? what is this  listing\r\n"), closeData(),
                      reply("226 Done\r\n")},
                     false, 0, 0},
        TransferCase{"listRefused", {reply("550 Permission denied\r\n")}, false, 550, 0},
        TransferCase{"preliminaryThen421",
                     {reply("150 Listing\r\n"), reply("421 Shutting down\r\n"), closeControl()},
                     false, 421, 0},
        TransferCase{"preliminaryThen426DataStillOpen",
                     {reply("150 Listing\r\n"), data("drwxr-xr-x 2 a b 1 Jan 1 2023 x\r\n"),
                      reply("426 Transfer aborted\r\n"), pause(300), closeData()},
                     false, 426, 0},
        TransferCase{"preliminaryThen426AfterData",
                     {reply("150 Listing\r\n"), data(kUnixListing), closeData(),
                      reply("426 Connection closed; transfer aborted\r\n")},
                     false, 426, 0},
        TransferCase{"controlClosedMidTransfer",
                     {reply("150 Listing\r\n"), closeControl()}, false, -1, 0},
        TransferCase{"upload", {reply("150 Ok\r\n"), receiveData(), reply("226 Stored\r\n")},
                     true, 0, 0},
        TransferCase{"uploadDiskFull",
                     {reply("150 Ok\r\n"), receiveData(), reply("552 Exceeded storage\r\n")},
                     true, 552, 0},
        TransferCase{"uploadRefusedEarly",
                     {reply("150 Ok\r\n"), closeData(), reply("552 Quota exceeded\r\n")},
                     true, 552, 0},
        TransferCase{"uploadPreliminary110", {reply("110 Restart marker\r\n"), receiveData(),
                                              reply("226 Stored\r\n")}, true, 0, 0},
        TransferCase{"uploadRefused",
                     {reply("553 Not allowed\r\n")}, true, 553, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtpClient, MlstFeatureListsWithMlsdAndPretComesFirst)
{
    server.on("FEAT", {reply("211-Features:\r\n MLST type*;size*;\r\n PRET\r\n211 End\r\n")});
    server.on("MLSD", {reply("150 Listing\r\n"),
                       data("type=cdir; .\r\ntype=dir;modify=20240102030405; pub\r\n"
                            "type=file;size=5; a b.txt\r\n"),
                       closeData(), reply("226 Done\r\n")});
    server.on("PRET", {reply("200 OK\r\n")});
    connect();
    const int before = server.transcript().size();
    ftp.List();
    EXPECT_EQ(afterLogin(before), (QStringList{"PRET MLSD", "PASV", "MLSD"}));
    ASSERT_EQ(ftp.DirectoryListing().size(), 2);
    EXPECT_EQ(ftp.DirectoryListing()[1].FileName, QStringLiteral("a b.txt"));
    EXPECT_EQ(ftp.DirectoryListing()[0].ModifiedDate,
              QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC).toLocalTime());
}

TEST_F(FtpClient, PutSendsTheLocalBytesUnchangedUnderTypeA)
{
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += char(i % 256);
    bytes += "line\r\nunix\nmac\r";
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("tvst_temp.xml"));
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    connect();
    const int before = server.transcript().size();
    ftp.Put(local, QStringLiteral("feed.xml"));
    EXPECT_EQ(server.received(), bytes);
    EXPECT_EQ(afterLogin(before), (QStringList{"PASV", "STOR feed.xml"}));
    QFile again(local);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), bytes);
}

TEST_F(FtpClient, PutOfAnUnreadableFileFailsBeforeStor)
{
    connect();
    const int before = server.transcript().size();
    EXPECT_THROW(ftp.Put(QStringLiteral("/nonexistent/feed.xml"), QStringLiteral("feed.xml")),
                 Error);
    EXPECT_TRUE(afterLogin(before).isEmpty());
    EXPECT_TRUE(ftp.Connected());
}

// A slow server reads the upload for several times ReadTimeout; the time-out
// counts from the last byte moved, so the upload completes.
TEST_F(FtpClient, SlowUploadIsNotCutByTheReadTimeout)
{
    server.on("STOR", {reply("150 Ok\r\n"), receiveData(10), reply("226 Stored\r\n")});
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("big.bin"));
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray bytes(6 * 1024 * 1024, 'r');
    f.write(bytes);
    f.close();
    connect();
    ftp.ReadTimeout = 400;
    QElapsedTimer took;
    took.start();
    ftp.Put(local, QStringLiteral("big.bin"));
    EXPECT_EQ(server.received().size(), bytes.size());
    EXPECT_GT(took.elapsed(), ftp.ReadTimeout); // otherwise the case shows nothing
}

TEST_F(FtpClient, ActiveModeSendsPortForTheControlAddress)
{
    ftp.Passive = false;
    server.on("LIST", kListingOk);
    connect();
    const int before = server.transcript().size();
    ftp.List();
    const QStringList t = afterLogin(before);
    ASSERT_EQ(t.size(), 2);
    EXPECT_TRUE(t[0].startsWith(QStringLiteral("PORT 127,0,0,1,"))) << t[0].toStdString();
    EXPECT_EQ(t[1], QStringLiteral("LIST"));
    EXPECT_EQ(ftp.DirectoryListing().size(), 2);
}

TEST_F(FtpClient, ActiveModeFailures)
{
    ftp.Passive = false;
    ftp.ListenTimeout = 200;
    server.on("LIST", {reply("450 No files\r\n")});
    server.on("NLST", {reply("150 Opening, but never connecting\r\n")});
    server.on("STOR", {reply("425 Can't open data connection\r\n")});
    connect();
    // 450 is an empty listing only in passive mode.
    EXPECT_THROW(ftp.List(), EIdReplyRFCError);
    try {
        ftp.List(nullptr, QString(), false);
        FAIL();
    } catch (const EIdReplyRFCError&) {
        FAIL() << "not a reply error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("200 ms")));
    }
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("a")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    try {
        ftp.Put(f.fileName(), QStringLiteral("a"));
        FAIL();
    } catch (const EIdReplyRFCError& e) {
        EXPECT_EQ(e.ErrorCode(), 425);
    }
}

} // namespace
