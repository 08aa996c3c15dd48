// Listing parsers: real lines of each server family with the entries they
// must give, row by row and each family's rows as one listing.

#include "ftp/FtpListParsers.h"

#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace {

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toLocalTime();
}

// "Now" for listings without a year.
ListParseContext fixedNow()
{
    ListParseContext c;
    c.now = local(2024, 6, 15, 12, 0);
    return c;
}

struct Row
{
    const char* family;
    const char* line;
    const char* name;
    qint64 size;
    TIdDirItemType type;
    QDateTime date;
};

const Row kRows[] = {
    {"Unix", "drwxr-xr-x   2 anna users     4096 Jan 16 18:53 pub", "pub", 4096, ditDirectory,
     local(2024, 1, 16, 18, 53)},
    {"Unix", "-rw-r--r--   1 anna users   123456 Dec 24  2022 feed.xml", "feed.xml", 123456,
     ditFile, local(2022, 12, 24)},
    // No group column; a month after "now" belongs to last year.
    {"Unix", "-rw-r--r--   1 anna    2048 Aug  1 09:05 no group.txt", "no group.txt", 2048, ditFile,
     local(2023, 8, 1, 9, 5)},
    // A day ahead is a server clock or zone running ahead, not last year.
    {"Unix", "-rw-r--r--   1 1000 1000  77 Jun 16 10:00 tomorrow.txt", "tomorrow.txt", 77, ditFile,
     local(2024, 6, 16, 10, 0)},
    {"Unix", "-rw-r--r--   1 1000 1000  77 Jun 17 10:00 later.txt", "later.txt", 77, ditFile,
     local(2023, 6, 17, 10, 0)},
    {"Unix", "lrwxrwxrwx   1 root root        7 Mar  3  2021 current -> release-1.2", "current", 7,
     ditSymbolicLink, local(2021, 3, 3)},
    {"Unix", "lrwxrwxrwx   1 root root        4 Mar  3  2021 docs -> share/docs/", "docs", 4,
     ditSymbolicLinkDir, local(2021, 3, 3)},
    {"Unix", "crw-rw-rw-   1 root root     1,   3 Feb  1  2020 null", "null", 0, ditCharDev,
     local(2020, 2, 1)},
    {"Unix", "brw-rw----   1 root disk   8,0 Feb  1  2020 sda", "sda", 0, ditBlockDev,
     local(2020, 2, 1)},
    {"Unix", "prw-r--r--   1 anna users        0 Feb  1  2020 fifo", "fifo", 0, ditFIFO,
     local(2020, 2, 1)},
    {"Unix", "srwxrwxrwx   1 anna users        0 Feb  1  2020 sock", "sock", 0, ditSocket,
     local(2020, 2, 1)},
    {"Unix", "drwxr-xr-x+  3 anna users     4096 2023-11-05 14:22 iso dir", "iso dir", 4096,
     ditDirectory, local(2023, 11, 5, 14, 22)},
    {"Unix", "-rw-r--r--   1 anna users        5 Jan  1  2023  leading blank", " leading blank", 5,
     ditFile, local(2023, 1, 1)},
    {"Novell Netware", "d [R----F--] supervisor            512       Jan 16 18:53    login",
     "login", 512, ditDirectory, local(2024, 1, 16, 18, 53)},
    {"Novell Netware", "- [RWCEAFMS] rhesus             214059       Oct 20  2022    cx.exe",
     "cx.exe", 214059, ditFile, local(2022, 10, 20)},
    {"Novell Netware", "-[RWCEAFMS] anna 100 Jul  1 10:00 print job.txt", "print job.txt", 100,
     ditFile, local(2023, 7, 1, 10, 0)},
    {"Windows NT", "01-16-24  06:53PM       <DIR>          My Folder", "My Folder", 0, ditDirectory,
     local(2024, 1, 16, 18, 53)},
    {"Windows NT", "12-24-22  12:05AM               123456 feed.xml", "feed.xml", 123456, ditFile,
     local(2022, 12, 24, 0, 5)},
    {"Windows NT", "2023-11-05  14:22                 1,234 report.txt", "report.txt", 1234,
     ditFile, local(2023, 11, 5, 14, 22)},
    {"Windows NT", "06-15-2024  11:00AM                  77 four digit year.txt",
     "four digit year.txt", 77, ditFile, local(2024, 6, 15, 11, 0)},
    {"EPLF", "+i8388621.48594,m825718503,r,s280,\tdjb.html", "djb.html", 280, ditFile,
     QDateTime::fromSecsSinceEpoch(825718503, Qt::UTC).toLocalTime()},
    {"EPLF", "+i8388621.50690,m824255907,/,\t514", "514", 0, ditDirectory,
     QDateTime::fromSecsSinceEpoch(824255907, Qt::UTC).toLocalTime()},
    {"MLST", "type=file;size=1024;modify=20240102030405;perm=r; feed.xml", "feed.xml", 1024,
     ditFile, utc(2024, 1, 2, 3, 4, 5)},
    {"MLST", "type=dir;modify=20231231235959.123; sub dir; with semicolon",
     "sub dir; with semicolon", 0, ditDirectory, utc(2023, 12, 31, 23, 59, 59)},
    {"MLST", "Type=OS.unix=slink:/tmp;Size=3; link", "link", 3, ditSymbolicLink, QDateTime()},
    {"VMS", "FEED.XML;3              2/4        16-NOV-2023 12:34:56  [ANNA]  (RWED,RWED,RE,)",
     "FEED.XML", 1024, ditFile, local(2023, 11, 16, 12, 34, 56)},
    {"VMS", "PUB.DIR;1               1          5-JAN-2024 08:00  [ANNA]  (RWE,RWE,RE,RE)", "PUB",
     512, ditDirectory, local(2024, 1, 5, 8, 0)},
    {"OS/2", "     0           DIR   05-12-97   16:44  PSFONTS", "PSFONTS", 0, ditDirectory,
     local(1997, 5, 12, 16, 44)},
    {"OS/2", " 36611      A          04-23-103   10:57  OS2KRNL", "OS2KRNL", 36611, ditFile,
     local(2003, 4, 23, 10, 57)},
    {"OS/2", "  1234             06-01-24   09:30  read me.txt", "read me.txt", 1234, ditFile,
     local(2024, 6, 1, 9, 30)},
    {"AS400", "QSYS           77824 02/23/00 15:09:55 *DIR       QDOC/", "QDOC", 77824,
     ditDirectory, local(2000, 2, 23, 15, 9, 55)},
    {"AS400", "ANNA            1234 12/31/99 23:59:59 *STMF      feed.xml", "feed.xml", 1234,
     ditFile, local(1999, 12, 31, 23, 59, 59)},
    {"AS400", "ANNA            4096 31.12.23 08:00:00 *STMF      day first.txt", "day first.txt",
     4096, ditFile, local(2023, 12, 31, 8, 0)},
    {"AS400", "QPGMR                              *MEM       QGPL/QCLSRC.FILE/MYPGM.MBR",
     "QGPL/QCLSRC.FILE/MYPGM.MBR", 0, ditFile, QDateTime()},
    {"MVS", "WYOSPT 3420   2003/03/11  1   15  FB      80  8000  PS  USER.DATA", "USER.DATA", 0,
     ditFile, local(2003, 3, 11)},
    {"MVS", "WYOSPT 3420   2003/03/11  1   15  FB      80  8000  PO  'USER.PDS'", "USER.PDS", 0,
     ditDirectory, local(2003, 3, 11)},
    {"MVS", "Migrated                                                USER.OLD", "USER.OLD", 0,
     ditFile, QDateTime()},
    {"MVS Partitioned Data Set",
     "MEMBER1   01.01 2001/01/01 2002/02/02 12:00    10    10     0 USER", "MEMBER1", 0, ditFile,
     local(2002, 2, 2, 12, 0)},
    // The time carries the router's own offset from UTC.
    {"Cisco IOS",
     "    1  -rw-    18929788  Mar 1 1993 00:05:32 +00:00  c2600-ipbase-mz.124-15.T1.bin",
     "c2600-ipbase-mz.124-15.T1.bin", 18929788, ditFile, utc(1993, 3, 1, 0, 5, 32)},
    {"Cisco IOS", "    2  drwx         192  Jan 16 2024 18:53:10 +01:00  html", "html", 192,
     ditDirectory, utc(2024, 1, 16, 17, 53, 10)},
    {"Cisco IOS", "    3  -rw-        3136                    <no date>  vlan.dat", "vlan.dat",
     3136, ditFile, QDateTime()},
    // Variable-length records give no byte size, fixed ones records x length.
    {"VM/CMS", "PROFILE  EXEC     V         75         24          1 2006-12-13 10:35:35 LFS191",
     "PROFILE.EXEC", 0, ditFile, local(2006, 12, 13, 10, 35, 35)},
    {"VM/CMS", "FEED     XML      F         80        100          2 2023-11-05 14:22:01 ANNA191",
     "FEED.XML", 8000, ditFile, local(2023, 11, 5, 14, 22, 1)},
    {"VM/CMS", "ARCHIVE  DIR      -          -          -          - 2023-11-05 14:22:01 -",
     "ARCHIVE", 0, ditDirectory, local(2023, 11, 5, 14, 22, 1)},
    {"VM/CMS", "README   TXT      F         72         10          1  6/15/23 10:00:00 USR191",
     "README.TXT", 720, ditFile, local(2023, 6, 15, 10, 0)},
    // Blocks are 4 KiB; folder lines have no organisation, links no blocks.
    {"Stratus VOS", "w        1  seq      23-03-21 15:06:12  feed.xml", "feed.xml", 4096, ditFile,
     local(2023, 3, 21, 15, 6, 12)},
    {"Stratus VOS", "m       12  24-01-16 18:53:00  archive", "archive", 0, ditDirectory,
     local(2024, 1, 16, 18, 53)},
    {"Stratus VOS", "m           24-01-16 18:53:00  current -> %s#d01>rel>v2", "current", 0,
     ditSymbolicLink, local(2024, 1, 16, 18, 53)},
    // Folders are marked after the name; their size column is not a size.
    {"VxWorks", "   41984    OCT-10-2023  13:45:28   vxWorks.st", "vxWorks.st", 41984, ditFile,
     local(2023, 10, 10, 13, 45, 28)},
    {"VxWorks", "     512    JAN-16-2024  18:53:00   LOGS         <DIR>", "LOGS", 0, ditDirectory,
     local(2024, 1, 16, 18, 53)},
    {"VxWorks", "      77    Jun-01-2024  09:05:00   boot line.txt", "boot line.txt", 77, ditFile,
     local(2024, 6, 1, 9, 5)},
    // Sizes are hexadecimal.
    {"OS-9", "  0.0     23/11/16 1234 d-ewrewr        A4       2C0 CMDS", "CMDS", 0x2C0,
     ditDirectory, local(2023, 11, 16, 12, 34)},
    {"OS-9", " 12.3     24/01/16 1853 ------wr       1F3      1A2B feed.xml", "feed.xml", 0x1A2B,
     ditFile, local(2024, 1, 16, 18, 53)},
    // Day-first dates; a code ending in "O" is a file open while listed.
    {"Tandem", "FEEDXML          101            1234  16-Jan-24 18:53:00  \"NUNU\"  255,255",
     "FEEDXML", 1234, ditFile, local(2024, 1, 16, 18, 53)},
    {"Tandem", "ARCHIVE          101O           5120   3-Nov-23 09:05:30  \"OOOO\" 100, 12",
     "ARCHIVE", 5120, ditFile, local(2023, 11, 3, 9, 5, 30)},
    // Records x record size for fixed-length files; variable ones give none.
    {"MPE/iX", "FEEDXML            128W  FB          17       2048   1       64  1  8", "FEEDXML",
     17 * 256, ditFile, QDateTime()},
    {"MPE/iX", "README              80B  VA          12       1023   1       16  1  8", "README", 0,
     ditFile, QDateTime()},
    {"MPE/iX", "PROG      NMPRG    256W  FB         500        500   1      512  2  8", "PROG",
     500 * 512, ditFile, QDateTime()},
    {"SuperTCP", "DESIGN1.DOC          11264      05-11-95        14:20", "DESIGN1.DOC", 11264,
     ditFile, local(1995, 5, 11, 14, 20)},
    {"SuperTCP", "CMT             <DIR>           11-21-94        10:17", "CMT", 0, ditDirectory,
     local(1994, 11, 21, 10, 17)},
    // Name and extension in separate columns, 12-hour times.
    {"PC-NFSD", "FEED     XML      1234  01-16-24   6:53p", "FEED.XML", 1234, ditFile,
     local(2024, 1, 16, 18, 53)},
    {"PC-NFSD", "PUB          <DIR>     12-24-22  12:05a", "PUB", 0, ditDirectory,
     local(2022, 12, 24, 0, 5)},
    {"PC-NFSD", "README        1,512  06-01-24  11:30a", "README", 1512, ditFile,
     local(2024, 6, 1, 11, 30)},
    // Time before date; folders end in "/" and have no size.
    {"KA9Q", "autoexec.net      1,289 10:36  6/28/93", "autoexec.net", 1289, ditFile,
     local(1993, 6, 28, 10, 36)},
    {"KA9Q", "TEMP/             12:20  6/08/93", "TEMP", 0, ditDirectory,
     local(1993, 6, 8, 12, 20)},
    // The generation number is dropped; type DIRECTORY is a folder.
    {"TOPS20", "FEED.XML.3", "FEED.XML", 0, ditFile, QDateTime()},
    {"TOPS20", "MAIL.DIRECTORY.1", "MAIL", 0, ditDirectory, QDateTime()},
    // No link count or owner: the time belongs to the date, not the name.
    {"Distinct TCP/IP", "-r-xr-xr-x       7680 Oct 21 1999 08:24 distinct.exe", "distinct.exe",
     7680, ditFile, local(1999, 10, 21, 8, 24)},
    {"Distinct TCP/IP", "drwxrwxrwx          0 Feb 04 2002 14:02 temp files", "temp files", 0,
     ditDirectory, local(2002, 2, 4, 14, 2)},
    {"NLST", "feed.xml", "feed.xml", 0, ditFile, QDateTime()},
    {"NLST", "My File.txt", "My File.txt", 0, ditFile, QDateTime()},
    // A numbered mixed-case name is not a TOPS-20 generation.
    {"NLST", "backup.tar.1", "backup.tar.1", 0, ditFile, QDateTime()},
};

void expectEntry(const TIdFTPListItem& item, const Row& row)
{
    EXPECT_EQ(item.FileName, QString::fromUtf8(row.name)) << row.line;
    EXPECT_EQ(item.Size, row.size) << row.line;
    EXPECT_EQ(item.ItemType, row.type) << row.line;
    EXPECT_EQ(item.ModifiedDate, row.date)
        << row.line << " got " << item.ModifiedDate.toString(Qt::ISODate).toStdString();
}

class ListingRow : public ::testing::TestWithParam<Row>
{
};

TEST_P(ListingRow, GivesItsEntry)
{
    const Row& row = GetParam();
    QString family;
    const auto items =
        FtpListParsers::parseList({QString::fromUtf8(row.line)}, fixedNow(), &family);
    EXPECT_EQ(family, QString::fromUtf8(row.family));
    ASSERT_EQ(items.size(), 1) << row.line;
    expectEntry(items[0], row);
}

// Family and file name, e.g. "Unix_feed_xml"; a row repeating both gets a
// count, so names stay put when rows are added elsewhere.
std::string rowName(const ::testing::TestParamInfo<Row>& info)
{
    const auto words = [](const char* text) {
        std::string out;
        for (const char* c = text; *c; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c)))
                out += *c;
            else if (!out.empty() && out.back() != '_')
                out += '_';
        }
        while (!out.empty() && out.back() == '_')
            out.pop_back();
        return out;
    };
    std::string name = words(info.param.family) + '_' + words(info.param.name);
    int same = 0;
    for (std::size_t i = 0; i < info.index; ++i) {
        if (std::string_view(kRows[i].family) == info.param.family &&
            std::string_view(kRows[i].name) == info.param.name)
            ++same;
    }
    return same ? name + '_' + std::to_string(same + 1) : name;
}

INSTANTIATE_TEST_SUITE_P(Families, ListingRow, ::testing::ValuesIn(kRows), rowName);

// Each family's rows as one listing, with the headers and totals its
// servers put around them.
TEST(ListingFamilies, RowsTogetherGiveAllEntriesInOrder)
{
    const QHash<QString, std::pair<QStringList, QStringList>> frame = {
        {"Unix", {{"total 42"}, {}}},
        {"VMS", {{"Directory DISK$USER:[ANNA]", ""}, {"Total of 2 files, 5/8 blocks."}}},
        {"MVS", {{"Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname"}, {}}},
        {"MVS Partitioned Data Set",
         {{" Name     VV.MM   Created       Changed      Size  Init   Mod   Id"}, {}}},
        {"Cisco IOS", {{"Directory of flash:/"}, {"32768000 bytes total (12812288 bytes free)"}}},
        {"Stratus VOS", {{"Files: 1  Blocks: 1"}, {"Dirs: 1", "Links: 1"}}},
        {"VxWorks",
         {{"  size          date       time       name",
           "--------       ------     ------    --------"},
          {}}},
        {"OS-9",
         {{" Owner    Last modified  Attributes Sector Bytecount Name",
           "-------   ------------- ------------ ------ --------- ----"},
          {}}},
        {"Tandem", {{"File         Code             EOF  Last Modification    RWEP   Owner"}, {}}},
        {"MPE/iX",
         {{"ACCOUNT=  SYS         GROUP=  PUB",
           "FILENAME  CODE  ------------LOGICAL RECORD-----------  ----SPACE----",
           "                  SIZE  TYP        EOF      LIMIT R/B  SECTORS #X MX"},
          {}}},
        {"PC-NFSD",
         {{" Volume in drive C is TAVI", " Directory of C:\\\\PUB"},
          {"        3 file(s)       2746 bytes", "                  1234567 bytes free"}}},
        {"KA9Q", {{}, {"2 files. 1,234,567 bytes free. Disk size 20,000,000 bytes."}}},
        {"TOPS20", {{"PS:<ANONYMOUS>"}, {}}},
    };
    for (const QString& family : FtpListParsers::familyNames()) {
        QStringList lines = frame.value(family).first;
        QList<const Row*> rows;
        for (const Row& row : kRows) {
            if (QString::fromUtf8(row.family) == family) {
                lines.append(QString::fromUtf8(row.line));
                rows.append(&row);
            }
        }
        lines += frame.value(family).second;
        ASSERT_FALSE(rows.isEmpty()) << family.toStdString();
        QString got;
        const auto items = FtpListParsers::parseList(lines, fixedNow(), &got);
        EXPECT_EQ(got, family);
        ASSERT_EQ(items.size(), rows.size()) << family.toStdString();
        for (qsizetype i = 0; i < rows.size(); ++i)
            expectEntry(items[i], *rows[i]);
    }
}

TEST(ListingFamilies, MlsdLeavesOutCurrentAndParentFolders)
{
    const QStringList lines =
        FtpListParsers::splitLines("type=cdir;modify=20240101000000; /pub\r\ntype=pdir; ..\r\n"
                                   "type=file;size=5;modify=20240101000000; f\xc3\xa4.txt\r\n",
                                   true);
    const auto items = FtpListParsers::parseMlsd(lines, fixedNow());
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].FileName, QStringLiteral("fä.txt"));
}

TEST(ListingFamilies, UnrecognisedOrEmptyListingIsEmpty)
{
    const QStringList cases[] = {
        {},
        {"<html>  <body>Not a listing</body>  </html>"},
        {"total 0"},
        {"this   is   garbage", "  and so is this"},
        // Lines of the smaller families with an impossible date or field.
        {"    1  -rw-    18929788  Feb 30 1993 00:05:32 +00:00  ios.bin"},
        {"PROFILE  EXEC     V         75         24          1 2006-13-13 10:35:35 LFS191"},
        {"w        1  seq      23-02-30 15:06:12  feed.xml"},
        {"   41984    XYZ-10-2023  13:45:28   vxWorks.st"},
        {"  0.0     23/13/16 1234 d-ewrewr        A4       2C0 CMDS"},
        {"FEEDXML          101            1234  16-Foo-24 18:53:00  \"NUNU\"  255,255"},
        {"FEED     XML      1234  01-16-24  13:53p"},
        {"autoexec.net      1,289 10:36  6/28/93", "TEMP/    512  12:20  6/08/93"},
    };
    for (const QStringList& lines : cases) {
        QString family = "x";
        EXPECT_TRUE(FtpListParsers::parseList(lines, fixedNow(), &family).isEmpty())
            << lines.join('|').toStdString();
        EXPECT_TRUE(family.isEmpty());
    }
}

TEST(ListingFamilies, SiteZoneOffsetTurnsServerTimeIntoLocalTime)
{
    ListParseContext context = fixedNow();
    context.serverUtcOffsetMinutes = -300; // server clock at UTC-5
    const auto items = FtpListParsers::parseList(
        {"-rw-r--r-- 1 anna users 1 Jan 16  2023 a", "-rw-r--r-- 1 anna users 1 Jun 15 09:00 b"},
        context);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].ModifiedDate, utc(2023, 1, 16, 5, 0));
    EXPECT_EQ(items[1].ModifiedDate, utc(2024, 6, 15, 14, 0));
}

// SITE ZONE replies as servers send them, and broken ones.
TEST(SiteZone, ReplyGivesAnOffsetOnlyWithinADay)
{
    const struct
    {
        int code;
        const char* line;
        std::optional<int> minutes;
    } cases[] = {
        {210, "UTC-300", -300},
        {210, "UTC+60", 60},
        {210, "UTC0", 0},
        {210, "UTC 120", 120},
        {210, "UTC+840", 840}, // Line Islands
        {210, "UTC-1440", -1440},
        {210, "UTC+1440", 1440},
        {210, "UTC+1441", std::nullopt},
        {210, "UTC540094932", std::nullopt},
        {210, "UTC-2147483648", std::nullopt},
        {210, "UTC99999999999999999999", std::nullopt},
        {210, "UTC", std::nullopt},
        {210, "GMT+1", std::nullopt},
        {500, "UTC-300", std::nullopt},
        {202, "Command not implemented.", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FtpListParsers::parseSiteZoneReply({c.code, {QString::fromLatin1(c.line)}}),
                  c.minutes)
            << c.code << ' ' << c.line;
    }
    EXPECT_EQ(FtpListParsers::parseSiteZoneReply({210, {}}), std::nullopt);
}

TEST(SiteZone, OffsetBeyondADayIsIgnoredAndADayAheadStillGivesDates)
{
    const QStringList lines = {"-rw-r--r-- 1 anna users 1 Jan 16  2023 a",
                               "-rw-r--r-- 1 anna users 1 Jun 15 09:00 b"};
    ListParseContext context = fixedNow();
    context.serverUtcOffsetMinutes = 540094932;
    const auto broken = FtpListParsers::parseList(lines, context);
    const auto plain = FtpListParsers::parseList(lines, fixedNow());
    ASSERT_EQ(broken.size(), 2);
    EXPECT_EQ(broken[0].ModifiedDate, plain[0].ModifiedDate);
    EXPECT_EQ(broken[1].ModifiedDate, plain[1].ModifiedDate);

    context.serverUtcOffsetMinutes = 1440;
    const auto ahead = FtpListParsers::parseList(lines, context);
    ASSERT_EQ(ahead.size(), 2);
    EXPECT_EQ(ahead[0].ModifiedDate, utc(2023, 1, 15, 0, 0));
    EXPECT_EQ(ahead[1].ModifiedDate, utc(2024, 6, 14, 9, 0));
}

TEST(ListingFamilies, VmsNameWrappedOntoItsOwnLine)
{
    const auto items = FtpListParsers::parseList(
        {"Directory DISK$USER:[ANNA]", "A_VERY_LONG_FILE_NAME_FOR_VMS.TXT;12",
         "                        3/4        16-NOV-2023 12:34:56  [ANNA]  (RWED,RWED,RE,)"},
        fixedNow());
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].FileName, QStringLiteral("A_VERY_LONG_FILE_NAME_FOR_VMS.TXT"));
    EXPECT_EQ(items[0].Size, 3 * 512);
}

} // namespace
