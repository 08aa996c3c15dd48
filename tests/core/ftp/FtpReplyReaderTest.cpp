#include "ftp/FtpReplyReader.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

struct ReaderCase
{
    const char* name;
    QList<QByteArray> chunks; // fed one after another
    QList<FtpReply> expected;
};

class ReplyFraming : public ::testing::TestWithParam<ReaderCase>
{
};

TEST_P(ReplyFraming, FramesRepliesAcrossAndWithinReads)
{
    FtpReplyReader reader;
    QList<FtpReply> got;
    for (const QByteArray& chunk : GetParam().chunks) {
        reader.feed(chunk);
        while (auto reply = reader.next())
            got.append(*reply);
    }
    ASSERT_EQ(got.size(), GetParam().expected.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].code, GetParam().expected[i].code);
        EXPECT_EQ(got[i].lines, GetParam().expected[i].lines);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rfc959, ReplyFraming,
    ::testing::Values(
        ReaderCase{"single", {"220 Ready\r\n"}, {{220, {"Ready"}}}},
        ReaderCase{"bareLf", {"200 OK\n"}, {{200, {"OK"}}}},
        ReaderCase{"codeOnly", {"200\r\n"}, {{200, {""}}}},
        ReaderCase{"splitMidCode", {"2", "20 Rea", "dy\r", "\n"}, {{220, {"Ready"}}}},
        ReaderCase{"twoInOneRead", {"331 Pass\r\n230 In\r\n"}, {{331, {"Pass"}}, {230, {"In"}}}},
        ReaderCase{"multiLine",
                   {"211-Features:\r\n MLST size*;\r\n UTF8\r\n211 End\r\n"},
                   {{211, {"Features:", " MLST size*;", " UTF8", "End"}}}},
        // Inner lines may start with other codes or with the same code and a
        // hyphen; only "211 " closes.
        ReaderCase{"multiLineInnerCodes",
                   {"211-a\r\n211-b\r\n200 not the end\r\n211 end\r\n"},
                   {{211, {"a", "b", "200 not the end", "end"}}}},
        ReaderCase{"multiLineSplit",
                   {"220-Wel", "come\r\n220", " go\r\n"},
                   {{220, {"Welcome", "go"}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyReader, TextIsLinesWithCrLfAndGarbageFails)
{
    const FtpReply reply{530, {"Login incorrect.", "Bye"}};
    EXPECT_EQ(reply.text(), QStringLiteral("Login incorrect.\r\nBye\r\n"));

    FtpReplyReader reader;
    reader.feed("hello there\r\n");
    EXPECT_THROW(reader.next(), Error);
}

TEST(ReplyReader, Utf8OnlyAfterSwitch)
{
    FtpReplyReader reader;
    reader.feed("257 \"/\xc3\xa4\"\r\n");
    EXPECT_EQ(reader.next()->lines[0], QString::fromLatin1("\"/\xc3\xa4\""));
    reader.setUtf8(true);
    reader.feed("257 \"/\xc3\xa4\"\r\n");
    EXPECT_EQ(reader.next()->lines[0], QStringLiteral("\"/ä\""));
}

} // namespace
