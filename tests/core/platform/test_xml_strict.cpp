#include "platform/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

// What XML 1.0 forbids is refused with a German reason and the line, not
// read half-way; every encoding a declaration names is decoded.
namespace {

struct RefusedCase
{
    const char* name;
    QByteArray data;
    const char* reason; // part of the message
    int line;           // 0: no line given
};

class XmlRefused : public ::testing::TestWithParam<RefusedCase>
{
};

TEST_P(XmlRefused, WithReasonAndLine)
{
    const RefusedCase& c = GetParam();
    XmlDocument doc;
    try {
        doc.loadFromData(c.data);
        FAIL() << "read without error";
    } catch (const XmlError& e) {
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason))) << e.message().toStdString();
        if (c.line > 0)
            EXPECT_TRUE(e.message().contains(QStringLiteral("Zeile: %1\n").arg(c.line)))
                << e.message().toStdString();
        else
            EXPECT_FALSE(e.message().contains(u"Zeile")) << e.message().toStdString();
    }
    EXPECT_TRUE(doc.documentElement().isNull());
}

QByteArray utf16le(const char* text)
{
    QStringEncoder encoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    return encoder(QString::fromUtf8(text));
}

const RefusedCase kRefused[] = {
    {"TrailingText", "<r><a>1</a></r>\nMüll", "Text außerhalb des Wurzelelements", 2},
    {"TextBeforeRoot", "Müll<r/>", "Text außerhalb des Wurzelelements", 1},
    {"SecondRoot", "<r/>\n\n<s/>", "zweites Wurzelelement \"s\"", 3},
    {"UndeclaredEntity", "<r>\n<a>&nbsp;</a></r>", "nicht deklarierte Entität \"&nbsp;\"", 2},
    {"EntityInAttribute", "<r a=\"&x;\"/>", "nicht deklarierte Entität", 1},
    {"BareAmpersand", "<r>Max & Moritz</r>", "ohne Entitätsverweis", 1},
    {"RawControlByte", "<r>\n\n<a>x\x01y</a></r>", "Steuerzeichen (Code 1)", 3},
    {"RawControlByteInComment", "<r><!-- \x1b --></r>", "Steuerzeichen (Code 27)", 1},
    {"InvalidUtf8", "<r>\n<a>gr\xfc\xdf</a></r>", "Ungültige UTF-8-Bytefolge", 2},
    {"OverlongUtf8", "<r>\xc0\xaf</r>", "Ungültige UTF-8-Bytefolge", 1},
    {"Utf8Surrogate", "<r>\xed\xa0\x80</r>", "Ungültige UTF-8-Bytefolge", 1},
    {"UnknownEncoding", "<?xml version=\"1.0\" encoding=\"x-nirgendwo\"?><r/>",
     "Zeichenkodierung \"x-nirgendwo\" wird nicht unterstützt", 0},
    {"DeclaredUtf16ButNarrow", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>",
     "als \"UTF-16\" ausgewiesen", 0},
    {"BytesOutsideTheEncoding", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r>\x81</r>",
     "nicht vorkommen", 0},
    {"MismatchedEndTag", "<r>\n<a></b></r>", "End-Tag passt nicht", 2},
    {"NoRoot", "<!-- nur ein Kommentar -->", "Kein Wurzelelement", 1},
    // Lines of a UTF-16 file are counted in characters, not in bytes.
    {"Utf16LineNumber", utf16le("<r>\n<a>ä</a>\n<b>\n</c></r>"), "End-Tag passt nicht", 4},
};

INSTANTIATE_TEST_SUITE_P(Xml, XmlRefused, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

// The character scan takes sixteen bytes at a time and stops at every
// byte that needs a closer look: a bad byte is found, and the good ones
// around it are passed, wherever they fall in a block.
TEST(XmlScan, EveryPlaceOfABlock)
{
    // Valid, and each stops the scan: references, UTF-8, a line break, a
    // comment that starts and ends inside a block.
    const QByteArray filler = "a&lt;\xc3\xa4\n&#13;b&amp;\t\xe2\x82\xac<!-- & \xc3\xa4 -->&gt;z";
    const QString fillerText = QStringLiteral("a<ä\n\rb&\t€>z");
    const struct
    {
        const char* name;
        QByteArray bad;
        const char* reason;
    } kBad[] = {
        {"ControlByte", "\x01", "Steuerzeichen (Code 1)"},
        {"InvalidUtf8", "\xfc", "Ungültige UTF-8-Bytefolge"},
        {"CutUtf8", "\xc3", "Ungültige UTF-8-Bytefolge"},
        {"OverlongUtf8", "\xe0\x80\xaf", "Ungültige UTF-8-Bytefolge"},
        {"Utf8Surrogate", "\xed\xa0\x80", "Ungültige UTF-8-Bytefolge"},
        {"StrayContinuation", "\x80", "Ungültige UTF-8-Bytefolge"},
        {"BareAmpersand", "& ", "ohne Entitätsverweis"},
        {"UndeclaredEntity", "&nbsp;", "nicht deklarierte Entität \"&nbsp;\""},
    };
    for (int pad = 0; pad < 40; ++pad) {
        const QByteArray head = "<r>" + QByteArray(pad, 'x') + filler;
        XmlDocument good;
        good.loadFromData(head + "</r>");
        EXPECT_EQ(good.documentElement().textContent(), QString(pad, u'x') + fillerText) << pad;
        for (const auto& c : kBad) {
            XmlDocument doc;
            try {
                doc.loadFromData(head + c.bad + "</r>");
                ADD_FAILURE() << c.name << " read without error at " << pad;
            } catch (const XmlError& e) {
                EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason)) &&
                            e.message().contains(u"Zeile: 2\n"))
                    << c.name << " at " << pad << ": " << e.message().toStdString();
            }
        }
    }
}

struct ReadCase
{
    const char* name;
    QByteArray data;
    const char* text; // of the root's child <a>, in UTF-8
};

class XmlRead : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(XmlRead, DecodesTheText)
{
    XmlDocument doc;
    doc.loadFromData(GetParam().data);
    EXPECT_EQ(doc.documentElement().findChild("a").text(), QString::fromUtf8(GetParam().text));
}

const ReadCase kRead[] = {
    {"Windows1252",
     "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r><a>\x80 gr\xfc\xdf</a></r>", "€ grüß"},
    {"Latin9", "<?xml version='1.0' encoding='ISO-8859-15'?><r><a>\xa4</a></r>", "€"},
    {"Latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><a>\xe4</a></r>", "ä"},
    {"Utf16WithBom", utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r><a>€</a></r>"), "€"},
    {"Utf8Declared", "<?xml version=\"1.0\" encoding=\"utf-8\"?><r><a>\xe2\x82\xac</a></r>", "€"},
    // What our own writer puts for control characters is read back.
    {"ControlCharacterReference", "<r><a>x&#01;y</a></r>", "x\x01y"},
    {"AmpersandInCdataAndComment", "<r><!-- & --><a><![CDATA[& &x;]]></a></r>", "& &x;"},
    {"BlanksAndCommentAfterRoot", "<r><a>1</a></r>\n<!-- Ende -->\n\n", "1"},
};

INSTANTIATE_TEST_SUITE_P(Xml, XmlRead, ::testing::ValuesIn(kRead),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XmlFiles, NonRegularFilesAreRefusedBeforeOpening)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.xml");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir(dir.path()).mkdir("ordner.xml");
    const struct
    {
        QString path;
        const char* reason;
    } cases[] = {
        {fifo, "ist eine Pipe"},
        {dir.filePath("ordner.xml"), "ist ein Ordner"},
        {dir.filePath("fehlt.xml"), "existiert nicht"},
        {QStringLiteral("/dev/null"), "ist ein Gerät"},
    };
    for (const auto& c : cases) {
        XmlDocument doc;
        try {
            doc.load(c.path); // a FIFO without writer would block here
            ADD_FAILURE() << "read " << c.path.toStdString();
        } catch (const FileAccessError& e) {
            EXPECT_TRUE(e.message().contains(c.path)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason)))
                << e.message().toStdString();
        }
    }
}

TEST(XmlFiles, SavingOverAFolderNamesTheCause)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("ordner.xml");
    XmlDocument doc;
    doc.createRoot("r");
    try {
        doc.save(dir.filePath("ordner.xml"));
        FAIL() << "no error";
    } catch (const FileAccessError& e) {
        EXPECT_TRUE(e.message().contains(u"ist ein Ordner")) << e.message().toStdString();
    }
}

// A full disk: a 64 KiB tmpfs, which only root can mount.
TEST(XmlFiles, FullDiskIsReportedInGermanAndKeepsTheOldFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath("klein");
    ASSERT_TRUE(QDir(dir.path()).mkdir("klein"));
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint}) != 0)
        GTEST_SKIP() << "mount -t tmpfs is not allowed here";
    const QString path = mountPoint + "/keep.xml";
    XmlDocument small;
    small.createRoot("alt");
    small.save(path);
    XmlDocument big;
    XmlNode root = big.createRoot("neu");
    for (int i = 0; i < 2000; ++i)
        root.appendChild("item").setText(QString(100, 'x'));
    QString message;
    try {
        big.save(path);
    } catch (const FileAccessError& e) {
        message = e.message();
    }
    QFile kept(path);
    const QByteArray after = kept.open(QIODevice::ReadOnly) ? kept.readAll() : QByteArray();
    const QStringList left = QDir(mountPoint).entryList(QDir::Files | QDir::Hidden);
    QProcess::execute("umount", {mountPoint});
    EXPECT_TRUE(message.contains(u"Der Datenträger ist voll")) << message.toStdString();
    EXPECT_FALSE(message.contains(u"No space")) << message.toStdString();
    EXPECT_EQ(after, "<alt />\n");
    EXPECT_EQ(left, QStringList{"keep.xml"});
}

} // namespace
