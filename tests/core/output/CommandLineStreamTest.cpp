// --export-rss reads an ordinary project entry by entry and writes the feed
// as it goes; what it prints and writes is what the whole read gives, and a
// problem anywhere in the file leaves no output and the old feed intact.
#include "document/ProjectFile.h"
#include "output/FeedCheck.h"
#include "output/Rss20.h"
#include "platform/RegionalSettings.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin("Europe/Berlin");

// Findings of several kinds, in the channel and in entries, a duplicate
// GUID and a feed past 512 KB.
FeedDocument projectWithFindings()
{
    FeedDocument d;
    d.setText(u"edtFeedTitle", QStringLiteral("Verein"));
    d.setText(u"edtOwnerMail", QStringLiteral("keine-adresse"));
    d.setFlag(u"chkEnclosures", true);
    for (int i = 0; i < 400; ++i) {
        auto e = std::make_unique<TNewsEntry>();
        e->title = i == 7 ? QString() : QStringLiteral("Eintrag %1").arg(i);
        e->content = QString(1500, u'ä') + QStringLiteral("<script>x</script>");
        e->link = i % 3 ? QStringLiteral("https://example.org/%1").arg(i) : QString();
        e->guid = QStringLiteral("{G-%1}").arg(i % 250);
        e->fileUrl = QStringLiteral("https://example.org/%1.mp3").arg(i);
        e->chkPublish = true;
        e->date = QDate(2020, 1, 1).addDays(i);
        d.entries.append(std::move(e));
    }
    return d;
}

QString expectedErr(const FeedDocument& d)
{
    const QList<FeedCheck::Finding> findings =
        FeedCheck::run(d, {QDateTime::currentDateTimeUtc(), kBerlin});
    QString err;
    for (const FeedCheck::Finding& f : findings)
        err += f.line() + u'\n';
    return err + FeedCheck::summary(findings) + u'\n';
}

class CommandLineStreamTest : public ::testing::Test
{
protected:
    void SetUp() override { RegionalSettings::setCurrent(RegionalSettings::german()); }
    void TearDown() override { RegionalSettings::resetToSystem(); }

    QStringList filesLeft() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    QString project = dir.filePath(QStringLiteral("verein.tvst"));
    QString out = dir.filePath(QStringLiteral("rss.xml"));
};

TEST_F(CommandLineStreamTest, PrintsAndWritesWhatTheWholeReadGives)
{
    const FeedDocument d = projectWithFindings();
    const QByteArray saved = ProjectFile::ProjectData(d);
    // The entry list before the settings is read whole; the result is the same.
    QByteArray listFirst = saved;
    {
        const qsizetype from = listFirst.indexOf("<ItemList>");
        const qsizetype to = listFirst.indexOf("</ItemList>") + 11;
        const QByteArray list = listFirst.mid(from, to - from);
        listFirst.remove(from, to - from);
        listFirst.insert(listFirst.indexOf("<FileContent>") + 13, list);
    }
    const QString wantFeed = Rss20::GenerateRSS20(d, kBerlin);
    const QString wantErr = expectedErr(d);
    ASSERT_TRUE(wantErr.contains(u"hat auch Eintrag") && wantErr.contains(u"512 KB"))
        << wantErr.toStdString();
    for (const QByteArray& bytes : {saved, listFirst}) {
        writeFile(project, bytes);
        writeFile(out, "alt");
        const ProgramRun r = runHeadless({"--export-rss", project, out});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.err, wantErr);
        EXPECT_EQ(r.out, QStringLiteral("RSS-Datei geschrieben: %1\n").arg(out));
        EXPECT_EQ(QString::fromUtf8(readFile(out)), wantFeed);
        EXPECT_EQ(filesLeft(), QStringList({"rss.xml", "verein.tvst"}));
    }
    // Standard output gets the same feed.
    const ProgramRun toStdout = runHeadless({"--export-rss", project, "-"});
    EXPECT_EQ(toStdout.exitCode, 0);
    EXPECT_EQ(toStdout.out, wantFeed);
}

struct Broken
{
    const char* name;
    QByteArray (*edit)(QByteArray);
};

// Text changed inside the last entry: everything before it was already
// written when the problem shows.
QByteArray inLastEntry(QByteArray text, const char* from, const char* to)
{
    const qsizetype at = text.indexOf(from, text.lastIndexOf("<entries>"));
    return text.replace(at, qsizetype(qstrlen(from)), to);
}

const Broken kBroken[] = {
    {"TrailingContent", [](QByteArray t) { return t + "Rest"; }},
    {"SecondRoot", [](QByteArray t) { return t + "<xml/>"; }},
    {"UndeclaredEntity", [](QByteArray t) { return inLastEntry(t, "<title>", "<title>&nbsp;"); }},
    {"RawControlByte", [](QByteArray t) { return inLastEntry(t, "<title>", "<title>\x02"); }},
    {"InvalidUtf8", [](QByteArray t) { return inLastEntry(t, "<title>", "<title>\xE2\x82"); }},
    {"UnknownEncoding",
     [](QByteArray t) { return "<?xml version=\"1.0\" encoding=\"x-unbekannt\"?>\n" + t; }},
    {"DoctypeWithEntity",
     [](QByteArray t) {
         return "<!DOCTYPE xml [<!ENTITY e \"x\">]>\n" + inLastEntry(t, "<title>", "<title>&e;");
     }},
    {"BadDateInLastEntry", [](QByteArray t) { return inLastEntry(t, "<date>", "<date>31.02."); }},
    {"CutOff", [](QByteArray t) { return t.left(t.size() - 30); }},
};

TEST_F(CommandLineStreamTest, ErrorsAnywhereLeaveTheOldFeedAndTheUsualMessage)
{
    const QByteArray saved = ProjectFile::ProjectData(projectWithFindings());
    for (const Broken& c : kBroken) {
        writeFile(project, c.edit(saved));
        writeFile(out, "alt");
        QString cause;
        try {
            ProjectFile::LoadProjectFile(project);
        } catch (const ProjectFileError& e) {
            cause = e.message();
        }
        ASSERT_FALSE(cause.isEmpty()) << c.name;
        const ProgramRun r = runHeadless({"--export-rss", project, out});
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_EQ(r.err, QStringLiteral("tavistrel: Die Projektdatei \"%1\" kann nicht gelesen "
                                        "werden. %2\n(%3)\n")
                             .arg(project, kNotAProjectFileMessage, cause))
            << c.name;
        EXPECT_TRUE(r.out.isEmpty()) << c.name;
        EXPECT_EQ(readFile(out), "alt") << c.name;
        EXPECT_EQ(filesLeft(), QStringList({"rss.xml", "verein.tvst"})) << c.name;
    }
}

} // namespace
