#include "platform/Error.h"
#include "platform/RecentFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QDateTime at(int minute)
{
    return QDateTime(QDate(2026, 3, 1), QTime(10, minute), Qt::UTC);
}

class RecentFilesTest : public ::testing::Test
{
protected:
    QString file(const QString& name, bool create = true) const
    {
        const QString path = m_dir.filePath(name);
        if (create) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
        }
        return path;
    }
    QStringList paths(const RecentFiles& list) const
    {
        QStringList names;
        for (const RecentFile& item : list.items())
            names << QDir(m_dir.path()).relativeFilePath(item.path);
        return names;
    }
    QString store() const { return m_dir.filePath("config/recent.xml"); }
    QString xbel() const { return m_dir.filePath("data/recently-used.xbel"); }

    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

TEST_F(RecentFilesTest, NewestFirstWithoutDuplicatesAndAtMostTen)
{
    RecentFiles list(store());
    for (int i = 1; i <= 12; ++i)
        list.add(file(QString("p%1.tvst").arg(i)), at(i));
    list.add(file("p5.tvst"), at(13)); // used again: moves to the front
    EXPECT_EQ(paths(list), QStringList({"p5.tvst", "p12.tvst", "p11.tvst", "p10.tvst", "p9.tvst",
                                        "p8.tvst", "p7.tvst", "p6.tvst", "p4.tvst", "p3.tvst"}));

    // A relative name or one with ".." is the same file.
    list.add(m_dir.filePath("sub/../p3.tvst"), at(14));
    EXPECT_EQ(paths(list).first(), "p3.tvst");
    EXPECT_EQ(list.items().size(), RecentFiles::kLimit);
}

TEST_F(RecentFilesTest, KeptOwnerOnlyAndReadBack)
{
    RecentFiles list(store());
    list.add(file("a.tvst"), at(1));
    list.add(file("b & c.tvst"), at(2));
    list.save();
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(store()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    RecentFiles again(store());
    again.load();
    EXPECT_EQ(paths(again), QStringList({"b & c.tvst", "a.tvst"}));
    EXPECT_EQ(again.items().first().used, at(2));
}

TEST_F(RecentFilesTest, BrokenStoreGivesAnEmptyList)
{
    QDir().mkpath(m_dir.filePath("config"));
    QFile f(store());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<recent><file><path>x");
    f.close();
    RecentFiles list(store());
    list.load();
    EXPECT_TRUE(list.items().isEmpty());
}

TEST_F(RecentFilesTest, MissingFilesStayUntilRemoved)
{
    RecentFiles list(store());
    list.add(file("gone.tvst"), at(1));
    list.add(file("here.tvst"), at(2));
    list.add(file("also-gone.tvst"), at(3));
    QFile::remove(file("gone.tvst", false));
    QFile::remove(file("also-gone.tvst", false));
    EXPECT_EQ(list.items().size(), 3);
    EXPECT_EQ(list.removeMissing(), 2);
    EXPECT_EQ(paths(list), QStringList({"here.tvst"}));
    EXPECT_TRUE(list.remove(file("here.tvst", false)));
    EXPECT_FALSE(list.remove(file("here.tvst", false)));
}

TEST_F(RecentFilesTest, DesktopEntriesAreMergedByTimeOnce)
{
    RecentFiles list(store());
    list.add(file("old.tvst"), at(1));
    list.add(file("new.tvst"), at(5));
    list.mergeDesktopEntries({{file("middle.tvst"), at(3)},
                              {file("newest.tvst"), at(9)},
                              {file("old.tvst"), at(7)}}); // used elsewhere since
    EXPECT_EQ(paths(list), QStringList({"newest.tvst", "old.tvst", "new.tvst", "middle.tvst"}));

    // A removed entry is not brought back by the same desktop entry.
    list.remove(file("newest.tvst", false));
    list.mergeDesktopEntries({{file("newest.tvst"), at(9)},
                              {file("later.tvst"), at(10)},
                              {file("gone.tvst", false), at(11)}});
    EXPECT_EQ(paths(list), QStringList({"later.tvst", "old.tvst", "new.tvst", "middle.tvst"}));

    list.save();
    RecentFiles again(store());
    again.load();
    again.mergeDesktopEntries({{file("newest.tvst"), at(9)}});
    EXPECT_EQ(paths(again), paths(list));
}

// An XBEL list as another program left it.
const char* const kForeignXbel = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"
>
  <bookmark href="file:///home/u/Brief%20an%20Oma.odt" added="2026-02-01T08:00:00.000000Z" modified="2026-02-01T08:00:00.000000Z" visited="2026-02-01T08:00:00.000000Z">
    <title>Brief &amp; Karte</title>
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="application/vnd.oasis.opendocument.text"/>
        <bookmark:applications>
          <bookmark:application name="LibreOffice" exec="&apos;soffice %u&apos;" modified="2026-02-01T08:00:00Z" count="2"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
  <bookmark href="file:///home/u/verein.tvst" added="2026-02-02T08:00:00Z" modified="2026-02-02T09:00:00Z" visited="2026-02-02T09:30:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="application/xml"/></metadata></info>
  </bookmark>
  <bookmark href="file:///home/u/umbenannt.projekt" added="2026-02-03T08:00:00Z" modified="2026-02-03T08:00:00Z" visited="2026-02-03T08:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="application/x-tavistrel"/></metadata></info>
  </bookmark>
  <bookmark href="sftp://server/feed.tvst" added="2026-02-04T08:00:00Z" modified="2026-02-04T08:00:00Z" visited="2026-02-04T08:00:00Z"/>
</xbel>
)";

TEST_F(RecentFilesTest, DesktopListGivesOurTypeByExtensionOrMimeType)
{
    QDir().mkpath(m_dir.filePath("data"));
    QFile f(xbel());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kForeignXbel);
    f.close();
    const QList<RecentFile> found = DesktopRecentFiles::read(xbel());
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].path, "/home/u/verein.tvst");
    EXPECT_EQ(found[0].used, QDateTime(QDate(2026, 2, 2), QTime(9, 30), Qt::UTC));
    EXPECT_EQ(found[1].path, "/home/u/umbenannt.projekt");

    EXPECT_TRUE(DesktopRecentFiles::read(m_dir.filePath("none.xbel")).isEmpty());
}

// Bookmarks of the list as (href, visited, application count) in order.
QStringList bookmarks(const QByteArray& xml)
{
    QStringList result;
    QXmlStreamReader in(xml);
    while (!in.atEnd()) {
        in.readNext();
        if (in.isStartElement() && in.name() == u"bookmark")
            result << in.attributes().value("href").toString();
        if (in.isStartElement() && in.name() == u"application")
            result.last() += " " + in.attributes().value("name").toString() + "=" +
                             in.attributes().value("count").toString();
    }
    EXPECT_FALSE(in.hasError()) << in.errorString().toStdString();
    return result;
}

TEST_F(RecentFilesTest, WritingTheDesktopListKeepsOtherEntries)
{
    QDir().mkpath(m_dir.filePath("data"));
    QFile f(xbel());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kForeignXbel);
    f.close();

    const QString project = file("Mein Feed.tvst");
    DesktopRecentFiles::add(xbel(), project, at(1));
    DesktopRecentFiles::add(xbel(), project, at(2)); // refreshed, not doubled
    const QString url = QUrl::fromLocalFile(project).toString(QUrl::FullyEncoded);
    const QByteArray written = readAll(xbel());
    EXPECT_EQ(bookmarks(written),
              QStringList({"file:///home/u/Brief%20an%20Oma.odt LibreOffice=2",
                           "file:///home/u/verein.tvst", "file:///home/u/umbenannt.projekt",
                           "sftp://server/feed.tvst", url + " Tavistrel=2"}));
    EXPECT_TRUE(written.contains("<title>Brief &amp; Karte</title>")) << written.constData();

    const QList<RecentFile> found = DesktopRecentFiles::read(xbel());
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found.last().path, project);
    EXPECT_EQ(found.last().used, at(2));
}

TEST_F(RecentFilesTest, DesktopListIsMadeWhenMissingAndLeftAloneWhenBroken)
{
    const QString project = file("a.tvst");
    DesktopRecentFiles::add(xbel(), project, at(1));
    EXPECT_EQ(DesktopRecentFiles::read(xbel()).size(), 1);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(xbel()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const QByteArray made = readAll(xbel());
    EXPECT_TRUE(made.contains("xmlns:bookmark=")) << made.constData();
    EXPECT_TRUE(made.contains("<mime:mime-type type=\"application/x-tavistrel\"/>"));

    const QByteArray broken = "<xbel version=\"1.0\"><bookmark href=\"file:///x\">";
    QFile f(xbel());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(broken);
    f.close();
    EXPECT_THROW(DesktopRecentFiles::add(xbel(), project, at(2)), Error);
    EXPECT_EQ(readAll(xbel()), broken);
}

} // namespace
