// The file operations of SftpSession: each sends its requests, reads the
// replies and turns a refusal into ERemoteRefusal with the server's reason.

#include "SftpSession_p.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <deque>

namespace {

// A listing beyond this is no folder of a web site; it ends the listing.
constexpr int kMaxListing = 200000;
// Pipelined upload: this many bytes per write request, this many requests
// on their way (OpenSSH's own client: 32 KiB and 64).
constexpr qint64 kChunk = 64 * 1024;
constexpr int kInFlight = 32;

QString codeText(quint32 code)
{
    switch (code) {
    case sftp::Eof:
        return QStringLiteral("Ende der Daten");
    case sftp::NoSuchFile:
        return QStringLiteral("Datei oder Ordner nicht gefunden");
    case sftp::PermissionDenied:
        return QStringLiteral("keine Berechtigung");
    case sftp::Failure:
        return QStringLiteral("fehlgeschlagen");
    case sftp::BadMessage:
        return QStringLiteral("ungültige Anfrage");
    case sftp::OpUnsupported:
        return QStringLiteral("vom Server nicht unterstützt");
    default:
        return QStringLiteral("Fehler %1").arg(code);
    }
}

TIdDirItemType itemType(const sftp::Attributes& a)
{
    if (!a.permissions)
        return ditFile;
    switch (*a.permissions & 0170000) {
    case 0040000:
        return ditDirectory;
    case 0120000:
        return ditSymbolicLink;
    case 0060000:
        return ditBlockDev;
    case 0020000:
        return ditCharDev;
    case 0010000:
        return ditFIFO;
    case 0140000:
        return ditSocket;
    default:
        return ditFile;
    }
}

} // namespace

void SftpSession::requireConnected() const
{
    if (!m_open)
        throw Error(QStringLiteral("Keine Verbindung zum SFTP-Server."));
}

void SftpSession::refuse(const sftp::Reply& reply, const QString& request,
                         std::initializer_list<quint32> nameRefusals) const
{
    wire(false, reply.type == sftp::Status
                    ? codeText(reply.status) + QStringLiteral(": ") + reply.message
                    : QStringLiteral("unerwartete Antwort"));
    if (reply.type != sftp::Status)
        throw Error(
            QStringLiteral("Der SFTP-Server hat auf \"%1\" unerwartet geantwortet.").arg(request));
    QString text = QStringLiteral("Der SFTP-Server hat \"%1\" abgelehnt: %2")
                       .arg(request, codeText(reply.status));
    if (!reply.message.isEmpty())
        text += QStringLiteral(" (\"%1\")").arg(reply.message);
    ERemoteRefusal refusal(int(reply.status), text + u'.');
    if (std::find(nameRefusals.begin(), nameRefusals.end(), reply.status) != nameRefusals.end())
        refusal.markRefusesName(reply.message.isEmpty() ? codeText(reply.status) : reply.message);
    throw refusal;
}

void SftpSession::expectOk(const sftp::Reply& reply, const QString& request) const
{
    if (reply.type != sftp::Status || reply.status != sftp::Ok)
        refuse(reply, request);
}

QByteArray SftpSession::remotePath(const QString& name) const
{
    // Before the first folder is known, a relative name is the server's
    // business (it starts in the user's home).
    if (name.startsWith(u'/') || m_cwd.isEmpty())
        return name.toUtf8();
    if (m_cwd.endsWith(u'/'))
        return (m_cwd + name).toUtf8();
    return (m_cwd + u'/' + name).toUtf8();
}

QString SftpSession::canonical(const QString& path)
{
    const quint32 id = nextId();
    const sftp::Reply reply =
        call(sftp::PacketWriter(sftp::Realpath, id).string(remotePath(path)), id);
    if (reply.type != sftp::Name || reply.names.isEmpty())
        refuse(reply, QStringLiteral("cd ") + path);
    return QString::fromUtf8(reply.names.first().name);
}

std::optional<sftp::Attributes> SftpSession::statPath(const QByteArray& path,
                                                      const QString& request)
{
    const quint32 id = nextId();
    const sftp::Reply reply = call(sftp::PacketWriter(sftp::Stat, id).string(path), id);
    if (reply.type == sftp::Attrs)
        return reply.attributes;
    if (request.isEmpty())
        return std::nullopt;
    refuse(reply, request);
}

void SftpSession::closeHandle(const QByteArray& handle)
{
    const quint32 id = nextId();
    call(sftp::PacketWriter(sftp::Close, id).string(handle), id);
}

QString SftpSession::currentDir()
{
    requireConnected();
    return m_cwd;
}

void SftpSession::changeDir(const QString& path)
{
    requireConnected();
    Operation operation(*this);
    const QString request = QStringLiteral("cd ") + path;
    wire(true, request);
    const QString target = canonical(path);
    // Some servers canonicalise paths that do not exist; only a folder will do.
    const std::optional<sftp::Attributes> attributes =
        statPath(target.toUtf8(), QStringLiteral("cd ") + path);
    if (!attributes->isFolder())
        throw ERemoteRefusal(sftp::NoSuchFile,
                             QStringLiteral("Der SFTP-Server hat \"%1\" abgelehnt: \"%2\" ist kein "
                                            "Ordner.")
                                 .arg(request, target));
    m_cwd = target;
    wire(false, m_cwd);
}

TIdFTPListItems SftpSession::list()
{
    requireConnected();
    Operation operation(*this);
    const QString request = QStringLiteral("ls ") + m_cwd;
    wire(true, request);
    quint32 id = nextId();
    const sftp::Reply opened =
        call(sftp::PacketWriter(sftp::Opendir, id).string(remotePath(m_cwd)), id);
    if (opened.type != sftp::Handle)
        refuse(opened, request);

    TIdFTPListItems items;
    QList<int> links;
    // Bounded in entries and in rounds: a server may answer with empty
    // batches forever.
    for (int round = 0;; ++round) {
        id = nextId();
        const sftp::Reply reply =
            call(sftp::PacketWriter(sftp::Readdir, id).string(opened.handle), id);
        if (reply.type == sftp::Status && reply.status == sftp::Eof)
            break;
        if (reply.type != sftp::Name) {
            closeHandle(opened.handle);
            refuse(reply, request);
        }
        for (const sftp::NameEntry& entry : reply.names) {
            TIdFTPListItem item;
            item.FileName = QString::fromUtf8(entry.name);
            item.Size = std::int64_t(entry.attributes.size.value_or(0));
            if (entry.attributes.mtime)
                item.ModifiedDate = QDateTime::fromSecsSinceEpoch(*entry.attributes.mtime);
            item.ItemType = itemType(entry.attributes);
            if (item.ItemType == ditSymbolicLink)
                links.append(int(items.size()));
            items.append(std::move(item));
        }
        if (items.size() > kMaxListing || round > kMaxListing) {
            closeHandle(opened.handle);
            throw Error(
                QStringLiteral("Der Ordner %1 auf dem SFTP-Server hat mehr als %2 Einträge; "
                               "die Liste wurde abgebrochen.")
                    .arg(m_cwd)
                    .arg(kMaxListing));
        }
    }
    closeHandle(opened.handle);
    // A link to a folder can be entered like a folder.
    for (int index : links) {
        const auto target = statPath(remotePath(items[index].FileName), QString());
        if (target && target->isFolder())
            items[index].ItemType = ditSymbolicLinkDir;
    }
    wire(false, QStringLiteral("%1 Einträge").arg(items.size()));
    return items;
}

void SftpSession::put(const QString& localPath, const QString& remoteName)
{
    requireConnected();
    QFile source(localPath);
    if (!source.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                        .arg(localPath, source.errorString()));
    Operation operation(*this);
    const QString request = QStringLiteral("put %1").arg(remoteName);
    wire(true, QStringLiteral("%1 (%2 Bytes)").arg(request).arg(source.size()));
    status(QStringLiteral("Starting SFTP transfer"));
    quint32 id = nextId();
    const sftp::Reply opened =
        call(sftp::PacketWriter(sftp::Open, id)
                 .string(remotePath(remoteName))
                 .u32(sftp::OpenWrite | sftp::OpenCreate | sftp::OpenTruncate)
                 .emptyAttributes(),
             id);
    // Refused at the open, before any data: the name or the place.
    if (opened.type != sftp::Handle)
        refuse(opened, request, {sftp::PermissionDenied, sftp::Failure});

    // Requests in flight: id and length. A refusal stops the sending; the
    // replies still on their way are read before the handle is closed.
    std::deque<std::pair<quint32, qint64>> inFlight;
    std::optional<sftp::Reply> refusal;
    quint64 offset = 0;
    bool atEnd = false;
    while (!atEnd || !inFlight.empty()) {
        while (!refusal && !atEnd && inFlight.size() < kInFlight) {
            const QByteArray chunk = source.read(kChunk);
            if (chunk.isEmpty()) {
                if (source.error() != QFileDevice::NoError) {
                    closeHandle(opened.handle);
                    throw Error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                                    .arg(localPath, source.errorString()));
                }
                atEnd = true;
                break;
            }
            id = nextId();
            send(sftp::PacketWriter(sftp::Write, id)
                     .string(opened.handle)
                     .u64(offset)
                     .string(chunk));
            inFlight.emplace_back(id, chunk.size());
            offset += quint64(chunk.size());
        }
        if (inFlight.empty())
            break;
        const sftp::Reply reply = nextReply();
        const auto done = std::find_if(inFlight.begin(), inFlight.end(),
                                       [&](const auto& r) { return r.first == reply.id; });
        if (done == inFlight.end())
            continue;
        progress(done->second);
        inFlight.erase(done);
        if (!refusal && (reply.type != sftp::Status || reply.status != sftp::Ok)) {
            refusal = reply;
            atEnd = true;
        }
    }
    id = nextId();
    const sftp::Reply closed = call(sftp::PacketWriter(sftp::Close, id).string(opened.handle), id);
    if (refusal)
        refuse(*refusal, request);
    // The server may report a failed write (a full disk) only on close.
    expectOk(closed, request);
    wire(false, QStringLiteral("OK"));
    status(QStringLiteral("Transfer complete"));
}

std::optional<qint64> SftpSession::size(const QString& remoteName)
{
    requireConnected();
    Operation operation(*this);
    const QString request = QStringLiteral("stat ") + remoteName;
    wire(true, request);
    const std::optional<sftp::Attributes> attributes = statPath(remotePath(remoteName), request);
    if (!attributes->size)
        return std::nullopt;
    wire(false, QStringLiteral("%1 Bytes").arg(*attributes->size));
    return qint64(*attributes->size);
}

void SftpSession::rename(const QString& from, const QString& to)
{
    requireConnected();
    Operation operation(*this);
    const QString request = QStringLiteral("rename %1 %2").arg(from, to);
    wire(true, request);
    const quint32 id = nextId();
    // Plain RENAME refuses an existing target (OpenSSH: "Failure"); the
    // extension replaces it in one step, as rename(2) does.
    const sftp::Reply reply = m_posixRename ? call(sftp::PacketWriter(sftp::Extended, id)
                                                       .string("posix-rename@openssh.com")
                                                       .string(remotePath(from))
                                                       .string(remotePath(to)),
                                                   id)
                                            : call(sftp::PacketWriter(sftp::Rename, id)
                                                       .string(remotePath(from))
                                                       .string(remotePath(to)),
                                                   id);
    // Plain RENAME onto an existing name fails with "Failure" where the
    // server lacks the extension; a server may not rename at all.
    if (reply.type != sftp::Status || reply.status != sftp::Ok)
        refuse(reply, request, {sftp::PermissionDenied, sftp::Failure, sftp::OpUnsupported});
    wire(false, QStringLiteral("OK"));
}

void SftpSession::remove(const QString& remoteName)
{
    requireConnected();
    Operation operation(*this);
    const QString request = QStringLiteral("rm ") + remoteName;
    wire(true, request);
    const quint32 id = nextId();
    expectOk(call(sftp::PacketWriter(sftp::Remove, id).string(remotePath(remoteName)), id),
             request);
    wire(false, QStringLiteral("OK"));
}
