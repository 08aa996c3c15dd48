#include "FtpReplyReader.h"

#include "platform/Error.h"

QString FtpReply::text() const
{
    QString result;
    for (const QString& line : lines)
        result += line + QStringLiteral("\r\n");
    return result;
}

namespace {
constexpr qsizetype kMaxLineBytes = 64 * 1024;
// A whole reply, multi-line included: a server sending "331-" lines forever
// must not fill the memory either.
constexpr qsizetype kMaxReplyBytes = 256 * 1024;
constexpr qsizetype kMaxReplyLines = 4096;
} // namespace

static int replyCode(QStringView line)
{
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < u'0' || line[i] > u'9')
            return 0;
    }
    if (line[0] < u'1' || line[0] > u'5')
        return 0;
    return line.first(3).toInt();
}

QString FtpReplyReader::decode(QByteArrayView line) const
{
    return m_utf8 ? QString::fromUtf8(line) : QString::fromLatin1(line);
}

void FtpReplyReader::clear()
{
    m_buffer.clear();
    m_scanned = 0;
    m_openCode = 0;
    m_openLines.clear();
    m_openBytes = 0;
}

std::optional<FtpReply> FtpReplyReader::next()
{
    while (true) {
        const qsizetype lf = m_buffer.indexOf('\n', m_scanned);
        if (lf < 0) {
            // Drop what was consumed so the buffer does not grow over a session.
            m_buffer.remove(0, m_scanned);
            m_scanned = 0;
            // A server that never ends its line must not fill the memory.
            if (m_buffer.size() > kMaxLineBytes)
                throw Error(QStringLiteral("Die Antwortzeile des FTP-Servers ist zu lang."));
            return std::nullopt;
        }
        QByteArrayView raw(m_buffer.constData() + m_scanned, lf - m_scanned);
        m_scanned = lf + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString line = decode(raw);
        const int code = replyCode(line);
        const QChar separator = line.size() > 3 ? line[3] : QChar(u' ');

        if (m_openCode != 0) {
            // Inside a multi-line reply any line may appear; only "ddd " with
            // the opening code ends it.
            if (code == m_openCode && separator == u' ') {
                FtpReply reply{m_openCode, m_openLines};
                reply.lines.append(line.mid(4));
                m_openCode = 0;
                m_openLines.clear();
                m_openBytes = 0;
                return reply;
            }
            m_openBytes += raw.size() + 2;
            if (m_openBytes > kMaxReplyBytes || m_openLines.size() >= kMaxReplyLines)
                throw Error(QStringLiteral("Die Antwort des FTP-Servers ist zu lang (mehr als "
                                           "%1 Zeilen oder %2 KB).")
                                .arg(kMaxReplyLines)
                                .arg(kMaxReplyBytes / 1024));
            m_openLines.append(code == m_openCode && separator == u'-' ? line.mid(4) : line);
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (code == 0 || (separator != u' ' && separator != u'-'))
            throw Error(QStringLiteral("Ungültige Antwort des FTP-Servers: %1").arg(line));
        if (separator == u'-') {
            m_openCode = code;
            m_openLines = {line.mid(4)};
            m_openBytes = raw.size() + 2;
            continue;
        }
        return FtpReply{code, {line.mid(4)}};
    }
}
