#include "document/ProjectFile.h"
#include "platform/RegionalSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class ProjectFileTest : public ::testing::Test
{
protected:
    void SetUp() override { RegionalSettings::setCurrent(RegionalSettings::german()); }
    void TearDown() override { RegionalSettings::resetToSystem(); }

    QString path(const QString& name = "p.tvst") const { return m_dir.filePath(name); }

    QByteArray bytes(const QString& file) const
    {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    void write(const QString& file, const QByteArray& data) const
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    // A project file of the given document, changed by `edit` on its tree.
    QByteArray edited(const FeedDocument& doc, const std::function<void(XmlNode content)>& edit)
    {
        ProjectFile::SaveProjectFile(doc, path("base.tvst"));
        XmlDocument xml;
        xml.load(path("base.tvst"));
        edit(xml.documentElement().findChild("FileContent"));
        return xml.toUtf8();
    }

    QTemporaryDir m_dir;
};

// Every setting away from its default, entries with everything filled in.
FeedDocument fullDocument()
{
    FeedDocument doc;
    const auto all = ChannelSettings::all();
    for (int i = 0; i < int(all.size()); ++i) {
        const QString key = QString::fromLatin1(all[size_t(i)].key);
        switch (all[size_t(i)].kind) {
        case SettingKind::Boolean:
            doc.setValue(i, !doc.flag(key));
            break;
        case SettingKind::Date:
            doc.setValue(i, QDate(2009, 2, 20).addDays(i));
            break;
        case SettingKind::Time:
            doc.setValue(i, QTime(18, 48, 5).addSecs(i));
            break;
        case SettingKind::MultiLineText:
            doc.setValue(i, QString("<p>Zeile 1</p>\r\n\r\nZeile 3 & mehr\r\n"));
            break;
        case SettingKind::Number:
            doc.setValue(i, QString::number(-i));
            break;
        case SettingKind::Protocol:
            doc.setValue(i, QStringLiteral("SFTP"));
            break;
        default:
            doc.setValue(i, key + QString::fromUtf8(" Wert äöü <&>"));
            break;
        }
    }
    doc.setText(u"cboLanguage", "English (United States) [en-us]");
    for (int n = 0; n < 3; ++n) {
        auto e = std::make_unique<TNewsEntry>();
        e->title = QString("Titel %1").arg(n);
        e->link = "https://example.org/" + QString::number(n);
        e->content = "Absatz\r\n\r\n<b>fett</b>\r\n";
        e->author = "Autorin";
        e->email = "a@example.org";
        e->homepage = "https://home.example.org";
        e->guid = "{GUID-" + QString::number(n) + "}";
        e->chkPublish = n % 2 == 0;
        e->date = QDate(2024, 1, 1 + n);
        e->time = QTime(23, 59, 58);
        e->fileUrl = "https://example.org/a.mp3";
        e->filesize = "12345";
        e->mime = "audio/mpeg";
        doc.entries.append(std::move(e));
    }
    return doc;
}

TEST_F(ProjectFileTest, RoundTripKeepsEverySettingAndEntry)
{
    const FeedDocument doc = fullDocument();
    ProjectFile::SaveProjectFile(doc, path());
    const FeedDocument back = ProjectFile::LoadProjectFile(path());
    for (int i = 0; i < int(ChannelSettings::all().size()); ++i)
        EXPECT_EQ(back.value(i), doc.value(i)) << ChannelSettings::all()[size_t(i)].key;
    EXPECT_TRUE(back.entries == doc.entries);
    EXPECT_EQ(back.entries.at(0).title, "Titel 0");
    EXPECT_EQ(back.entries.at(2).title, "Titel 2");
}

TEST_F(ProjectFileTest, WritesTheDocumentLayout)
{
    FeedDocument doc;
    doc.setDate(u"datePublish", QDate(2009, 2, 20));
    doc.setTime(u"publishTime", QTime(18, 48, 5, 883));
    ProjectFile::SaveProjectFile(doc, path());
    const QByteArray text = bytes(path());
    EXPECT_TRUE(text.startsWith("<xml>\n  <FileInfo>\n    <Prog>Tavistrel</Prog>\n"
                                "    <Version>1</Version>\n  </FileInfo>\n  <FileContent>\n"
                                "    <edtFeedTitle />\n"))
        << text.left(200).toStdString();
    EXPECT_TRUE(text.contains("    <datePublish>20.02.2009</datePublish>\n"));
    EXPECT_TRUE(text.contains("    <publishTime>18:48:05</publishTime>\n"));
    EXPECT_TRUE(text.contains("    <chkGenRSS>-1</chkGenRSS>\n    <chkGenAtom>-1</chkGenAtom>\n"));
    // The settings added later follow the first 62, before the entries.
    EXPECT_TRUE(text.contains("    <edtFileNameAtom>atom.xml</edtFileNameAtom>\n"
                              "    <cboFTPProtocol>FTP</cboFTPProtocol>\n"
                              "    <edtFeedUrl />\n"
                              "    <chkEnclosures>0</chkEnclosures>\n    <ItemList />\n"));

    const FeedDocument back = ProjectFile::LoadProjectFile(path());
    EXPECT_EQ(back.time(u"publishTime"), QTime(18, 48, 5)); // to the second
    EXPECT_TRUE(back.entries.isEmpty());
}

TEST_F(ProjectFileTest, EntryElementsComeInTheirOrder)
{
    FeedDocument doc;
    doc.entries.append(std::make_unique<TNewsEntry>());
    ProjectFile::SaveProjectFile(doc, path());
    XmlDocument xml;
    xml.load(path());
    const XmlNode entry =
        xml.documentElement().findChild("FileContent").findChild("ItemList").firstChild();
    QStringList names;
    for (XmlNode c = entry.firstChild(); c; c = c.nextSibling())
        names << c.name();
    EXPECT_EQ(names, QStringList({"title", "link", "content", "author", "email", "homepage", "guid",
                                  "date", "time", "fileUrl", "filesize", "mime", "chkPublish"}));
    EXPECT_EQ(entry.name(), "entries");
}

TEST_F(ProjectFileTest, BooleanTexts)
{
    struct Case
    {
        const char* text;
        std::optional<bool> value;
    };
    const Case cases[] = {{"-1", true},       {"0", false},         {"1", true},
                          {"True", true},     {"true", true},       {"FALSE", false},
                          {"false", false},   {"2", true},          {"yes", std::nullopt},
                          {"", std::nullopt}, {"-1x", std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QByteArray file = edited(FeedDocument(), [&](XmlNode content) {
            content.findChild("chkSunday").setText(QString::fromLatin1(c.text));
        });
        if (c.value) {
            EXPECT_EQ(ProjectFile::LoadProjectData(file).flag(u"chkSunday"), *c.value);
        } else {
            EXPECT_THROW(ProjectFile::LoadProjectData(file), ProjectFileError);
        }
    }
}

TEST_F(ProjectFileTest, IdentityMarkIsCheckedExactly)
{
    ProjectFile::SaveProjectFile(FeedDocument(), path());
    const QByteArray good = bytes(path());
    struct Case
    {
        QByteArray from, to;
        bool readable;
    };
    const Case cases[] = {
        {"<Version>1</Version>", "", true},
        {"<Prog>Tavistrel</Prog>", "<Prog>tavistrel</Prog>", false},
        {"<Prog>Tavistrel</Prog>", "<Prog>Other</Prog>", false},
        {"<Prog>Tavistrel</Prog>", "", false},
        {"<FileInfo>", "<Info>", false},
        {"</FileInfo>", "</Info>", false},
        {"<xml>", "<project>", true},
        {"</xml>", "</project>", true},
    };
    for (size_t i = 0; i < std::size(cases); i += 1) {
        QByteArray text = good;
        text.replace(cases[i].from, cases[i].to);
        // The root and FileInfo renames come in pairs.
        if (cases[i].from == "<xml>" || cases[i].from == "<FileInfo>") {
            text.replace(cases[i + 1].from, cases[i + 1].to);
            ++i;
        }
        SCOPED_TRACE(cases[i].to.toStdString());
        if (cases[i].readable)
            EXPECT_NO_THROW(ProjectFile::LoadProjectData(text));
        else
            EXPECT_THROW(ProjectFile::LoadProjectData(text), ProjectFileError);
    }
}

TEST_F(ProjectFileTest, MissingDuplicateAndForeignElements)
{
    FeedDocument doc;
    doc.setText(u"edtFeedTitle", "erster");
    const QByteArray noTitle = edited(doc, [](XmlNode c) { c.removeChild("edtFeedTitle"); });
    EXPECT_EQ(ProjectFile::LoadProjectData(noTitle).text(u"edtFeedTitle"), "");

    const QByteArray noMonday = edited(doc, [](XmlNode c) { c.removeChild("chkMonday"); });
    EXPECT_THROW(ProjectFile::LoadProjectData(noMonday), ProjectFileError);

    // Files written before the enclosure switch existed read it as off; a
    // present but broken value still fails.
    doc.setFlag(u"chkEnclosures", true);
    EXPECT_TRUE(ProjectFile::LoadProjectData(edited(doc, [](XmlNode) {})).flag(u"chkEnclosures"));
    const QByteArray older = edited(doc, [](XmlNode c) { c.removeChild("chkEnclosures"); });
    EXPECT_FALSE(ProjectFile::LoadProjectData(older).flag(u"chkEnclosures"));
    const QByteArray broken = edited(doc, [](XmlNode c) {
        c.removeChild("chkEnclosures");
        c.appendChild("chkEnclosures").setText("ja");
    });
    EXPECT_THROW(ProjectFile::LoadProjectData(broken), ProjectFileError);
    doc.setFlag(u"chkEnclosures", false);

    const QByteArray extra = edited(doc, [](XmlNode c) {
        c.appendChild("edtFeedTitle").setText("zweiter");
        c.appendChild("Unbekannt").setText("x");
    });
    EXPECT_EQ(ProjectFile::LoadProjectData(extra).text(u"edtFeedTitle"), "erster");

    const QByteArray noItems = edited(doc, [](XmlNode c) { c.removeChild("ItemList"); });
    EXPECT_THROW(ProjectFile::LoadProjectData(noItems), ProjectFileError);

    const QByteArray noContent = edited(doc, [](XmlNode c) {
        while (c.firstChild())
            c.removeChild(c.firstChild().name());
    });
    EXPECT_THROW(ProjectFile::LoadProjectData(noContent), ProjectFileError);
}

TEST_F(ProjectFileTest, EveryChildOfItemListIsAnEntry)
{
    FeedDocument doc = fullDocument();
    ProjectFile::SaveProjectFile(doc, path());
    QByteArray text = bytes(path());
    text.replace("<entries>", "<anything>").replace("</entries>", "</anything>");
    EXPECT_EQ(ProjectFile::LoadProjectData(text).entries.size(), 3);

    // Within an entry, too, the first of two elements of a name counts,
    // wherever the elements stand.
    QByteArray shuffled = bytes(path());
    shuffled.replace("<title>Titel 0</title>",
                     "<mime>x</mime><title>Titel 0</title><title>zweiter</title>");
    const FeedDocument back = ProjectFile::LoadProjectData(shuffled);
    EXPECT_EQ(back.entries.at(0).title, "Titel 0");
    EXPECT_EQ(back.entries.at(0).mime, "x");
    EXPECT_EQ(back.entries.at(0).guid, "{GUID-0}");

    QByteArray withComment = bytes(path());
    withComment.replace("<ItemList>", "<ItemList><!-- Kommentar -->");
    EXPECT_THROW(ProjectFile::LoadProjectData(withComment), ProjectFileError);
}

TEST_F(ProjectFileTest, WhitespaceOnlyValuesReadAsEmpty)
{
    const QByteArray text = edited(FeedDocument(), [](XmlNode c) {
        c.findChild("edtFeedTitle").setText(" \t ");
        c.findChild("memoDescription").setText("\r\n  \r\n");
    });
    const FeedDocument back = ProjectFile::LoadProjectData(text);
    EXPECT_EQ(back.text(u"edtFeedTitle"), "");
    EXPECT_EQ(back.text(u"memoDescription"), "");
}

TEST_F(ProjectFileTest, LineFeedPairsBecomeLineBreaks)
{
    struct Case
    {
        const char* in;
        const char* out;
    };
    const Case cases[] = {{"a\n\nb", "a\r\nb"},
                          {"a\n\n\nb", "a\r\n\nb"},
                          {"a\n\n\n\nb", "a\r\n\r\nb"},
                          {"a\nb", "a\nb"},
                          {"a\r\nb", "a\r\nb"}};
    for (const Case& c : cases)
        EXPECT_EQ(ProjectFile::applyLineBreakRule(QString::fromLatin1(c.in)),
                  QString::fromLatin1(c.out));

    // A file whose line breaks were stored as LF LF reads with CR LF.
    const QByteArray text = edited(
        FeedDocument(), [](XmlNode c) { c.findChild("memoDescription").setText("eins\n\nzwei"); });
    EXPECT_EQ(ProjectFile::LoadProjectData(text).text(u"memoDescription"), "eins\r\nzwei");
}

TEST_F(ProjectFileTest, BrokenFilesAreRefused)
{
    write(path("broken.tvst"), "<xml><FileInfo><Prog>Tavistrel</Prog></FileInfo><FileContent>");
    write(path("empty.tvst"), "");
    write(path("baddate.tvst"), edited(FeedDocument(), [](XmlNode c) {
              c.findChild("datePublish").setText("kein Datum");
          }));
    for (const char* name : {"broken.tvst", "empty.tvst", "baddate.tvst", "missing.tvst"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(ProjectFile::LoadProjectFile(path(name)), ProjectFileError);
    }
}

TEST_F(ProjectFileTest, GermanFilesOpenUnderOtherSettings)
{
    const FeedDocument doc = fullDocument();
    ProjectFile::SaveProjectFile(doc, path());
    RegionalSettings::setCurrent(
        RegionalSettings::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
    const FeedDocument back = ProjectFile::LoadProjectFile(path());
    EXPECT_EQ(back.date(u"datePublish"), doc.date(u"datePublish"));
    EXPECT_EQ(back.time(u"publishTime"), doc.time(u"publishTime"));
    EXPECT_EQ(back.entries.at(1).date, QDate(2024, 1, 2));

    // And a file written under 12-hour settings reads back there too.
    ProjectFile::SaveProjectFile(doc, path("us.tvst"));
    EXPECT_TRUE(bytes(path("us.tvst")).contains("<time>11:59:58 PM</time>"));
    EXPECT_TRUE(ProjectFile::LoadProjectFile(path("us.tvst")) == doc);
}

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFileAndReports)
{
    ProjectFile::SaveProjectFile(fullDocument(), path());
    const QByteArray before = bytes(path());
    QDir(m_dir.path()).mkdir("folder.tvst");
    EXPECT_THROW(ProjectFile::SaveProjectFile(FeedDocument(), path("folder.tvst")), Error);
    EXPECT_THROW(ProjectFile::SaveProjectFile(FeedDocument(), path("p.tvst/inside")), Error);
    EXPECT_EQ(bytes(path()), before);
}

// The file holds the FTP password: a new file is for its owner alone, a
// replaced one keeps the mode its owner gave it.
TEST_F(ProjectFileTest, NewFilesAreOwnerOnlyAndReplacedFilesKeepTheirMode)
{
    const auto modeOf = [](const QString& file) {
        struct stat st
        {
        };
        EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        return st.st_mode & 0777;
    };
    const mode_t oldMask = ::umask(022);
    ProjectFile::SaveProjectFile(fullDocument(), path("new.tvst"));
    EXPECT_EQ(modeOf(path("new.tvst")), 0600u);
    for (const mode_t mode : {0644u, 0640u, 0600u}) {
        ASSERT_EQ(::chmod(QFile::encodeName(path("new.tvst")).constData(), mode), 0);
        ProjectFile::SaveProjectFile(FeedDocument(), path("new.tvst"));
        EXPECT_EQ(modeOf(path("new.tvst")), mode);
    }
    ::umask(oldMask);
}

TEST_F(ProjectFileTest, ProjectDataIsWhatTheFileHolds)
{
    ProjectFile::SaveProjectFile(fullDocument(), path());
    EXPECT_EQ(ProjectFile::ProjectData(fullDocument()), bytes(path()));
}

} // namespace

// The protocol element came later: files without it, and hand-edited ones
// with an unknown code, publish by plain FTP as they always did.
TEST_F(ProjectFileTest, ProtocolReadsAsFtpWhenMissingOrUnknown)
{
    struct Case
    {
        const char* stored; // nullptr: no element
        const char* read;
    };
    const Case cases[] = {
        {nullptr, "FTP"}, {"", "FTP"},       {"FTP", "FTP"},  {"FTPS", "FTPS"},
        {"SFTP", "SFTP"}, {"Gopher", "FTP"}, {"sftp", "FTP"},
    };
    for (const Case& c : cases) {
        const QByteArray data = edited(FeedDocument(), [&](XmlNode content) {
            XmlNode element = content.findChild("cboFTPProtocol");
            if (c.stored)
                element.setText(QString::fromLatin1(c.stored));
            else
                content.removeChild(QStringLiteral("cboFTPProtocol"));
        });
        EXPECT_EQ(ProjectFile::LoadProjectData(data).text(u"cboFTPProtocol"), c.read)
            << (c.stored ? c.stored : "(missing)");
    }
}
