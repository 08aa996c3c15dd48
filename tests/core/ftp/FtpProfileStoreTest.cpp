#include "ftp/FtpProfileStore.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class FtpProfileStoreTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath("profiles.xml"); }
    void write(const QByteArray& text) const
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray read(const QString& file) const
    {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    QTemporaryDir m_dir;
};

TEST_F(FtpProfileStoreTest, RoundTripKeepsEveryFieldAsTyped)
{
    const std::vector<TFtpProfile> profiles = {
        {"Haupt", "ftp.example.org", "021", "anna", "p&ss<w>rd\"'", true, RemoteProtocol::Ftps},
        {"Zweit", "10.0.0.1", " 21", "bob", "", false, RemoteProtocol::Sftp},
        {"", "", "", "", "", false},
    };
    FtpProfileStore::save(profiles, path(), false);
    const auto back = FtpProfileStore::load(path());
    EXPECT_TRUE(back.complete());
    EXPECT_EQ(back.profiles, profiles);

    const QByteArray text = read(path());
    EXPECT_TRUE(text.startsWith(
        "<xml>\n  <profiles>\n    <profile>\n      <profilename>Haupt</profilename>\n"));
    EXPECT_TRUE(text.contains("<passwort>p&amp;ss&lt;w&gt;rd\"'</passwort>\n      "
                              "<passiv>-1</passiv>\n      <protokoll>FTPS</protokoll>\n"));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FtpProfileStoreTest, NoStoreAndAnEmptyStore)
{
    EXPECT_TRUE(FtpProfileStore::load(path()).profiles.empty());
    EXPECT_TRUE(FtpProfileStore::load(path()).complete());
    FtpProfileStore::save({}, path(), false);
    EXPECT_EQ(read(path()), "<xml>\n  <profiles />\n</xml>\n");
    EXPECT_TRUE(FtpProfileStore::load(path()).profiles.empty());
}

TEST_F(FtpProfileStoreTest, PassiveTextRule)
{
    struct Case
    {
        const char* text;
        std::optional<bool> value;
    };
    const Case cases[] = {{"-1", true},         {"1", true},       {"0", false},
                          {"true", true},       {"TRUE", true},    {"False", false},
                          {"ja", std::nullopt}, {"", std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(FtpProfileStore::parseBoolean(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST_F(FtpProfileStoreTest, HandWrittenStoresLoadWhatTheyCan)
{
    write("<daten><profiles>\n"
          "  "
          "<profile><profilename>a</profilename><passiv>true</passiv><protokoll>SFTP</protokoll></"
          "profile>\n"
          "  <!-- comment -->\n"
          "  <profile><profilename>kaputt</profilename><passiv>ja</passiv></profile>\n"
          "  <eintrag><server>s</server><port>021</port><protokoll>Telnet</protokoll></eintrag>\n"
          "</profiles></daten>");
    const auto result = FtpProfileStore::load(path());
    ASSERT_EQ(result.profiles.size(), 2u);
    EXPECT_EQ(result.profiles[0].profilname, "a");
    EXPECT_TRUE(result.profiles[0].passiv);
    EXPECT_EQ(result.profiles[0].protokoll, RemoteProtocol::Sftp);
    EXPECT_EQ(result.profiles[1].protokoll, RemoteProtocol::Ftp); // unknown code
    EXPECT_EQ(result.profiles[1].server, "s");
    EXPECT_EQ(result.profiles[1].port, "021");
    EXPECT_FALSE(result.profiles[1].passiv);
    EXPECT_EQ(result.error, "'ja' is not a valid boolean value");

    write("<xml><andere/></xml>");
    EXPECT_TRUE(FtpProfileStore::load(path()).profiles.empty());
    EXPECT_TRUE(FtpProfileStore::load(path()).complete());
}

TEST_F(FtpProfileStoreTest, AnUnreadableStoreIsKeptBeforeItIsReplaced)
{
    const QByteArray broken = "<xml><profiles><profile><server>geheim";
    write(broken);
    const auto result = FtpProfileStore::load(path());
    EXPECT_FALSE(result.complete());
    EXPECT_TRUE(result.error.contains("Zeile: 1")) << result.error.toStdString();

    FtpProfileStore::save(result.profiles, path(), !result.complete());
    EXPECT_EQ(read(path() + ".bak"), broken);
    EXPECT_TRUE(FtpProfileStore::load(path()).complete());
}

} // namespace
