#include "document/ProjectFile.h"
#include "output/Rss20.h"
#include "platform/RegionalSettings.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The template and the sample project as the build places them beside the
// program, and the sample's feed as a real feed reader sees it.
namespace {

QString programFile(const char* name)
{
    return QFileInfo(QStringLiteral(TAVISTREL_PROGRAM_PATH)).absolutePath() + u'/' +
           QString::fromUtf8(name);
}

RegionalSettings unitedStates()
{
    RegionalSettings us;
    us.dateOrder = RegionalSettings::DateOrder::MonthDayYear;
    us.dateSeparator = QStringLiteral("/");
    us.twelveHour = true;
    return us;
}

class SampleProjectTest : public ::testing::Test
{
protected:
    void TearDown() override { RegionalSettings::resetToSystem(); }
};

// Dates in the files are day.month.year with days above 12, so they read
// the same under any regional settings.
TEST_F(SampleProjectTest, TemplateHoldsTheDefaultsUnderAnyRegionalSettings)
{
    for (const RegionalSettings& settings : {RegionalSettings::german(), unitedStates()}) {
        RegionalSettings::setCurrent(settings);
        const FeedDocument loaded = ProjectFile::LoadProjectFile(programFile("default.tvst"));
        EXPECT_TRUE(loaded == FeedDocument());
        EXPECT_EQ(loaded.text(u"cboLanguage"), u"German (Germany) [de-de]");
        EXPECT_EQ(loaded.text(u"cboEncoding"), u"ISO-8859-15");
        EXPECT_TRUE(loaded.flag(u"chkGenRSS"));
        EXPECT_TRUE(loaded.entries.isEmpty());
    }
}

TEST_F(SampleProjectTest, SampleLoadsUnderAnyRegionalSettings)
{
    for (const RegionalSettings& settings : {RegionalSettings::german(), unitedStates()}) {
        RegionalSettings::setCurrent(settings);
        const FeedDocument sample =
            ProjectFile::LoadProjectFile(programFile("samples/beispiel.tvst"));
        ASSERT_EQ(sample.entries.size(), 4);
        EXPECT_EQ(sample.entries.at(0).date, QDate(2024, 6, 21));
        EXPECT_EQ(sample.entries.at(0).time, QTime(18, 15));
        EXPECT_TRUE(sample.entries.at(0).content.contains(u"\r\n"));
        EXPECT_FALSE(sample.entries.at(3).chkPublish);
        EXPECT_EQ(sample.date(u"datePublish"), QDate(2024, 6, 14));
    }
}

// A feed parser in wide use reads the generated file: well-formed, titles,
// items, dates in UTC, HTML descriptions decoded.
TEST_F(SampleProjectTest, FeedParserReadsTheSampleFeed)
{
    // Debian's package serves the system python, which another python3
    // first in PATH (pyenv, a virtual environment) may hide.
    QString python;
    for (const QString& candidate : {QStringLiteral("/usr/bin/python3"),
                                     QStandardPaths::findExecutable(QStringLiteral("python3"))}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable() &&
            QProcess::execute(candidate, {"-c", "import feedparser"}) == 0) {
            python = candidate;
            break;
        }
    }
    if (python.isEmpty())
        GTEST_SKIP() << "no python3 with the module feedparser (Debian: python3-feedparser): "
                        "feed parser check skipped";

    RegionalSettings::setCurrent(RegionalSettings::german());
    const FeedDocument sample = ProjectFile::LoadProjectFile(programFile("samples/beispiel.tvst"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rss.xml"));
    Rss20::GenerateRSS20(sample, path, QTimeZone("Europe/Berlin"));

    const char* script = R"(
import calendar, feedparser, json, sys
d = feedparser.parse(sys.argv[1])
t = lambda p: calendar.timegm(p) if p else None
print(json.dumps({
    "bozo": int(d.bozo), "version": d.version, "title": d.feed.get("title"),
    "language": d.feed.get("language"), "updated": t(d.feed.get("updated_parsed")),
    "published": t(d.feed.get("published_parsed")),
    "entries": [{"title": e.get("title"), "published": t(e.get("published_parsed")),
                 "author": e.get("author"), "summary": e.get("summary"),
                 "link": e.get("link")} for e in d.entries]}))
)";
    QProcess process;
    process.start(python, {"-c", QString::fromUtf8(script), path});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QJsonObject feed = QJsonDocument::fromJson(process.readAllStandardOutput()).object();

    const auto utc = [](int y, int mo, int d, int h, int mi) {
        return double(QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC).toSecsSinceEpoch());
    };
    EXPECT_EQ(feed["bozo"].toInt(), 0);
    EXPECT_EQ(feed["version"].toString(), u"rss20");
    EXPECT_EQ(feed["title"].toString(), u"Neues aus dem Heimatverein Lindenau");
    EXPECT_EQ(feed["language"].toString(), u"de-de");
    // Berlin summer time: two hours ahead of UTC.
    EXPECT_EQ(feed["published"].toDouble(), utc(2024, 6, 14, 7, 30));
    EXPECT_EQ(feed["updated"].toDouble(), utc(2024, 6, 21, 16, 15));

    const QJsonArray entries = feed["entries"].toArray();
    ASSERT_EQ(entries.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(entries[i]["title"].toString(), sample.entries.at(i).title) << i;
    EXPECT_EQ(entries[0]["published"].toDouble(), utc(2024, 6, 21, 16, 15));
    EXPECT_TRUE(entries[3]["published"].isNull());
    EXPECT_TRUE(entries[0]["author"].toString().contains(u"Margarete Schönfeld"));
    EXPECT_TRUE(entries[0]["summary"].toString().contains(u"<b>Samstag, 29. Juni</b>"));
    EXPECT_EQ(entries[1]["link"].toString(),
              u"https://www.heimatverein-lindenau.example/museum/schule-frueher");
}

} // namespace
