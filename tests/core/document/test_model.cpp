#include "document/ChannelSettings.h"
#include "document/FeedDocument.h"
#include "document/uGlobalTools.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

TEST(GlobalTools, GuidTextHasTheFixedShape)
{
    const QString a = GlobalTools::GenerateGUID();
    const QString b = GlobalTools::GenerateGUID();
    EXPECT_NE(a, b);
    for (const QString& g : {a, b}) {
        ASSERT_EQ(g.size(), 38) << g.toStdString();
        EXPECT_EQ(g.front(), u'{');
        EXPECT_EQ(g.back(), u'}');
        for (int i = 1; i < 37; ++i) {
            const bool hyphenPlace = i == 9 || i == 14 || i == 19 || i == 24;
            if (hyphenPlace)
                EXPECT_EQ(g[i], u'-') << g.toStdString();
            else
                EXPECT_TRUE(QStringLiteral("0123456789ABCDEF").contains(g[i])) << g.toStdString();
        }
    }
}

TEST(ChannelSettings, TableHoldsTheSixtyTwoKeysInStorageOrderThenTheLaterOnes)
{
    const auto all = ChannelSettings::all();
    ASSERT_GT(all.size(), 62u);
    EXPECT_STREQ(all.front().key, "edtFeedTitle");
    EXPECT_STREQ(all[12].key, "edtTTL");
    EXPECT_STREQ(all[13].key, "chkMonday");
    EXPECT_STREQ(all[43].key, "chkH23");
    EXPECT_STREQ(all[61].key, "edtFileNameAtom");
    EXPECT_STREQ(all[62].key, "cboFTPProtocol");
    EXPECT_STREQ(all[63].key, "edtFeedUrl");
    EXPECT_STREQ(all[64].key, "chkEnclosures");
    QSet<QString> keys;
    for (const ChannelSetting& s : all)
        keys.insert(QString::fromLatin1(s.key));
    EXPECT_EQ(keys.size(), qsizetype(all.size()));
    EXPECT_EQ(ChannelSettings::indexOf(u"cboLanguage"), 51);
    EXPECT_EQ(ChannelSettings::indexOf(u"nope"), -1);
    for (const QString& key : ChannelSettings::hourKeys() + ChannelSettings::dayKeys())
        EXPECT_GE(ChannelSettings::indexOf(key), 0) << key.toStdString();
}

TEST(ChannelSettings, ListsKeepTheirIrregularRows)
{
    const QStringList& languages = ChannelSettings::languages();
    ASSERT_EQ(languages.size(), 96);
    EXPECT_EQ(languages[ChannelSettings::kDefaultLanguageIndex], "German (Germany) [de-de]");
    for (const char* row : {"Icelandic is]", "Portuguese (Brazil) [vpt-br]",
                            "English (Phillipines) [en-ph]", "Faeroese [fo]", "Ukranian [uk]"})
        EXPECT_TRUE(languages.contains(QString::fromLatin1(row))) << row;
    EXPECT_EQ(languages.front(), "Afrikaans [af]");
    EXPECT_EQ(languages.back(), "Ukranian [uk]");

    const QStringList& encodings = ChannelSettings::encodings();
    ASSERT_EQ(encodings.size(), 17);
    EXPECT_EQ(encodings.front(), "UTF-8");
    EXPECT_EQ(encodings[ChannelSettings::kDefaultEncodingIndex], "ISO-8859-15");
    EXPECT_EQ(encodings.back(), "ISO-8859-16");
}

TEST(FeedDocument, StartsAtTheDefaultsAndRenewsDatesAndGuid)
{
    FeedDocument doc;
    EXPECT_EQ(doc.text(u"edtFeedTitle"), "");
    EXPECT_EQ(doc.text(u"edtTTL"), "0");
    EXPECT_EQ(doc.text(u"edtFTPPort"), "21");
    EXPECT_EQ(doc.text(u"edtFileNameRSS"), "rss.xml");
    EXPECT_EQ(doc.text(u"cboLanguage"), "German (Germany) [de-de]");
    EXPECT_EQ(doc.text(u"cboEncoding"), "ISO-8859-15");
    EXPECT_TRUE(doc.flag(u"chkGenRSS"));
    EXPECT_TRUE(doc.flag(u"chkGenAtom"));
    EXPECT_FALSE(doc.flag(u"chkPublish"));
    EXPECT_TRUE(doc.entries.isEmpty());

    const QDateTime now(QDate(2024, 7, 1), QTime(9, 30, 15));
    doc.renewDatesAndGuid(now);
    EXPECT_EQ(doc.date(u"datePublish"), now.date());
    EXPECT_EQ(doc.time(u"timeLastChange"), now.time());
    EXPECT_EQ(doc.text(u"edtGUID").size(), 38);

    EXPECT_THROW(doc.text(u"chkPublish"), std::bad_variant_access);
    EXPECT_THROW(doc.setFlag(u"edtFeedTitle", true), std::bad_variant_access);
    EXPECT_THROW(doc.text(u"unknown"), std::out_of_range);
}

std::unique_ptr<TNewsEntry> entry(const char* title)
{
    auto e = std::make_unique<TNewsEntry>();
    e->title = QString::fromLatin1(title);
    return e;
}

QStringList titles(const NewsEntryList& list)
{
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.at(i).title;
    return out;
}

TEST(NewsEntryList, KeepsOrderThroughItsOperations)
{
    NewsEntryList list;
    list.append(entry("b"));
    list.insertFront(entry("a"));
    list.append(entry("c"));
    EXPECT_EQ(titles(list), QStringList({"a", "b", "c"}));
    list.exchange(1, 2);
    EXPECT_EQ(titles(list), QStringList({"a", "c", "b"}));
    list.deleteAt(0);
    EXPECT_EQ(titles(list), QStringList({"c", "b"}));
    EXPECT_THROW(list.deleteAt(2), std::out_of_range);

    NewsEntryList copy = list;
    copy.at(0).title = "changed";
    EXPECT_EQ(list.at(0).title, "c");

    list.deleteAt(0);
    list.deleteAt(0);
    EXPECT_TRUE(list.isEmpty());
}

TEST(TNewsEntry, NewEntryIsEmptyAtTheZeroMoment)
{
    const TNewsEntry e;
    EXPECT_TRUE(e.title.isEmpty() && e.fileUrl.isEmpty() && e.mime.isEmpty());
    EXPECT_FALSE(e.chkPublish);
    EXPECT_EQ(e.date, QDate(1899, 12, 30));
    EXPECT_EQ(e.time, QTime(0, 0));
}

} // namespace
