#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// SFTP version 3 (draft-ietf-secsh-filexfer-02, what OpenSSH speaks): the
// packets a client sends and the replies it reads, as bytes. No I/O here.
namespace sftp {

enum Type : quint8 {
    Init = 1,
    Version = 2,
    Open = 3,
    Close = 4,
    Write = 6,
    Lstat = 7,
    Opendir = 11,
    Readdir = 12,
    Remove = 13,
    Realpath = 16,
    Stat = 17,
    Rename = 18,
    Status = 101,
    Handle = 102,
    Data = 103,
    Name = 104,
    Attrs = 105,
    Extended = 200,
    ExtendedReply = 201,
};

enum StatusCode : quint32 {
    Ok = 0,
    Eof = 1,
    NoSuchFile = 2,
    PermissionDenied = 3,
    Failure = 4,
    BadMessage = 5,
    NoConnection = 6,
    ConnectionLost = 7,
    OpUnsupported = 8,
};

enum OpenFlags : quint32 { OpenRead = 1, OpenWrite = 2, OpenCreate = 8, OpenTruncate = 0x10 };

// A reply bigger than this is no reply of a sane server; it ends the session.
constexpr quint32 kMaxPacket = 1024 * 1024;

// Builds one packet: length, type, request id (not for INIT), then fields.
class PacketWriter
{
public:
    PacketWriter(Type type, quint32 id);
    static PacketWriter init(quint32 version);
    PacketWriter& u32(quint32 value);
    PacketWriter& u64(quint64 value);
    PacketWriter& string(QByteArrayView bytes);
    PacketWriter& emptyAttributes() { return u32(0); }
    // The whole packet with its length in front.
    QByteArray bytes() const;

private:
    PacketWriter() = default;
    QByteArray m_body;
};

struct Attributes
{
    std::optional<quint64> size;
    std::optional<quint32> permissions;
    std::optional<quint32> mtime; // seconds since 1970, UTC

    bool isFolder() const { return permissions && (*permissions & 0170000) == 0040000; }
    bool isLink() const { return permissions && (*permissions & 0170000) == 0120000; }
};

struct NameEntry
{
    QByteArray name;
    Attributes attributes;
};

// One parsed reply. Which fields hold something follows `type`.
struct Reply
{
    quint8 type = 0;
    quint32 id = 0;
    quint32 status = 0;                      // Status
    QString message;                         // Status: the server's text
    QByteArray handle;                       // Handle
    QList<NameEntry> names;                  // Name
    Attributes attributes;                   // Attrs
    quint32 version = 0;                     // Version
    QMap<QByteArray, QByteArray> extensions; // Version
};

// The length of the first whole packet at the start of `buffer` (length
// field included), or 0 while it is incomplete. Throws Error when the
// announced length is impossible.
qsizetype completePacketLength(QByteArrayView buffer);

// Parses one whole packet (as completePacketLength measured it). Throws
// Error with a German text when it is malformed or of an unknown type.
Reply parseReply(QByteArrayView packet);

} // namespace sftp
