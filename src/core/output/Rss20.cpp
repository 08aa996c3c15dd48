#include "Rss20.h"

#include "FeedCheck.h"
#include "RssTime.h"
#include "platform/FileAccess.h"

#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Rss20 {
namespace {

// The writer hands its buffer over once it holds this much.
constexpr qsizetype kFlushBytes = 1 << 18;

// "mail (name)", or the mail alone; nothing without a mail.
QString mailWithName(const QString& mail, const QString& name)
{
    return name.isEmpty() ? mail : mail + QStringLiteral(" (") + name + u')';
}

QString rssMoment(QDate date, QTime time, const QTimeZone& localZone)
{
    return GetRSSTimeString(LocalMomentToUtc(date, time, localZone));
}

// How an ASCII character is written in text and in an attribute value: as
// it is (nullptr), dropped ("": XML 1.0 forbids it), or as this escape. A CR
// is a reference in both, or a reader would take it for a LF; in attributes
// tab and LF are references too, as attribute values lose them otherwise.
struct AsciiEscapes
{
    std::array<const char*, 128> text{};
    std::array<const char*, 128> attribute{};
};

constexpr AsciiEscapes makeEscapes()
{
    AsciiEscapes e;
    for (int c = 0; c < 0x20; ++c)
        e.text[size_t(c)] = e.attribute[size_t(c)] = "";
    e.text['\t'] = e.text['\n'] = nullptr;
    e.text['\r'] = e.attribute['\r'] = "&#13;";
    e.attribute['\t'] = "&#09;";
    e.attribute['\n'] = "&#10;";
    e.text['&'] = e.attribute['&'] = "&amp;";
    e.text['<'] = e.attribute['<'] = "&lt;";
    e.text['>'] = "&gt;";
    e.attribute['"'] = "&quot;";
    return e;
}

constexpr AsciiEscapes kEscapes = makeEscapes();

// Appends text as UTF-8 with the escapes above; lone surrogates, U+FFFE and
// U+FFFF are dropped like the control characters.
void appendEscaped(QByteArray& out, QStringView text, bool attribute)
{
    const std::array<const char*, 128>& escapes = attribute ? kEscapes.attribute : kEscapes.text;
    const qsizetype start = out.size();
    // At most five bytes per UTF-16 unit ("&amp;"; a pair gives four).
    out.resize(start + text.size() * 5);
    char* p = out.data() + start;
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
#ifdef __SSE2__
        // Eight plain ASCII characters at a time, the bulk of every text.
        if (i + 8 <= n) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            // Signed compares: anything from U+8000 up is negative, so too.
            const __m128i outside = _mm_or_si128(_mm_cmplt_epi16(c, _mm_set1_epi16(0x20)),
                                                 _mm_cmpgt_epi16(c, _mm_set1_epi16(0x7E)));
            const __m128i special =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(c, _mm_set1_epi16('&')),
                                          _mm_cmpeq_epi16(c, _mm_set1_epi16('<'))),
                             _mm_or_si128(_mm_cmpeq_epi16(c, _mm_set1_epi16('>')),
                                          _mm_cmpeq_epi16(c, _mm_set1_epi16('"'))));
            if (_mm_movemask_epi8(_mm_or_si128(outside, special)) == 0) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(c, c));
                p += 8;
                i += 7;
                continue;
            }
        }
#endif
        const char16_t c = s[i];
        if (c < 0x80) {
            const char* escape = escapes[c];
            if (!escape) {
                *p++ = char(c);
            } else {
                const size_t length = std::strlen(escape);
                std::memcpy(p, escape, length);
                p += length;
            }
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
            ++i;
        }
    }
    out.resize(p - out.constData());
}

void indent(QByteArray& out, int depth)
{
    for (int i = 0; i < depth; ++i)
        out.append("  ", 2);
}

struct Attribute
{
    const char* name;
    QString value;
};

// An element with attributes and one text, or empty ("<name ... />").
void element(QByteArray& out, int depth, const char* name, std::initializer_list<Attribute> attrs,
             QStringView text)
{
    indent(out, depth);
    out.append('<').append(name);
    for (const Attribute& a : attrs) {
        out.append(' ').append(a.name).append("=\"", 2);
        appendEscaped(out, a.value, true);
        out.append('"');
    }
    // An element whose text is only forbidden characters stays empty.
    const qsizetype before = out.size();
    out.append('>');
    appendEscaped(out, text, false);
    if (out.size() == before + 1) {
        out.resize(before);
        out.append(" />\n", 4);
        return;
    }
    out.append("</", 2).append(name).append(">\n", 2);
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

void RssWriter::open(int depth, const char* name)
{
    indent(m_buffer, depth);
    m_buffer.append('<').append(name).append(">\n", 2);
}

void RssWriter::close(int depth, const char* name)
{
    indent(m_buffer, depth);
    m_buffer.append("</", 2).append(name).append(">\n", 2);
}

void RssWriter::textElement(int depth, const char* name, QStringView text)
{
    element(m_buffer, depth, name, {}, text);
}

void RssWriter::writeChannel(const FeedDocument& d)
{
    m_enclosures = d.flag(u"chkEnclosures");
    const QString self = d.text(u"edtFeedUrl");
    m_buffer.append("<rss version=\"2.0\"");
    if (!self.isEmpty())
        m_buffer.append(" xmlns:atom=\"http://www.w3.org/2005/Atom\"");
    m_buffer.append(">\n", 2);
    open(1, "channel");
    textElement(2, "title", d.text(u"edtFeedTitle"));
    textElement(2, "link", d.text(u"edtLink"));
    textElement(2, "description", d.text(u"memoDescription"));
    // The feed's own address, so readers and services know where it lives.
    if (!self.isEmpty())
        element(m_buffer, 2, "atom:link",
                {{"href", self},
                 {"rel", QStringLiteral("self")},
                 {"type", QStringLiteral("application/rss+xml")}},
                {});
    if (!d.text(u"edtCopyright").isEmpty())
        textElement(2, "copyright", d.text(u"edtCopyright"));
    if (!d.text(u"edtOwnerMail").isEmpty())
        textElement(2, "managingEditor",
                    mailWithName(d.text(u"edtOwnerMail"), d.text(u"edtOwnerName")));
    if (d.flag(u"chkPublish"))
        textElement(2, "pubDate",
                    rssMoment(d.date(u"datePublish"), d.time(u"publishTime"), m_zone));
    if (d.flag(u"chkLastChange"))
        textElement(2, "lastBuildDate",
                    rssMoment(d.date(u"dateLastChange"), d.time(u"timeLastChange"), m_zone));
    textElement(2, "generator", kGenerator);
    textElement(2, "ttl", d.text(u"edtTTL"));
    textElement(2, "language", GetLanguageCode(d.text(u"cboLanguage")));

    if (!d.text(u"edtLogoUrl").isEmpty()) {
        open(2, "image");
        textElement(3, "url", d.text(u"edtLogoUrl"));
        textElement(3, "title", d.text(u"edtLogoTitle"));
        textElement(3, "link", d.text(u"edtLinkLogo"));
        textElement(3, "width", d.text(u"edtLogoWidth"));
        textElement(3, "height", d.text(u"edtLogoHeight"));
        close(2, "image");
    }

    static const char* const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    const auto skipList = [&](const char* container, const char* child, const QStringList& keys,
                              const auto& textOf) {
        bool opened = false; // never an empty container
        for (int i = 0; i < keys.size(); ++i) {
            if (!d.flag(keys[i]))
                continue;
            if (!opened)
                open(2, container);
            opened = true;
            textElement(3, child, textOf(i));
        }
        if (opened)
            close(2, container);
    };
    skipList("skipHours", "hour", ChannelSettings::hourKeys(),
             [](int i) { return QString::number(i); });
    skipList("skipDays", "day", ChannelSettings::dayKeys(),
             [](int i) { return QString::fromLatin1(kDays[i]); });
    flushIfFull();
}

void RssWriter::writeItem(const TNewsEntry& entry)
{
    open(2, "item");
    textElement(3, "title", entry.title);
    textElement(3, "description", entry.content);
    textElement(3, "link", entry.link);
    if (!entry.email.isEmpty())
        textElement(3, "author", mailWithName(entry.email, entry.author));
    // Without the attribute RSS takes a GUID for the entry's address.
    if (FeedCheck::isAbsoluteHttpAddress(entry.guid))
        textElement(3, "guid", entry.guid);
    else
        element(m_buffer, 3, "guid", {{"isPermaLink", QStringLiteral("false")}}, entry.guid);
    // RSS 2.0 places no order on item children; right after the guid keeps
    // every element the item had before where it was.
    if (m_enclosures && !entry.fileUrl.isEmpty())
        element(m_buffer, 3, "enclosure",
                {{"url", entry.fileUrl},
                 {"length", entry.filesize.isEmpty() ? QStringLiteral("0") : entry.filesize},
                 {"type", entry.mime}},
                {});
    if (entry.chkPublish)
        textElement(3, "pubDate", rssMoment(entry.date, entry.time, m_zone));
    close(2, "item");
    flushIfFull();
}

void RssWriter::finish()
{
    close(1, "channel");
    m_buffer.append("</rss>\n");
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
