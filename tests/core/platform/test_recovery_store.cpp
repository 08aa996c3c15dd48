#include "platform/RecoveryStore.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st
    {
    };
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode & 0777;
}

class RecoveryStoreTest : public ::testing::Test
{
protected:
    QString folder() const { return m_dir.filePath("state/recovery"); }

    // A copy left by a program that is gone: its lock names a process id
    // that no process has.
    QString leaveCopy(const QString& base, const QByteArray& bytes, bool withLock = true)
    {
        QDir().mkpath(folder());
        QFile copy(folder() + "/" + base + ".tvst");
        EXPECT_TRUE(copy.open(QIODevice::WriteOnly));
        copy.write(bytes);
        if (withLock) {
            QFile lock(folder() + "/" + base + ".lock");
            EXPECT_TRUE(lock.open(QIODevice::WriteOnly));
            lock.write("2147483600\ntavistrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        }
        return copy.fileName();
    }

    QTemporaryDir m_dir;
};

TEST_F(RecoveryStoreTest, CopyIsPrivateAndGoesOnDiscard)
{
    RecoveryStore store(folder());
    EXPECT_FALSE(QFile::exists(store.copyPath()));
    store.write("<xml>eins</xml>");
    store.write("<xml>zwei</xml>");
    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(store.copyPath()), 0600u);
    QFile f(store.copyPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "<xml>zwei</xml>");
    store.discard();
    EXPECT_FALSE(QFile::exists(store.copyPath()));
}

TEST_F(RecoveryStoreTest, RunningProgramsKeepSeparateCopiesAndAreNoOrphans)
{
    RecoveryStore first(folder());
    RecoveryStore second(folder());
    first.write("1");
    second.write("2");
    EXPECT_NE(first.copyPath(), second.copyPath());
    EXPECT_TRUE(first.orphans().isEmpty());
    EXPECT_TRUE(second.orphans().isEmpty());
    // The owner's lock is held until it ends.
    RecoveryStore third(folder());
    EXPECT_TRUE(third.orphans().isEmpty());
}

TEST_F(RecoveryStoreTest, CopiesOfEndedProgramsAreOfferedNewestFirst)
{
    const QString older = leaveCopy("100-aaaaaa", "alt");
    QFile olderFile(older);
    ASSERT_TRUE(olderFile.open(QIODevice::ReadWrite));
    ASSERT_TRUE(olderFile.setFileTime(QDateTime(QDate(2026, 1, 1), QTime(8, 0)),
                                      QFileDevice::FileModificationTime));
    olderFile.close();
    const QString newer = leaveCopy("200-bbbbbb", "neu", false);

    RecoveryStore store(folder());
    const QList<RecoveryStore::Copy> found = store.orphans();
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].path, newer);
    EXPECT_EQ(found[1].path, older);
    EXPECT_EQ(found[1].written, QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
    // Looking does not take the copies over.
    EXPECT_EQ(store.orphans().size(), 2);
}

TEST_F(RecoveryStoreTest, DeclinedCopyStaysButIsNotOfferedAgain)
{
    const QString path = leaveCopy("300-cccccc", "abgelehnt");
    {
        RecoveryStore store(folder());
        ASSERT_EQ(store.orphans().size(), 1);
        store.decline(store.orphans().first());
    }
    RecoveryStore later(folder());
    EXPECT_TRUE(later.orphans().isEmpty());
    EXPECT_TRUE(QFile::exists(path));

    later.remove({path, {}});
    EXPECT_TRUE(QDir(folder()).entryList(QDir::Files).isEmpty());
}

TEST_F(RecoveryStoreTest, UnwritableFolderIsReported)
{
    QDir().mkpath(m_dir.filePath("state"));
    QFile blocker(folder()); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    RecoveryStore store(folder());
    EXPECT_THROW(store.write("x"), std::exception);
}

} // namespace
