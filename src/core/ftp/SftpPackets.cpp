#include "SftpPackets.h"

#include "platform/Error.h"

#include <QtEndian>

namespace sftp {
namespace {

constexpr quint32 kAttrSize = 0x1;
constexpr quint32 kAttrUidGid = 0x2;
constexpr quint32 kAttrPermissions = 0x4;
constexpr quint32 kAttrTimes = 0x8;
constexpr quint32 kAttrExtended = 0x80000000;

[[noreturn]] void malformed()
{
    throw Error(QStringLiteral("Der SFTP-Server hat eine ungültige Antwort geschickt."));
}

// Reads big-endian fields; every read checks the bounds first.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    quint8 u8()
    {
        need(1);
        return quint8(m_bytes[m_pos++]);
    }
    quint32 u32()
    {
        need(4);
        const quint32 v = qFromBigEndian<quint32>(m_bytes.data() + m_pos);
        m_pos += 4;
        return v;
    }
    quint64 u64()
    {
        need(8);
        const quint64 v = qFromBigEndian<quint64>(m_bytes.data() + m_pos);
        m_pos += 8;
        return v;
    }
    QByteArray string()
    {
        const quint32 length = u32();
        need(length);
        QByteArray s(m_bytes.data() + m_pos, qsizetype(length));
        m_pos += length;
        return s;
    }
    bool atEnd() const { return m_pos >= m_bytes.size(); }

private:
    void need(quint64 count) const
    {
        if (count > quint64(m_bytes.size() - m_pos))
            malformed();
    }

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

Attributes readAttributes(Reader& in)
{
    Attributes a;
    const quint32 flags = in.u32();
    if (flags & kAttrSize)
        a.size = in.u64();
    if (flags & kAttrUidGid) {
        in.u32();
        in.u32();
    }
    if (flags & kAttrPermissions)
        a.permissions = in.u32();
    if (flags & kAttrTimes) {
        in.u32(); // access time
        a.mtime = in.u32();
    }
    if (flags & kAttrExtended) {
        const quint32 count = in.u32();
        for (quint32 i = 0; i < count; ++i) {
            in.string();
            in.string();
        }
    }
    return a;
}

void appendU32(QByteArray& out, quint32 value)
{
    char raw[4];
    qToBigEndian(value, raw);
    out.append(raw, 4);
}

} // namespace

PacketWriter::PacketWriter(Type type, quint32 id)
{
    m_body.append(char(type));
    appendU32(m_body, id);
}

PacketWriter PacketWriter::init(quint32 version)
{
    PacketWriter w;
    w.m_body.append(char(Init));
    appendU32(w.m_body, version);
    return w;
}

PacketWriter& PacketWriter::u32(quint32 value)
{
    appendU32(m_body, value);
    return *this;
}

PacketWriter& PacketWriter::u64(quint64 value)
{
    char raw[8];
    qToBigEndian(value, raw);
    m_body.append(raw, 8);
    return *this;
}

PacketWriter& PacketWriter::string(QByteArrayView bytes)
{
    appendU32(m_body, quint32(bytes.size()));
    m_body.append(bytes.data(), bytes.size());
    return *this;
}

QByteArray PacketWriter::bytes() const
{
    QByteArray out;
    out.reserve(m_body.size() + 4);
    appendU32(out, quint32(m_body.size()));
    out.append(m_body);
    return out;
}

qsizetype completePacketLength(QByteArrayView buffer)
{
    if (buffer.size() < 4)
        return 0;
    const quint32 length = qFromBigEndian<quint32>(buffer.data());
    if (length == 0 || length > kMaxPacket)
        malformed();
    return buffer.size() >= qsizetype(length) + 4 ? qsizetype(length) + 4 : 0;
}

Reply parseReply(QByteArrayView packet)
{
    Reader in(packet);
    in.u32(); // length, already checked by the caller
    Reply reply;
    reply.type = in.u8();
    if (reply.type == Version) {
        reply.version = in.u32();
        while (!in.atEnd()) {
            QByteArray name = in.string();
            reply.extensions.insert(name, in.string());
        }
        return reply;
    }
    reply.id = in.u32();
    switch (reply.type) {
    case Status:
        reply.status = in.u32();
        // Version 3 servers send text and language; very old ones neither.
        if (!in.atEnd())
            reply.message = QString::fromUtf8(in.string());
        break;
    case Handle:
        reply.handle = in.string();
        break;
    case Name: {
        const quint32 count = in.u32();
        for (quint32 i = 0; i < count; ++i) {
            NameEntry entry;
            entry.name = in.string();
            in.string(); // the long form, as ls -l shows it
            entry.attributes = readAttributes(in);
            reply.names.append(std::move(entry));
        }
        break;
    }
    case Attrs:
        reply.attributes = readAttributes(in);
        break;
    case Data:
    case ExtendedReply:
        break;
    default:
        malformed();
    }
    return reply;
}

} // namespace sftp
