#include "Rss20.h"

#include "FeedCheck.h"
#include "RssTime.h"
#include "platform/FileAccess.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Rss20 {
namespace {

// The writer hands its buffer over once it holds this much.
constexpr qsizetype kFlushBytes = 1 << 18;

// "mail (name)", or the mail alone; nothing without a mail. The pieces of
// an element's text, escaped one after the other.
std::array<QStringView, 4> mailWithName(const QString& mail, const QString& name)
{
    if (name.isEmpty())
        return {mail, {}, {}, {}};
    return {mail, u" (", name, u")"};
}

QString rssMoment(QDate date, QTime time, const QTimeZone& localZone)
{
    return GetRSSTimeString(LocalMomentToUtc(date, time, localZone));
}

// How an ASCII character is written in text and in an attribute value: as
// it is, dropped (length 0: XML 1.0 forbids it), or as an escape. A CR is a
// reference in both, or a reader would take it for a LF; in attributes tab
// and LF are references too, as attribute values lose them otherwise.
struct Escape
{
    char text[7] = {};
    std::uint8_t length = 0;
};

struct AsciiEscapes
{
    std::array<Escape, 128> text{};
    std::array<Escape, 128> attribute{};
};

constexpr Escape escapeOf(const char* text)
{
    Escape e;
    while (text[e.length]) {
        e.text[e.length] = text[e.length];
        ++e.length;
    }
    return e;
}

constexpr AsciiEscapes makeEscapes()
{
    AsciiEscapes e;
    for (int c = 0x20; c < 0x80; ++c) {
        const char plain[2] = {char(c), 0};
        e.text[size_t(c)] = e.attribute[size_t(c)] = escapeOf(plain);
    }
    e.text['\t'] = escapeOf("\t");
    e.text['\n'] = escapeOf("\n");
    e.text['\r'] = e.attribute['\r'] = escapeOf("&#13;");
    e.attribute['\t'] = escapeOf("&#09;");
    e.attribute['\n'] = escapeOf("&#10;");
    e.text['&'] = e.attribute['&'] = escapeOf("&amp;");
    e.text['<'] = e.attribute['<'] = escapeOf("&lt;");
    e.text['>'] = escapeOf("&gt;");
    e.attribute['"'] = escapeOf("&quot;");
    return e;
}

constexpr AsciiEscapes kEscapes = makeEscapes();
static_assert(sizeof(Escape) == 8);

// The most bytes one UTF-16 unit becomes: "&quot;" (a pair gives four).
constexpr qsizetype kMaxEscapeBytes = 6;

// Writes text as UTF-8 with the escapes above at p, which has room for
// kMaxEscapeBytes per unit; returns the end. Lone surrogates, U+FFFE and
// U+FFFF are dropped like the control characters.
char* writeEscaped(char* p, QStringView text, bool attribute)
{
    const std::array<Escape, 128>& escapes = attribute ? kEscapes.attribute : kEscapes.text;
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    // Writes the character at i; returns the units it took (two for a pair).
    const auto one = [&](qsizetype i) -> qsizetype {
        const char16_t c = s[i];
        if (c < 0x80) {
            // The whole entry copied (the room allows it), the length kept:
            // no call, no loop.
            const Escape& escape = escapes[c];
            std::memcpy(p, &escape, sizeof escape);
            p += escape.length;
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c < 0xD800 || (c >= 0xE000 && c < 0xFFFE)) {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            const char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            *p++ = char(0xF0 | (cp >> 18));
            *p++ = char(0x80 | ((cp >> 12) & 0x3F));
            *p++ = char(0x80 | ((cp >> 6) & 0x3F));
            *p++ = char(0x80 | (cp & 0x3F));
            return 2;
        }
        return 1;
    };
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight characters at a time. Their low bytes are the text when they are
    // plain ASCII, the bulk of every text: stored eight at a time (the room
    // allows the extra bytes), the others written in between one by one,
    // without loading the block again.
    while (i + 8 <= n) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // Signed compares: anything from U+8000 up is negative, so too.
        const __m128i outside = _mm_or_si128(_mm_cmplt_epi16(c, _mm_set1_epi16(0x20)),
                                             _mm_cmpgt_epi16(c, _mm_set1_epi16(0x7E)));
        const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(c, _mm_set1_epi16('&')),
                                                          _mm_cmpeq_epi16(c, _mm_set1_epi16('<'))),
                                             _mm_or_si128(_mm_cmpeq_epi16(c, _mm_set1_epi16('>')),
                                                          _mm_cmpeq_epi16(c, _mm_set1_epi16('"'))));
        std::uint64_t bytes = 0;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&bytes), _mm_packus_epi16(c, c));
        // Two mask bits per character.
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_or_si128(outside, special)));
        qsizetype lane = 0; // the characters of the block written so far
        while (mask != 0) {
            const qsizetype next = std::countr_zero(mask) / 2;
            const std::uint64_t plain = bytes >> (8 * lane);
            std::memcpy(p, &plain, 8);
            p += next - lane;
            const char16_t ch = s[i + next];
            if (ch < 0x80) { // the usual case, without a call
                const Escape& escape = escapes[ch];
                std::memcpy(p, &escape, sizeof escape);
                p += escape.length;
                lane = next + 1;
            } else {
                lane = next + one(i + next); // a pair may end in the next block
            }
            mask = lane >= 8 ? 0 : mask & ~((1u << (2 * lane)) - 1);
        }
        if (lane < 8) {
            const std::uint64_t plain = bytes >> (8 * lane);
            std::memcpy(p, &plain, 8);
            p += 8 - lane;
            lane = 8;
        }
        i += lane;
    }
#endif
    while (i < n)
        i += one(i);
    return p;
}

char* put(char* p, std::string_view text)
{
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

char* indent(char* p, int depth)
{
    for (int i = 0; i < depth; ++i) {
        *p++ = ' ';
        *p++ = ' ';
    }
    return p;
}

struct Attribute
{
    std::string_view name;
    QStringView value;
};

using Attributes = std::initializer_list<Attribute>;
// An element's text, in pieces written one after the other.
using TextPieces = std::span<const QStringView>;

// The most bytes element() writes.
qsizetype elementBound(int depth, std::string_view name, Attributes attrs, TextPieces text)
{
    // Two indents, "<", ">", "</", ">\n" or " />\n", and room for the last
    // eight-byte store of the escape.
    qsizetype bound = 2 * depth + 2 * qsizetype(name.size()) + 16;
    for (const Attribute& a : attrs)
        bound += qsizetype(a.name.size()) + 4 + kMaxEscapeBytes * a.value.size();
    for (QStringView piece : text)
        bound += kMaxEscapeBytes * piece.size();
    return bound;
}

// An element with attributes and one text, or empty ("<name ... />").
char* element(char* p, int depth, std::string_view name, Attributes attrs, TextPieces text)
{
    p = indent(p, depth);
    *p++ = '<';
    p = put(p, name);
    for (const Attribute& a : attrs) {
        *p++ = ' ';
        p = put(p, a.name);
        p = put(p, "=\"");
        p = writeEscaped(p, a.value, true);
        *p++ = '"';
    }
    *p++ = '>';
    char* const textStart = p;
    for (QStringView piece : text)
        p = writeEscaped(p, piece, false);
    // An element whose text is only forbidden characters stays empty.
    if (p == textStart)
        return put(textStart - 1, " />\n");
    p = put(p, "</");
    p = put(p, name);
    return put(p, ">\n");
}

// The writers below append to out through one resize for room and one
// for the end: no append call per piece.
void addElement(QByteArray& out, int depth, std::string_view name, Attributes attrs,
                TextPieces text)
{
    const qsizetype at = out.size();
    out.resize(at + elementBound(depth, name, attrs, text));
    out.resize(element(out.data() + at, depth, name, attrs, text) - out.constData());
}

void addElement(QByteArray& out, int depth, std::string_view name, Attributes attrs,
                QStringView text)
{
    addElement(out, depth, name, attrs, TextPieces(&text, 1));
}

void textElement(QByteArray& out, int depth, std::string_view name, QStringView text)
{
    addElement(out, depth, name, {}, text);
}

void open(QByteArray& out, int depth, std::string_view name)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * depth + qsizetype(name.size()) + 3);
    char* p = indent(out.data() + at, depth);
    *p++ = '<';
    p = put(p, name);
    put(p, ">\n");
}

void close(QByteArray& out, int depth, std::string_view name)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * depth + qsizetype(name.size()) + 4);
    char* p = indent(out.data() + at, depth);
    p = put(p, "</");
    p = put(p, name);
    put(p, ">\n");
}

const QString kGenerator = QStringLiteral("Tavistrel 1.0");

} // namespace

RssWriter::RssWriter(Sink sink, const QTimeZone& localZone)
    : m_sink(std::move(sink)), m_zone(localZone)
{
    m_buffer.reserve(kFlushBytes + 64 * 1024);
}

RssWriter::~RssWriter() = default;

void RssWriter::flushIfFull()
{
    if (m_buffer.size() < kFlushBytes)
        return;
    m_sink(m_buffer.constData(), m_buffer.size());
    m_buffer.resize(0);
}

void RssWriter::writeChannel(const FeedDocument& d)
{
    m_enclosures = d.flag(u"chkEnclosures");
    const QString self = d.text(u"edtFeedUrl");
    m_buffer.append(self.isEmpty()
                        ? QByteArrayView("<rss version=\"2.0\">\n")
                        : QByteArrayView("<rss version=\"2.0\" "
                                         "xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"));
    open(m_buffer, 1, "channel");
    textElement(m_buffer, 2, "title", d.text(u"edtFeedTitle"));
    textElement(m_buffer, 2, "link", d.text(u"edtLink"));
    textElement(m_buffer, 2, "description", d.text(u"memoDescription"));
    // The feed's own address, so readers and services know where it lives.
    if (!self.isEmpty())
        addElement(m_buffer, 2, "atom:link",
                   {{"href", self}, {"rel", u"self"}, {"type", u"application/rss+xml"}},
                   QStringView());
    if (!d.text(u"edtCopyright").isEmpty())
        textElement(m_buffer, 2, "copyright", d.text(u"edtCopyright"));
    if (!d.text(u"edtOwnerMail").isEmpty())
        addElement(m_buffer, 2, "managingEditor", {},
                   mailWithName(d.text(u"edtOwnerMail"), d.text(u"edtOwnerName")));
    if (d.flag(u"chkPublish"))
        textElement(m_buffer, 2, "pubDate",
                    rssMoment(d.date(u"datePublish"), d.time(u"publishTime"), m_zone));
    if (d.flag(u"chkLastChange"))
        textElement(m_buffer, 2, "lastBuildDate",
                    rssMoment(d.date(u"dateLastChange"), d.time(u"timeLastChange"), m_zone));
    textElement(m_buffer, 2, "generator", kGenerator);
    textElement(m_buffer, 2, "ttl", d.text(u"edtTTL"));
    textElement(m_buffer, 2, "language", GetLanguageCode(d.text(u"cboLanguage")));

    if (!d.text(u"edtLogoUrl").isEmpty()) {
        open(m_buffer, 2, "image");
        textElement(m_buffer, 3, "url", d.text(u"edtLogoUrl"));
        textElement(m_buffer, 3, "title", d.text(u"edtLogoTitle"));
        textElement(m_buffer, 3, "link", d.text(u"edtLinkLogo"));
        textElement(m_buffer, 3, "width", d.text(u"edtLogoWidth"));
        textElement(m_buffer, 3, "height", d.text(u"edtLogoHeight"));
        close(m_buffer, 2, "image");
    }

    static const char* const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    const auto skipList = [&](std::string_view container, std::string_view child,
                              const QStringList& keys, const auto& textOf) {
        bool opened = false; // never an empty container
        for (int i = 0; i < keys.size(); ++i) {
            if (!d.flag(keys[i]))
                continue;
            if (!opened)
                open(m_buffer, 2, container);
            opened = true;
            textElement(m_buffer, 3, child, textOf(i));
        }
        if (opened)
            close(m_buffer, 2, container);
    };
    skipList("skipHours", "hour", ChannelSettings::hourKeys(),
             [](int i) { return QString::number(i); });
    skipList("skipDays", "day", ChannelSettings::dayKeys(),
             [](int i) { return QString::fromLatin1(kDays[i]); });
    flushIfFull();
}

void RssWriter::writeItem(const TNewsEntry& entry)
{
    open(m_buffer, 2, "item");
    textElement(m_buffer, 3, "title", entry.title);
    textElement(m_buffer, 3, "description", entry.content);
    textElement(m_buffer, 3, "link", entry.link);
    if (!entry.email.isEmpty())
        addElement(m_buffer, 3, "author", {}, mailWithName(entry.email, entry.author));
    // Without the attribute RSS takes a GUID for the entry's address.
    if (FeedCheck::isAbsoluteHttpAddress(entry.guid))
        textElement(m_buffer, 3, "guid", entry.guid);
    else
        addElement(m_buffer, 3, "guid", {{"isPermaLink", u"false"}}, entry.guid);
    // RSS 2.0 places no order on item children; right after the guid keeps
    // every element the item had before where it was.
    if (m_enclosures && !entry.fileUrl.isEmpty())
        addElement(
            m_buffer, 3, "enclosure",
            {{"url", entry.fileUrl},
             {"length", entry.filesize.isEmpty() ? QStringView(u"0") : QStringView(entry.filesize)},
             {"type", entry.mime}},
            QStringView());
    if (entry.chkPublish)
        textElement(m_buffer, 3, "pubDate", rssMoment(entry.date, entry.time, m_zone));
    close(m_buffer, 2, "item");
    flushIfFull();
}

void RssWriter::finish()
{
    close(m_buffer, 1, "channel");
    m_buffer.append("</rss>\n", 7);
    m_sink(m_buffer.constData(), m_buffer.size());
    m_buffer.resize(0);
}

void WriteRSS20(const FeedDocument& document, RssWriter& writer)
{
    writer.writeChannel(document);
    for (int i = 0; i < document.entries.size(); ++i)
        writer.writeItem(document.entries.at(i));
    writer.finish();
}

QString GenerateRSS20(const FeedDocument& document, const QTimeZone& localZone)
{
    QByteArray out;
    RssWriter writer([&out](const char* data, qsizetype size) { out.append(data, size); },
                     localZone);
    WriteRSS20(document, writer);
    return QString::fromUtf8(out);
}

void GenerateRSS20(const FeedDocument& document, const QString& fileName,
                   const QTimeZone& localZone)
{
    FileAccess::SaveWriter file(fileName);
    RssWriter writer([&file](const char* data, qsizetype size) { file.write(data, size); },
                     localZone);
    WriteRSS20(document, writer);
    file.commit();
}

QString GetLanguageCode(const QString& languageText)
{
    // Rows of the language list that are misspelt; stored files keep them.
    if (languageText == u"Icelandic is]")
        return QStringLiteral("is");
    if (languageText == u"Portuguese (Brazil) [vpt-br]")
        return QStringLiteral("pt-br");
    const qsizetype open = languageText.indexOf(u'[');
    const qsizetype start = open < 0 ? 0 : open + 1;
    const qsizetype end =
        languageText.endsWith(u']') ? languageText.size() - 1 : languageText.size();
    return end > start ? languageText.mid(start, end - start) : QString();
}

} // namespace Rss20
