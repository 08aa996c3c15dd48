#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st
    {
    };
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mode;
}

class PrivateTempFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_base.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("TMPDIR", m_oldTmp); }

    QString preferred() const
    {
        return m_base.path() + "/tavistrel-" + QString::number(::getuid());
    }

    QTemporaryDir m_base;
    QByteArray m_oldTmp;
};

TEST_F(PrivateTempFolder, IsMadeClosedToOthersAndReused)
{
    const QString folder = Folders::privateTempFolder();
    EXPECT_EQ(folder, preferred() + "/");
    EXPECT_EQ(modeOf(folder) & 0777, 0700u);
    EXPECT_EQ(Folders::privateTempFolder(), folder);
}

TEST_F(PrivateTempFolder, OpenFolderIsClosedAgain)
{
    QDir().mkpath(preferred());
    ::chmod(QFile::encodeName(preferred()).constData(), 0777);
    EXPECT_EQ(Folders::privateTempFolder(), preferred() + "/");
    EXPECT_EQ(modeOf(preferred()) & 0777, 0700u);
}

TEST_F(PrivateTempFolder, ForeignOrLinkedNameIsNotUsed)
{
    QTemporaryDir elsewhere;
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere.path()).constData(),
                        QFile::encodeName(preferred()).constData()),
              0);
    const QString folder = Folders::privateTempFolder();
    EXPECT_NE(folder, preferred() + "/");
    EXPECT_TRUE(folder.startsWith(m_base.path() + "/tavistrel-"));
    EXPECT_TRUE(S_ISDIR(modeOf(folder)));
    EXPECT_EQ(modeOf(folder) & 0777, 0700u);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Two uploads at once (an editor and a scheduled --upload) each write their
// own file of the same name; each is gone when its run ends.
TEST_F(PrivateTempFolder, RunFilesAreOwnAndGoneAfterTheRun)
{
    QString first, second;
    {
        const Folders::PrivateRunFile a(QStringLiteral("tvst_temp.xml"));
        const Folders::PrivateRunFile b(QStringLiteral("tvst_temp.xml"));
        first = a.path();
        second = b.path();
        EXPECT_NE(first, second);
        for (const QString& path : {first, second}) {
            EXPECT_TRUE(path.startsWith(preferred() + "/")) << path.toStdString();
            EXPECT_TRUE(path.endsWith("/tvst_temp.xml")) << path.toStdString();
            EXPECT_EQ(modeOf(QFileInfo(path).path()) & 0777, 0700u);
        }
        writeFile(first, "<rss>eins</rss>");
        writeFile(second, "<rss>zwei</rss>");
        QFile f(first);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "<rss>eins</rss>");
    }
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_EQ(QDir(preferred()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}

// A run that fails (an exception on its way out) leaves nothing either, also
// when it never wrote its file.
TEST_F(PrivateTempFolder, RunFileIsGoneAfterAFailedRun)
{
    for (const bool written : {true, false}) {
        QString path;
        try {
            const Folders::PrivateRunFile file(QStringLiteral("tvst_temp.xml"));
            path = file.path();
            if (written)
                writeFile(path, "<rss/>");
            throw std::runtime_error("upload failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_FALSE(path.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_EQ(
            QDir(preferred()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
    }
}

TEST(Folders, AppDataFolderEndsInTheProgramName)
{
    EXPECT_TRUE(Folders::appDataFolder().endsWith("/Tavistrel"));
    Folders::setProgramFolder("/some/where");
    EXPECT_EQ(Folders::programFolder(), "/some/where/");
    Folders::setProgramFolder(QString());
}

} // namespace
