// TIdFTP against real servers started by the tests: pyftpdlib (MLSD, UTF-8)
// and vsftpd (LIST in Unix format), in passive and active mode.

#include "ftp/IdFTP.h"
#include "support/FtpServerProcess.h"
#include "support/StoredFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QByteArray uploadBytes()
{
    QByteArray bytes = "<?xml version=\"1.0\"?>\r\n<rss>\n\xc3\xa4\r</rss>\r\n";
    for (int i = 0; i < 300000; ++i)
        bytes += char((i * 7) % 256);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const TIdFTPListItem* find(const TIdFTPListItems& items, const QString& name)
{
    for (const auto& item : items) {
        if (item.FileName == name)
            return &item;
    }
    return nullptr;
}

// Login, PWD, listing of files and folders, CWD, STOR under TYPE I whose
// bytes then match exactly and under TYPE A, where `asciiStored` is what the
// server makes of the bytes (the client sends them unchanged either way).
// `uploadDir` is the folder (relative to the server's root) where uploads
// are allowed; `uploadDisk` the same folder on disk.
void runSession(TIdFTP& ftp, const QString& uploadDir, const QString& uploadDisk,
                const QByteArray& asciiStored)
{
    ftp.Connect();
    ASSERT_TRUE(ftp.Connected());
    EXPECT_EQ(ftp.RetrieveCurrentDir(), QStringLiteral("/"));

    QStringList lines;
    ftp.List(&lines);
    EXPECT_FALSE(lines.isEmpty());
    const TIdFTPListItems& items = ftp.DirectoryListing();
    const TIdFTPListItem* folder = find(items, uploadDir);
    const TIdFTPListItem* file = find(items, QStringLiteral("readme.txt"));
    ASSERT_TRUE(folder) << lines.join('\n').toStdString();
    ASSERT_TRUE(file) << lines.join('\n').toStdString();
    EXPECT_EQ(folder->ItemType, ditDirectory);
    EXPECT_EQ(file->ItemType, ditFile);
    EXPECT_EQ(file->Size, 6);
    EXPECT_TRUE(file->ModifiedDate.isValid());

    ftp.ChangeDir(uploadDir);
    EXPECT_EQ(ftp.RetrieveCurrentDir(), QLatin1Char('/') + uploadDir);
    const QString local = QDir(uploadDisk).filePath(QStringLiteral("../local.bin"));
    ftp.SetTransferType(ftBinary);
    ftp.Put(local, QStringLiteral("feed.bin"));
    EXPECT_EQ(storedFileBytes(QDir(uploadDisk).filePath(QStringLiteral("feed.bin")), uploadBytes()),
              uploadBytes());
    ftp.SetTransferType(ftASCII);
    ftp.Put(local, QStringLiteral("feed.xml"));
    EXPECT_EQ(storedFileBytes(QDir(uploadDisk).filePath(QStringLiteral("feed.xml")), asciiStored),
              asciiStored);
    ftp.List();
    const TIdFTPListItem* stored = find(ftp.DirectoryListing(), QStringLiteral("feed.bin"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Size, uploadBytes().size());
    ftp.Disconnect();
    EXPECT_FALSE(ftp.Connected());
}

class Pyftpdlib : public ::testing::TestWithParam<bool>
{
};

TEST_P(Pyftpdlib, SessionWithMlsdAndUtf8)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Ordner ä")));
    writeFile(home.filePath(QStringLiteral("readme.txt")), "hello\n");
    const QString uploadDisk = home.filePath(QStringLiteral("Ordner ä"));
    writeFile(home.filePath(QStringLiteral("local.bin")), uploadBytes());

    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startPyftpdlib(home.path(), QStringLiteral("anna"), QStringLiteral("geheim"),
                                      &failure))
        << failure.toStdString();
    TIdFTP ftp;
    ftp.Host = QStringLiteral("127.0.0.1");
    ftp.Port = server.port();
    ftp.Username = QStringLiteral("anna");
    ftp.Password = QStringLiteral("geheim");
    ftp.Passive = GetParam();
    ftp.ReadTimeout = 10000;
    // pyftpdlib turns CR LF into LF on an ASCII upload.
    runSession(ftp, QStringLiteral("Ordner ä"), uploadDisk,
               QByteArray(uploadBytes()).replace("\r\n", "\n"));
    EXPECT_TRUE(ftp.UsesMlsd());
    EXPECT_TRUE(ftp.UsesUtf8());
}

INSTANTIATE_TEST_SUITE_P(Modes, Pyftpdlib, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "passive" : "active"; });

class Vsftpd : public ::testing::TestWithParam<bool>
{
};

TEST_P(Vsftpd, SessionWithUnixListing)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "vsftpd tests need root; skipped";
    QTemporaryDir top;
    const QString root = FtpServerProcess::makeVsftpdRoot(top.path());
    writeFile(root + QStringLiteral("/readme.txt"), "hello\n");
    writeFile(root + QStringLiteral("/local.bin"), uploadBytes());

    FtpServerProcess server;
    QString failure;
    if (!server.startVsftpd(root, top.path(), &failure))
        GTEST_SKIP() << "vsftpd did not start, skipped: " << failure.toStdString();
    TIdFTP ftp;
    ftp.Host = QStringLiteral("127.0.0.1");
    ftp.Port = server.port();
    ftp.Username = QStringLiteral("anonymous");
    ftp.Password = QStringLiteral("test@example.org");
    ftp.Passive = GetParam();
    ftp.ReadTimeout = 10000;
    // vsftpd stores ASCII uploads as they come (ascii_upload_enable=NO).
    runSession(ftp, QStringLiteral("upload"), root + QStringLiteral("/upload"), uploadBytes());
    EXPECT_FALSE(ftp.UsesMlsd());
}

INSTANTIATE_TEST_SUITE_P(Modes, Vsftpd, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "passive" : "active"; });

} // namespace
