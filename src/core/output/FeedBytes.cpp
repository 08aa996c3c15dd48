#include "FeedBytes.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>
#include <optional>

namespace FeedBytes {
namespace {

// Encoding named by a byte-order mark, or empty.
QByteArray bomEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (bytes.startsWith(QByteArray("\xFF\xFE\x00\x00", 4)))
        return "UTF-32LE";
    if (bytes.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)))
        return "UTF-32BE";
    if (bytes.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    if (bytes.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    // UTF-16 without a mark shows itself in "<?" (XML 1.0 appendix F).
    if (bytes.startsWith(QByteArray("<\0?\0", 4)))
        return "UTF-16LE";
    if (bytes.startsWith(QByteArray("\0<\0?", 4)))
        return "UTF-16BE";
    return {};
}

QByteArray declaredEncoding(const QByteArray& bytes)
{
    if (!bytes.startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0 || end > 300)
        return {};
    static const QRegularExpression encoding(
        QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
    const QRegularExpressionMatch m = encoding.match(QString::fromLatin1(bytes.left(end)));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

std::optional<QString> decodeStrictly(const QByteArray& bytes, const QByteArray& encoding)
{
    QStringDecoder decoder(encoding.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QByteArray utf8Of(const QString& text)
{
    QByteArray out = text.toUtf8();
    if (out.startsWith("\xEF\xBB\xBF"))
        out.remove(0, 3);
    return out;
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':' || (static_cast<unsigned char>(c) >= 0x80);
}

// The encoding the byte-order mark or else the declaration names; UTF-8
// when neither does.
QByteArray namedEncoding(const QByteArray& bytes)
{
    QByteArray encoding = bomEncoding(bytes);
    if (encoding.isEmpty())
        encoding = declaredEncoding(bytes);
    return encoding.isEmpty() ? QByteArray("UTF-8") : encoding;
}

bool isUtf8Name(const QByteArray& encoding)
{
    const QByteArray upper = encoding.toUpper();
    return upper == "UTF-8" || upper == "UTF8";
}

} // namespace

std::optional<QByteArray> namedUtf8(const QByteArray& bytes)
{
    if (!isUtf8Name(namedEncoding(bytes)))
        return std::nullopt;
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
}

Decoded toUtf8(const QByteArray& bytes)
{
    Decoded result;
    const QByteArray encoding = namedEncoding(bytes);
    // Plain UTF-8 needs no decoding, only a check, which is much faster.
    if (std::optional<QByteArray> body = namedUtf8(bytes)) {
        if (QByteArrayView(*body).isValidUtf8()) {
            result.utf8 = std::move(*body);
            return result;
        }
    } else if (const auto text = decodeStrictly(bytes, encoding)) {
        result.utf8 = utf8Of(*text);
        return result;
    }

    const QString named = QString::fromLatin1(encoding);
    if (const auto text = decodeStrictly(bytes, "UTF-8")) {
        result.utf8 = utf8Of(*text);
        result.fallbackNote =
            QStringLiteral(
                "Zeichensatz: Die Angabe \u201E%1\u201C passt nicht zum Inhalt; als UTF-8 gelesen.")
                .arg(named);
        return result;
    }
    QStringDecoder windows("windows-1252");
    QString text = windows.isValid() ? windows.decode(bytes) : QString::fromLatin1(bytes);
    result.utf8 = utf8Of(text);
    result.fallbackNote = QStringLiteral("Zeichensatz: Die Angabe \u201E%1\u201C passt nicht zum "
                                         "Inhalt; als windows-1252 gelesen.")
                              .arg(named);
    return result;
}

Scan scan(const QByteArray& utf8)
{
    Scan result;
    const char* p = utf8.constData();
    const char* const end = p + utf8.size();
    int depth = 0;
    // memchr for the marker's first byte, which the section rarely holds:
    // much faster than memmem over a large feed's CDATA.
    const auto skipPast = [&](const char* marker) {
        const size_t length = std::strlen(marker);
        for (; size_t(end - p) >= length; ++p) {
            p = static_cast<const char*>(std::memchr(p, marker[0], size_t(end - p)));
            if (!p || size_t(end - p) < length)
                break;
            if (std::memcmp(p, marker, length) == 0) {
                p += length;
                return;
            }
        }
        p = end;
    };
    const auto entityAt = [&](const char* amp) {
        const char* q = amp + 1;
        if (q < end && *q == '#')
            return;
        const char* nameStart = q;
        while (q < end && isNameChar(*q) && q - nameStart < 64)
            ++q;
        if (q >= end || *q != ';' || q == nameStart)
            return;
        const QByteArray name(nameStart, q - nameStart);
        if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos")
            return;
        ++result.undeclaredEntities[QLatin1Char('&') + QString::fromUtf8(name) + QLatin1Char(';')];
    };
    // Text is skipped with memchr; the next '&' is remembered so that a
    // document with few of them is not searched again and again.
    const char* nextAmp = nullptr;
    while (p < end) {
        const char* lt = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
        if (!lt)
            lt = end;
        if (!nextAmp || nextAmp < p) {
            nextAmp = static_cast<const char*>(std::memchr(p, '&', size_t(end - p)));
            if (!nextAmp)
                nextAmp = end;
        }
        while (nextAmp < lt) {
            entityAt(nextAmp);
            const char* from = nextAmp + 1;
            nextAmp = static_cast<const char*>(std::memchr(from, '&', size_t(end - from)));
            if (!nextAmp)
                nextAmp = end;
        }
        p = lt;
        if (p >= end)
            break;
        const qsizetype left = end - p;
        if (left >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            p += 4;
            skipPast("-->");
        } else if (left >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
            p += 9;
            skipPast("]]>");
        } else if (left >= 2 && p[1] == '?') {
            p += 2;
            skipPast("?>");
        } else if (left >= 9 && std::memcmp(p, "<!DOCTYPE", 9) == 0) {
            // The internal subset runs to "]>", an external one to ">".
            const char* close = static_cast<const char*>(std::memchr(p, '>', size_t(left)));
            const char* bracket = static_cast<const char*>(std::memchr(p, '[', size_t(left)));
            if (bracket && (!close || bracket < close)) {
                const qsizetype subsetEnd = utf8.indexOf("]>", bracket - utf8.constData());
                const qsizetype stop = subsetEnd < 0 ? utf8.size() : subsetEnd;
                if (utf8.mid(bracket - utf8.constData(), stop - (bracket - utf8.constData()))
                        .contains("<!ENTITY"))
                    result.declaresEntities = true;
                p = utf8.constData() + (subsetEnd < 0 ? utf8.size() : subsetEnd + 2);
            } else {
                p = close ? close + 1 : end;
            }
        } else if (left >= 2 && p[1] == '/') {
            --depth;
            p += 2;
        } else {
            // A start tag: skip its attributes, quoted values may hold '>'.
            ++p;
            char quote = 0;
            while (p < end) {
                if (quote) {
                    if (*p == quote)
                        quote = 0;
                    else if (*p == '&')
                        entityAt(p);
                } else if (*p == '"' || *p == '\'') {
                    quote = *p;
                } else if (*p == '>') {
                    break;
                }
                ++p;
            }
            const bool selfClosing = p < end && p[-1] == '/';
            if (!selfClosing && ++depth > result.maxDepth) {
                result.maxDepth = depth;
                if (depth > kMaxDepth)
                    return result;
            }
            ++p;
        }
    }
    return result;
}

bool looksLikeHtml(const QByteArray& bytes)
{
    const QByteArray start = bytes.left(1024).trimmed().toLower();
    qsizetype i = 0;
    if (start.startsWith("\xef\xbb\xbf"))
        i = 3;
    QByteArray head = start.mid(i);
    // Skip an XML declaration and comments before the first element.
    while (true) {
        head = head.trimmed();
        if (head.startsWith("<?")) {
            const qsizetype e = head.indexOf("?>");
            head = e < 0 ? QByteArray() : head.mid(e + 2);
        } else if (head.startsWith("<!--")) {
            const qsizetype e = head.indexOf("-->");
            head = e < 0 ? QByteArray() : head.mid(e + 3);
        } else {
            break;
        }
    }
    return head.startsWith("<!doctype html") || head.startsWith("<html") ||
           head.startsWith("<head") || head.startsWith("<body");
}

} // namespace FeedBytes
