#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

// One server reply: its three-digit code and its lines without code and
// separator.
struct FtpReply
{
    int code = 0;
    QStringList lines;

    // The lines, each followed by CR LF: the message of a reply error.
    QString text() const;
    bool isPreliminary() const { return code >= 100 && code < 200; }
};

// Frames replies as RFC 959 does: "ddd text" is a whole reply, "ddd-text"
// opens a multi-line one that the first "ddd text" with the same code ends.
// Bytes go in as they were read, so a reply may be split over reads and one
// read may hold several replies.
class FtpReplyReader
{
public:
    void feed(const QByteArray& bytes) { m_buffer.append(bytes); }
    // The next complete reply, or nothing while one is still incomplete.
    // Throws Error on a line that cannot start a reply, and on a reply
    // longer than 4096 lines or 256 KB.
    std::optional<FtpReply> next();
    // Lines are ISO 8859-1 until the server agreed to UTF-8.
    void setUtf8(bool utf8) { m_utf8 = utf8; }
    void clear();

private:
    QString decode(QByteArrayView line) const;

    QByteArray m_buffer;
    qsizetype m_scanned = 0; // bytes of m_buffer already taken as lines
    bool m_utf8 = false;
    int m_openCode = 0; // code of an unfinished multi-line reply
    QStringList m_openLines;
    qsizetype m_openBytes = 0;
};
