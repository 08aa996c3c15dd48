// The project read entry by entry: the same document as the whole read for
// files in the ordinary form, and "not read this way" for everything else,
// so that the whole read can decide and word the message.
#include "document/ProjectFile.h"
#include "platform/RegionalSettings.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>

namespace {

FeedDocument sampleDocument(int entries)
{
    FeedDocument doc;
    doc.setText(u"edtFeedTitle", QStringLiteral("Vereinsnachrichten <&>"));
    doc.setText(u"memoDescription", QStringLiteral("Zeile eins\r\nZeile zwei ä"));
    doc.setFlag(u"chkEnclosures", true);
    doc.setDate(u"datePublish", QDate(2024, 1, 15));
    for (int i = 0; i < entries; ++i) {
        auto e = std::make_unique<TNewsEntry>();
        e->title = QStringLiteral("Titel %1").arg(i);
        e->content = QStringLiteral("<p>Text\r\nmit &amp; Umlaut ö 😀</p>");
        e->guid = QStringLiteral("{GUID-%1}").arg(i);
        e->date = QDate(2024, 2, 1 + i);
        e->time = QTime(8, i);
        e->chkPublish = i % 2 == 0;
        e->fileUrl = i == 1 ? QStringLiteral("https://example.org/a b.mp3") : QString();
        doc.entries.append(std::move(e));
    }
    return doc;
}

// The document the streamed read gives, or nullopt when it declined.
std::optional<FeedDocument> streamed(const QByteArray& data)
{
    FeedDocument got;
    bool channelSeen = false;
    const bool read = ProjectFile::StreamProjectData(
        data,
        [&](const FeedDocument& channel) {
            EXPECT_FALSE(channelSeen);
            EXPECT_TRUE(channel.entries.isEmpty());
            channelSeen = true;
            for (int i = 0; i < int(ChannelSettings::all().size()); ++i)
                got.setValue(i, channel.value(i));
        },
        [&](const TNewsEntry& entry) {
            EXPECT_TRUE(channelSeen);
            got.entries.append(std::make_unique<TNewsEntry>(entry));
        });
    if (!read)
        return std::nullopt;
    EXPECT_TRUE(channelSeen);
    return got;
}

struct Case
{
    const char* name;
    // Applied to the bytes of a saved three-entry project.
    QByteArray (*edit)(QByteArray);
};

class ProjectStreamTest : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override { RegionalSettings::setCurrent(RegionalSettings::german()); }
    void TearDown() override { RegionalSettings::resetToSystem(); }
    QByteArray project() const { return ProjectFile::ProjectData(sampleDocument(3)); }
};

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

QByteArray replaced(QByteArray text, const char* from, const char* to)
{
    return text.replace(from, to);
}

// The last entry's start tag, for edits that must land at the very end.
QByteArray inLastEntry(QByteArray text, const char* from, const char* to)
{
    const qsizetype last = text.lastIndexOf("<entries>");
    const qsizetype at = text.indexOf(from, last);
    return text.replace(at, qsizetype(qstrlen(from)), to);
}

// Files in the ordinary form: read entry by entry, the same document.
const Case kStreamed[] = {
    {"AsSaved", [](QByteArray t) { return t; }},
    {"Declaration",
     [](QByteArray t) { return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + t; }},
    {"ByteOrderMark", [](QByteArray t) { return "\xEF\xBB\xBF" + t; }},
    {"CommentsAndCdata",
     [](QByteArray t) {
         t = replaced(t, "<FileInfo>", "<!-- <ItemList> --><FileInfo>");
         return replaced(t, "<title>Titel 1</title>",
                         "<title><![CDATA[Titel 1]]></title><!-- </entries> -->");
     }},
    {"QuotedGreaterThanInAttributes",
     [](QByteArray t) { return replaced(t, "<entries>", "<entries a=\"x>y\" b='/>'>"); }},
    {"NoEntries",
     [](QByteArray t) {
         const qsizetype from = t.indexOf("<ItemList>");
         return t.replace(from, t.indexOf("</ItemList>") + 11 - from, "<ItemList/>");
     }},
    {"EmptyEntryElement",
     [](QByteArray t) {
         return replaced(t, "</ItemList>",
                         "<entries><date>30.12.1899</date><time>00:00:00</time>"
                         "<chkPublish>False</chkPublish></entries></ItemList>");
     }},
    {"OtherRootName",
     [](QByteArray t) {
         return replaced(replaced(t, "<xml>", "<project>"), "</xml>", "</project>");
     }},
};

TEST_P(ProjectStreamTest, OrdinaryFilesGiveTheWholeReadsDocument)
{
    const QByteArray data = GetParam().edit(project());
    const FeedDocument whole = ProjectFile::LoadProjectData(data);
    const std::optional<FeedDocument> got = streamed(data);
    ASSERT_TRUE(got.has_value()) << data.left(400).toStdString();
    EXPECT_EQ(*got, whole);
}

INSTANTIATE_TEST_SUITE_P(Table, ProjectStreamTest, ::testing::ValuesIn(kStreamed), caseName);

class ProjectStreamDeclines : public ProjectStreamTest
{
};

// Declined: either unusual but valid (the whole read takes it) or broken
// (the whole read refuses it); the entries handed over so far are dropped.
const Case kDeclined[] = {
    {"ItemListBeforeSettings",
     [](QByteArray t) {
         const qsizetype from = t.indexOf("<ItemList>");
         const qsizetype to = t.indexOf("</ItemList>") + 11;
         const QByteArray list = t.mid(from, to - from);
         t.remove(from, to - from);
         return t.insert(t.indexOf("<FileContent>") + 13, list);
     }},
    {"SettingAfterItemList",
     [](QByteArray t) { return replaced(t, "</ItemList>", "</ItemList><Extra>1</Extra>"); }},
    {"CommentBetweenEntries",
     [](QByteArray t) { return replaced(t, "</entries>", "</entries><!-- x -->"); }},
    {"DocumentType", [](QByteArray t) { return "<!DOCTYPE xml>\n" + t; }},
    {"DeclaredLatin1",
     [](QByteArray t) { return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + t; }},
    {"LongDeclarationNamingLatin1",
     [](QByteArray t) {
         return "<?xml version=\"1.0\"" + QByteArray(600, ' ') + "encoding=\"ISO-8859-1\"?>\n" + t;
     }},
    {"Utf16",
     [](QByteArray t) {
         const QString text = QString::fromUtf8(t);
         return QByteArray("\xFF\xFE") +
                QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
     }},
    {"TrailingText", [](QByteArray t) { return t + "Rest"; }},
    {"SecondRoot", [](QByteArray t) { return t + "<xml/>"; }},
    {"CommentAfterRoot", [](QByteArray t) { return t + "<!-- x -->"; }},
    {"UndeclaredEntityInLastEntry",
     [](QByteArray t) { return inLastEntry(t, "<title>", "<title>&nbsp;"); }},
    {"RawControlByteInLastEntry",
     [](QByteArray t) { return inLastEntry(t, "<title>", "<title>\x01"); }},
    {"InvalidUtf8InLastEntry",
     [](QByteArray t) { return inLastEntry(t, "<title>", "<title>\xC3\x28"); }},
    {"BadDateInLastEntry", [](QByteArray t) { return inLastEntry(t, "<date>", "<date>99."); }},
    {"MismatchedEndTagInLastEntry",
     [](QByteArray t) { return inLastEntry(t, "</title>", "</titel>"); }},
    {"CutOffInLastEntry", [](QByteArray t) { return t.left(t.lastIndexOf("</entries>")); }},
    {"TextBetweenEntries", [](QByteArray t) { return replaced(t, "</entries>", "</entries>x"); }},
    {"SlashInRootEndTag", [](QByteArray t) { return replaced(t, "</xml>", "</xml/>"); }},
    {"SlashInItemListEndTag",
     [](QByteArray t) { return replaced(t, "</ItemList>", "</ItemList/>"); }},
    {"SlashInFileContentEndTag",
     [](QByteArray t) { return replaced(t, "</FileContent>", "</FileContent />"); }},
    {"NoItemList",
     [](QByteArray t) {
         const qsizetype from = t.indexOf("<ItemList>");
         return t.remove(from, t.indexOf("</ItemList>") + 11 - from);
     }},
    {"SecondFileContent",
     [](QByteArray t) {
         const qsizetype from = t.indexOf("<ItemList>");
         t.remove(from, t.indexOf("</ItemList>") + 11 - from);
         return replaced(t, "</FileContent>",
                         "</FileContent><FileContent><ItemList></ItemList></FileContent>");
     }},
};

TEST_P(ProjectStreamDeclines, TheWholeReadDecides)
{
    const QByteArray data = GetParam().edit(project());
    EXPECT_FALSE(streamed(data).has_value()) << data.left(400).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, ProjectStreamDeclines, ::testing::ValuesIn(kDeclined), caseName);

TEST_F(ProjectStreamTest, ReadsAFileLargerThanOneChunk)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gross.tvst"));
    FeedDocument doc = sampleDocument(3);
    // Many small entries, then one far larger than a read.
    for (int i = 0; i < 3000; ++i)
        doc.entries.append(std::make_unique<TNewsEntry>(doc.entries.at(i % 3)));
    doc.entries.at(2000).content = QString(3 * 1024 * 1024, u'x');
    ProjectFile::SaveProjectFile(doc, path);
    FeedDocument got;
    ASSERT_TRUE(ProjectFile::StreamProjectFile(
        path,
        [&](const FeedDocument& channel) {
            for (int i = 0; i < int(ChannelSettings::all().size()); ++i)
                got.setValue(i, channel.value(i));
        },
        [&](const TNewsEntry& e) { got.entries.append(std::make_unique<TNewsEntry>(e)); }));
    EXPECT_EQ(got, ProjectFile::LoadProjectFile(path));
    // Not a regular file: declined, the whole read names the cause.
    EXPECT_FALSE(ProjectFile::StreamProjectFile(
        dir.path(), [](const FeedDocument&) {}, [](const TNewsEntry&) {}));
}

} // namespace

namespace {

// The caller stops the read by throwing, here while entries are still being
// parsed ahead: the exception comes out, nothing hangs.
TEST_F(ProjectStreamTest, WhatTheCallerThrowsPassesThrough)
{
    FeedDocument doc = sampleDocument(3);
    for (int i = 0; i < 1000; ++i)
        doc.entries.append(std::make_unique<TNewsEntry>(doc.entries.at(i % 3)));
    const QByteArray data = ProjectFile::ProjectData(doc);
    for (const int stopAt : {0, 5, 1002}) {
        int seen = 0;
        EXPECT_THROW(ProjectFile::StreamProjectData(
                         data, [](const FeedDocument&) {},
                         [&](const TNewsEntry&) {
                             if (seen++ == stopAt)
                                 throw std::runtime_error("Abbruch");
                         }),
                     std::runtime_error)
            << stopAt;
        EXPECT_EQ(seen, stopAt + 1);
    }
}

} // namespace

namespace {

// Entries are parsed in batches on more than one thread and handed over in
// file order: counts around a batch's size read like the whole file, and a
// broken entry in any batch makes the read decline, whichever thread meets
// it.
TEST_F(ProjectStreamTest, BatchesKeepTheOrderAndAnyBrokenEntryDeclines)
{
    for (const int count : {127, 128, 129, 256, 257, 1000}) {
        FeedDocument doc = sampleDocument(3);
        for (int i = 3; i < count; ++i) {
            doc.entries.append(std::make_unique<TNewsEntry>(doc.entries.at(i % 3)));
            doc.entries.at(i).title = QStringLiteral("Titel %1").arg(i);
        }
        const QByteArray data = ProjectFile::ProjectData(doc);
        const std::optional<FeedDocument> got = streamed(data);
        ASSERT_TRUE(got.has_value()) << count;
        EXPECT_EQ(*got, ProjectFile::LoadProjectData(data)) << count;
    }
    FeedDocument doc = sampleDocument(3);
    for (int i = 3; i < 1000; ++i)
        doc.entries.append(std::make_unique<TNewsEntry>(doc.entries.at(i % 3)));
    for (const int broken : {0, 127, 128, 500, 999}) {
        doc.entries.at(broken).title = QStringLiteral("Kaputt");
        const QByteArray data = ProjectFile::ProjectData(doc);
        // A date the entry cannot decode, and a raw control character.
        for (const auto& [from, to] :
             {std::pair{"<title>Kaputt</title>", "<date>kein Datum</date>"},
              std::pair{"<title>Kaputt</title>", "<title>\x01</title>"}}) {
            const QByteArray bad = QByteArray(data).replace(from, to);
            EXPECT_FALSE(streamed(bad).has_value()) << broken << " " << to;
        }
        doc.entries.at(broken).title = QStringLiteral("Titel");
    }
}

} // namespace
