// The reply reader on arbitrary server bytes, fed in the pieces the first
// byte gives (as reads would split them), and SITE ZONE on every reply.

#include "ftp/FtpListParsers.h"
#include "ftp/FtpReplyReader.h"
#include "platform/Error.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::size_t piece = std::size_t(data[0] % 16) + 1;
    ++data;
    --size;
    FtpReplyReader reader;
    reader.setUtf8(piece % 2);
    try {
        for (std::size_t at = 0; at < size; at += piece) {
            const std::size_t n = std::min(piece, size - at);
            reader.feed(QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(n)));
            while (const auto reply = reader.next()) {
                (void)reply->text();
                (void)FtpListParsers::parseSiteZoneReply(*reply);
            }
        }
    } catch (const Error&) {
    }
    return 0;
}
