// SFTP packets as bytes: what the client sends and how replies are read,
// including the malformed ones a broken or hostile server may send.

#include "ftp/SftpPackets.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A whole packet: the body (type, id, fields, in hex) with its length in front.
QByteArray packet(const char* body)
{
    const QByteArray bytes = hex(body);
    const quint32 n = quint32(bytes.size());
    const char length[] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    return QByteArray(length, 4) + bytes;
}

TEST(SftpPackets, RequestsAreFramedWithLengthTypeAndId)
{
    EXPECT_EQ(sftp::PacketWriter::init(3).bytes(), packet("01"
                                                          "00000003"));
    EXPECT_EQ(sftp::PacketWriter(sftp::Stat, 7).string("/a").bytes(), packet("11"
                                                                             "00000007"
                                                                             "00000002"
                                                                             "2f61"));
    EXPECT_EQ(
        sftp::PacketWriter(sftp::Write, 1).string("h").u64(0x100000000ULL).string("xy").bytes(),
        packet("06"
               "00000001"
               "00000001"
               "68"
               "0000000100000000"
               "00000002"
               "7879"));
}

struct ReplyCase
{
    const char* name;
    const char* body; // hex, without the length
    quint8 type;
    quint32 id;
    quint32 status;
    const char* message;
    int names;
    std::optional<quint64> size;
    bool folder;
};

// Replies as OpenSSH's sftp-server and asyncssh send them.
const ReplyCase kReplies[] = {
    {"status_ok",
     "65"
     "00000005"
     "00000000"
     "00000007"
     "53756363657373"
     "00000000",
     sftp::Status,
     5,
     sftp::Ok,
     "Success",
     0,
     {},
     false},
    {"status_without_text",
     "65"
     "00000006"
     "00000002",
     sftp::Status,
     6,
     sftp::NoSuchFile,
     "",
     0,
     {},
     false},
    {"handle",
     "66"
     "00000002"
     "00000004"
     "41424344",
     sftp::Handle,
     2,
     0,
     "",
     0,
     {},
     false},
    {"attrs_size_and_folder",
     "69"
     "00000003"
     "0000000d"
     "0000000000000400"
     "000041ed"
     "00000001"
     "00000002",
     sftp::Attrs, 3, 0, "", 0, 1024, true},
    {"name_two_entries",
     "68"
     "00000004"
     "00000002"
     "00000001"
     "2e"
     "00000001"
     "2e"
     "00000004"
     "000041ed"
     "00000008"
     "666565642e786d6c"
     "00000000"
     "00000001"
     "0000000000000006",
     sftp::Name,
     4,
     0,
     "",
     2,
     {},
     false},
};

class SftpReply : public ::testing::TestWithParam<ReplyCase>
{
};

TEST_P(SftpReply, Parses)
{
    const ReplyCase& c = GetParam();
    const QByteArray bytes = packet(c.body);
    ASSERT_EQ(sftp::completePacketLength(bytes), bytes.size());
    ASSERT_EQ(sftp::completePacketLength(bytes.left(bytes.size() - 1)), 0);
    const sftp::Reply reply = sftp::parseReply(bytes);
    EXPECT_EQ(reply.type, c.type);
    EXPECT_EQ(reply.id, c.id);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.message, QString::fromLatin1(c.message));
    EXPECT_EQ(reply.names.size(), c.names);
    EXPECT_EQ(reply.attributes.size, c.size);
    EXPECT_EQ(reply.attributes.isFolder(), c.folder);
}

void PrintTo(const ReplyCase& c, std::ostream* out)
{
    *out << c.name;
}

INSTANTIATE_TEST_SUITE_P(Replies, SftpReply, ::testing::ValuesIn(kReplies),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SftpPackets, NameEntriesKeepNameSizeAndKind)
{
    const sftp::Reply reply = sftp::parseReply(packet(kReplies[4].body));
    ASSERT_EQ(reply.names.size(), 2);
    EXPECT_EQ(reply.names[0].name, ".");
    EXPECT_TRUE(reply.names[0].attributes.isFolder());
    EXPECT_EQ(reply.names[1].name, "feed.xml");
    EXPECT_EQ(reply.names[1].attributes.size, 6u);
    EXPECT_FALSE(reply.names[1].attributes.mtime.has_value());
}

TEST(SftpPackets, VersionListsExtensions)
{
    const sftp::Reply reply =
        sftp::parseReply(packet("02"
                                "00000003"
                                "00000018"
                                "706f7369782d72656e616d65406f70656e7373682e636f6d"
                                "00000001"
                                "31"));
    EXPECT_EQ(reply.version, 3u);
    EXPECT_EQ(reply.extensions.value("posix-rename@openssh.com"), "1");
}

// A length beyond reason, a field running past the packet, an unknown type,
// a name count far larger than the packet: each is refused, none crashes.
TEST(SftpPackets, MalformedRepliesAreRefused)
{
    EXPECT_THROW(sftp::completePacketLength(hex("7fffffff65")), Error);
    EXPECT_THROW(sftp::completePacketLength(hex("00000000")), Error);
    for (const char* body : {"65"
                             "00000001"
                             "000000",
                             "66"
                             "00000002"
                             "000000ff"
                             "41424344",
                             "63"
                             "00000001",
                             "68"
                             "00000004"
                             "7fffffff",
                             "69"}) {
        EXPECT_THROW(sftp::parseReply(packet(body)), Error) << body;
    }
}

} // namespace
