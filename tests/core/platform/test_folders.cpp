#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
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

TEST(Folders, AppDataFolderEndsInTheProgramName)
{
    EXPECT_TRUE(Folders::appDataFolder().endsWith("/Tavistrel"));
    Folders::setProgramFolder("/some/where");
    EXPECT_EQ(Folders::programFolder(), "/some/where/");
    Folders::setProgramFolder(QString());
}

} // namespace
