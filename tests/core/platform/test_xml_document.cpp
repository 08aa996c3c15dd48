#include "platform/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

TEST(XmlDocument, WritesIndentedUtf8WithoutDeclaration)
{
    XmlDocument doc;
    XmlNode root = doc.createRoot("xml");
    XmlNode info = root.appendChild("FileInfo");
    info.appendChild("Prog").setText("Tavistrel");
    info.appendChild("Empty");
    root.appendChild("Text").setText(QString::fromUtf8("Größe <b> & \"x\""));
    root.setAttribute("version", "2.0");

    const QByteArray expected = "<xml version=\"2.0\">\n"
                                "  <FileInfo>\n"
                                "    <Prog>Tavistrel</Prog>\n"
                                "    <Empty />\n"
                                "  </FileInfo>\n"
                                "  <Text>Gr\xC3\xB6\xC3\x9F"
                                "e &lt;b&gt; &amp; \"x\"</Text>\n"
                                "</xml>\n";
    EXPECT_EQ(doc.toUtf8(), expected);
}

TEST(XmlDocument, MultiLineTextSurvivesSaveAndParse)
{
    const QStringList values = {
        "line 1\r\nline 2",         "a\r\n\r\nb\r\n", "\r\nleading and trailing\r\n",
        "bare\nline feeds\n\nstay", "lone\rreturn",   "  blanks kept around  ",
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("t.xml");
    for (const QString& value : values) {
        SCOPED_TRACE(value.toStdString());
        XmlDocument doc;
        doc.createRoot("r").appendChild("v").setText(value);
        doc.save(path);
        XmlDocument back;
        back.load(path);
        EXPECT_EQ(back.documentElement().findChild("v").text(), value);
    }
}

TEST(XmlDocument, ParsingDropsWhitespaceTextAndKeepsComments)
{
    XmlDocument doc;
    doc.loadFromData("<?xml version=\"1.0\"?>\n<root>\n  <a>   </a>\n  <!-- note -->\n"
                     "  <b>x</b>\n</root>\n");
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.name(), "root");
    ASSERT_EQ(root.childCount(), 3);
    EXPECT_EQ(root.childAt(0).text(), "");
    EXPECT_TRUE(root.childAt(1).isComment());
    EXPECT_EQ(root.childAt(2).text(), "x");
    EXPECT_TRUE(root.childAt(3).isNull());
}

// Text that is blank only through character references counts as blank too,
// as an element's content and between elements.
TEST(XmlDocument, BlankTextFromCharacterReferencesIsInvisible)
{
    XmlDocument doc;
    doc.loadFromData("<r>&#13;\n<a>&#13;&#10; &#9;</a>&#32;<!--c-->&#13;<b>x</b>&#10;</r>");
    const XmlNode root = doc.documentElement();
    ASSERT_EQ(root.childCount(), 3);
    EXPECT_EQ(root.firstChild().name(), "a");
    EXPECT_EQ(root.childAt(0).text(), "");
    EXPECT_EQ(root.childAt(0).plainText(), "");
    EXPECT_TRUE(root.childAt(1).isComment());
    EXPECT_EQ(root.childAt(2).text(), "x");
    EXPECT_TRUE(root.childAt(2).nextSibling().isNull());
}

TEST(XmlDocument, TextOfMixedContentIsAnError)
{
    XmlDocument doc;
    doc.loadFromData("<r><m>text<i>x</i></m><c><![CDATA[<raw>]]></c></r>");
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.findChild("c").text(), "<raw>");
    try {
        root.findChild("m").text();
        FAIL() << "no error";
    } catch (const XmlError& e) {
        EXPECT_EQ(e.message(), "Das Element \"m\" enthält mehr als einen Text");
    }
}

TEST(XmlDocument, FindsAndRemovesFirstChildOfAName)
{
    XmlDocument doc;
    doc.loadFromData("<r><a>1</a><b/><a>2</a></r>");
    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.findChild("a").text(), "1");
    EXPECT_TRUE(root.findChild("A").isNull());
    EXPECT_TRUE(root.removeChild("a"));
    EXPECT_EQ(root.findChild("a").text(), "2");
    EXPECT_FALSE(root.removeChild("zzz"));
    EXPECT_EQ(root.childCount(), 2);
}

TEST(XmlDocument, ParseErrorNamesReasonLineAndSource)
{
    XmlDocument doc;
    const QByteArray text =
        "<xml>\n  <a>ok</a>\n  <b>this line is broken and rather long for sure</c>\n</xml>";
    try {
        doc.loadFromData(text);
        FAIL() << "no error";
    } catch (const XmlError& e) {
        const QStringList lines = e.message().split('\n');
        ASSERT_EQ(lines.size(), 3) << e.message().toStdString();
        EXPECT_FALSE(lines[0].isEmpty());
        EXPECT_EQ(lines[1], "Zeile: 3");
        EXPECT_EQ(lines[2],
                  QString("  <b>this line is broken and rather long for sure</c>").left(40));
    }
    EXPECT_TRUE(doc.documentElement().isNull());
}

TEST(XmlDocument, MissingFileAndEmptyTextAreErrors)
{
    XmlDocument doc;
    EXPECT_THROW(doc.load("/nonexistent/file.xml"), FileAccessError);
    EXPECT_THROW(doc.loadFromData(""), XmlError);
    EXPECT_THROW(doc.loadFromData("   "), XmlError);
}

// Entities a DTD declares are never expanded (nothing is fetched); a
// document that uses one is refused rather than read with the literal text.
TEST(XmlDocument, ExpandsNoEntitiesFromADocumentTypeDeclaration)
{
    XmlDocument doc;
    const QByteArray doctype =
        "<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\"><!ENTITY f \"boom\">]>";
    doc.loadFromData(doctype + "<r><b>&lt;&#65;&#x42;</b></r>");
    EXPECT_EQ(doc.documentElement().findChild("b").text(), "<AB");
    for (const char* use : {"<r><a>&f;</a></r>", "<r a=\"&e;\"/>"}) {
        SCOPED_TRACE(use);
        EXPECT_THROW(doc.loadFromData(doctype + use), XmlError);
    }
}

TEST(XmlDocument, ReadsByteOrderMarkAndRootNamedXml)
{
    XmlDocument doc;
    doc.loadFromData("\xEF\xBB\xBF<xml><xmlish>\xC3\xA4</xmlish></xml>");
    EXPECT_EQ(doc.documentElement().name(), "xml");
    EXPECT_EQ(doc.documentElement().findChild("xmlish").text(), QString::fromUtf8("ä"));
}

TEST(XmlDocument, SaveIntoAFolderThatIsAFileFails)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath("file");
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    XmlDocument doc;
    doc.createRoot("r");
    try {
        doc.save(blocker + "/x.xml");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(blocker + "/x.xml"));
    }
}

// A write that fails half-way (here: the file size limit, which holds for
// root too) must leave the file that was there before.
TEST(XmlDocument, FailedSaveLeavesTheOldFileIntact)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.xml");
    XmlDocument small;
    small.createRoot("old");
    small.save(path);
    const QByteArray before = readAll(path);

    XmlDocument big;
    XmlNode root = big.createRoot("new");
    for (int i = 0; i < 2000; ++i)
        root.appendChild("item").setText(QString(100, 'x'));

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_THROW(big.save(path), Error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.xml"});
}

} // namespace

namespace {

// Texts decoded into a string that is reused, as entries are read: the same
// characters as QString::fromUtf8 gives, wherever a multi-byte sequence
// falls among the sixteen-byte blocks of plain ASCII, and whatever the
// string held before.
TEST(XmlDocument, TextIntoAReusedStringAsFromUtf8)
{
    const QByteArray kSequences[] = {
        "\xc3\xa4",     "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xef\xbf\xbf", "\xf4\x8f\xbf\xbf",
        "\xe0\xa0\x80", "\xee\x80\x80", "\xed\x9f\xbf",     "\xc2\x80",     "\xef\xbb\xbf",
        "\x7f",         "\t",
    };
    QString reused = QString(200, u'#');
    for (const QByteArray& sequence : kSequences) {
        for (int at = 0; at <= 20; ++at) {
            const QByteArray text =
                QByteArray(at, 'x') + sequence + QByteArray(20 - at, 'y') + sequence;
            XmlDocument doc;
            doc.loadFromUtf8("<r>" + text + "</r>");
            QString fresh;
            doc.documentElement().plainTextInto(fresh);
            EXPECT_EQ(fresh, QString::fromUtf8(text)) << sequence.toHex().constData() << " " << at;
            doc.documentElement().plainTextInto(reused);
            EXPECT_EQ(reused, QString::fromUtf8(text)) << sequence.toHex().constData() << " " << at;
        }
    }
    // A byte order mark at the very start is dropped, as fromUtf8 does.
    XmlDocument doc;
    doc.loadFromUtf8("<r>\xef\xbb\xbf"
                     "a</r>");
    doc.documentElement().plainTextInto(reused);
    EXPECT_EQ(reused, QStringLiteral("a"));
}

} // namespace
