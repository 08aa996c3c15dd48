#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

// The raw side of the feed import: what the bytes are before any XML parser
// sees them. Pure functions on bytes.
namespace FeedBytes {

inline constexpr qsizetype kMaxBytes = 16 * 1024 * 1024;
inline constexpr int kMaxDepth = 256;

struct Decoded
{
    QByteArray utf8;
    // German report line when the declared encoding was not followed.
    QString fallbackNote;
};

// To UTF-8 by byte-order mark, else by the XML declaration's encoding; a
// declaration that is missing, unknown or wrong for the bytes falls back to
// UTF-8 and then windows-1252, which fallbackNote names. Never throws.
Decoded toUtf8(const QByteArray& bytes);

// The bytes without a byte-order mark when the mark or the declaration
// names UTF-8, or nothing does; not checked. Nullopt for another encoding.
std::optional<QByteArray> namedUtf8(const QByteArray& bytes);

// What a scan of the UTF-8 text found before parsing.
struct Scan
{
    int maxDepth = 0;
    bool declaresEntities = false;         // <!ENTITY in the DOCTYPE
    QMap<QString, int> undeclaredEntities; // "&nbsp;" -> count, outside CDATA and comments
};
// Stops counting depth once it passes kMaxDepth.
Scan scan(const QByteArray& utf8);

// An HTML page rather than XML: a DOCTYPE html or an html element first.
bool looksLikeHtml(const QByteArray& bytes);

} // namespace FeedBytes
