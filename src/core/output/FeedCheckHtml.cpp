// The HTML part of the feed check: descriptions and entry texts are
// fragments typed or pasted by hand, often cut from a web page, so the scan
// takes whatever comes and only looks for what readers trip over.
#include "FeedCheck_p.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace FeedCheck::detail {
namespace {

bool isNameChar(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u':' || c == u'_';
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

// A tag name folded to lower case and packed into an integer: up to eight
// ASCII characters as they are, longer names hashed with the top bit set.
// Comparing names is then one integer compare.
using TagKey = std::uint64_t;

constexpr TagKey packName(std::string_view name)
{
    if (name.size() <= 8) {
        TagKey key = 0;
        for (const char c : name)
            key = (key << 8) | std::uint8_t(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return key;
    }
    TagKey hash = 1469598103934665603ull;
    for (const char c : name)
        hash = (hash ^ std::uint8_t(c >= 'A' && c <= 'Z' ? c + 32 : c)) * 1099511628211ull;
    return hash | (TagKey(1) << 63);
}

TagKey keyOf(QStringView name)
{
    char buffer[64];
    const qsizetype n = std::min<qsizetype>(name.size(), sizeof buffer);
    for (qsizetype i = 0; i < n; ++i)
        buffer[i] = char(name[i].unicode()); // name characters are ASCII
    return packName(std::string_view(buffer, size_t(n)));
}

template <size_t N> constexpr std::array<TagKey, N> keys(const char* const (&names)[N])
{
    std::array<TagKey, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = packName(names[i]);
    return out;
}

template <size_t N> bool oneOf(TagKey key, const std::array<TagKey, N>& set)
{
    return std::find(set.begin(), set.end(), key) != set.end();
}

constexpr const char* kVoidNames[] = {"area",  "base", "br",   "col",   "embed",  "hr",    "img",
                                      "input", "link", "meta", "param", "source", "track", "wbr"};
// Elements whose end tag HTML lets the next element imply: readers close them.
constexpr const char* kOptionalEndNames[] = {
    "p",     "li",    "dt",       "dd",      "tr", "td", "th",   "option", "optgroup", "thead",
    "tbody", "tfoot", "colgroup", "caption", "rt", "rp", "html", "head",   "body"};
constexpr const char* kActiveNames[] = {"script", "iframe", "object", "embed", "frame"};
constexpr auto kVoid = keys(kVoidNames);
constexpr auto kOptionalEnd = keys(kOptionalEndNames);
constexpr auto kActive = keys(kActiveNames);
constexpr TagKey kScript = packName("script");
constexpr TagKey kStyle = packName("style");

bool isVoid(TagKey key)
{
    return oneOf(key, kVoid);
}
bool endTagOptional(TagKey key)
{
    return oneOf(key, kOptionalEnd);
}

// Index of the next `wanted` from `from`, or -1. The scan's main loop: a
// call into Qt per tag cost more than the tags themselves.
qsizetype nextOf(QStringView text, qsizetype from, char16_t wanted)
{
    const char16_t* data = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = from;
#ifdef __SSE2__
    for (; i + 8 <= n; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(c, _mm_set1_epi16(short(wanted))));
        if (mask != 0)
            return i + std::countr_zero(unsigned(mask)) / 2;
    }
#endif
    for (; i < n; ++i)
        if (data[i] == wanted)
            return i;
    return -1;
}

// Case-insensitive comparison with a lower-case ASCII word.
bool equalsWord(QStringView text, std::string_view lowerWord)
{
    if (text.size() != qsizetype(lowerWord.size()))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c += 32;
        if (c != char16_t(lowerWord[size_t(i)]))
            return false;
    }
    return true;
}

struct OpenTag
{
    TagKey key;
    QStringView name;
};

// A value with a scheme ("https:", "mailto:", "data:") needs no base.
bool hasScheme(QStringView value)
{
    if (value.isEmpty() || !value[0].isLetter())
        return false;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u':')
            return true;
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.'))
            return false;
    }
    return false;
}

class Scanner
{
public:
    explicit Scanner(QStringView html) : m_html(html) {}

    HtmlIssues run()
    {
        qsizetype i = 0;
        while ((i = nextOf(m_html, i, u'<')) >= 0)
            i = tag(i);
        for (const OpenTag& open : m_open) {
            if (!endTagOptional(open.key)) {
                m_issues.unclosedTag = open.name.toString().toLower();
                break;
            }
        }
        return m_issues;
    }

private:
    qsizetype skipPast(qsizetype from, QStringView end) const
    {
        const qsizetype at = m_html.indexOf(end, from, Qt::CaseInsensitive);
        return at < 0 ? m_html.size() : at + end.size();
    }

    qsizetype skipPastGreater(qsizetype from) const
    {
        const qsizetype at = nextOf(m_html, from, u'>');
        return at < 0 ? m_html.size() : at + 1;
    }

    // Handles the markup at `start` ('<'); returns where scanning goes on.
    qsizetype tag(qsizetype start)
    {
        // The character after '<' decides, and is most often a name.
        const char16_t next = start + 1 < m_html.size() ? m_html[start + 1].unicode() : 0;
        if (next == u'!' || next == u'?') {
            if (m_html.mid(start).startsWith(u"<!--"))
                return skipPast(start + 4, u"-->");
            return skipPastGreater(start + 2);
        }
        const bool closing = next == u'/';
        qsizetype i = start + (closing ? 2 : 1);
        const qsizetype nameStart = i;
        while (i < m_html.size() && isNameChar(m_html[i].unicode()))
            ++i;
        if (i == nameStart) // "a < b": text, not a tag
            return start + 1;
        const QStringView name = m_html.mid(nameStart, i - nameStart);
        const TagKey key = keyOf(name);
        if (closing) {
            close(key);
            return skipPastGreater(i);
        }
        bool selfClosing = false;
        i = attributes(i, selfClosing);
        if (oneOf(key, kActive))
            noteActive(u'<' + name.toString().toLower() + u'>');
        if (key == kScript || key == kStyle) // their body is not markup
            return skipPast(i, QString(QStringLiteral("</") + name.toString()));
        if (!selfClosing && !isVoid(key))
            m_open.push_back({key, name});
        return i;
    }

    // Reads the attributes up to and past '>'.
    qsizetype attributes(qsizetype i, bool& selfClosing)
    {
        const qsizetype size = m_html.size();
        while (i < size) {
            const char16_t c = m_html[i].unicode();
            if (c == u'>')
                return i + 1;
            if (c == u'/' && i + 1 < size && m_html[i + 1] == u'>') {
                selfClosing = true;
                return i + 2;
            }
            if (isBlank(c) || c == u'/') {
                ++i;
                continue;
            }
            const qsizetype nameStart = i;
            while (i < size && !isBlank(m_html[i].unicode()) && m_html[i] != u'=' &&
                   m_html[i] != u'>' && m_html[i] != u'/')
                ++i;
            const QStringView attr = m_html.mid(nameStart, i - nameStart);
            while (i < size && isBlank(m_html[i].unicode()))
                ++i;
            QStringView value;
            if (i < size && m_html[i] == u'=') {
                ++i;
                while (i < size && isBlank(m_html[i].unicode()))
                    ++i;
                i = attributeValue(i, value);
            }
            attribute(attr, value);
        }
        return size;
    }

    qsizetype attributeValue(qsizetype i, QStringView& value) const
    {
        const qsizetype size = m_html.size();
        if (i < size && (m_html[i] == u'"' || m_html[i] == u'\'')) {
            const QChar quote = m_html[i];
            qsizetype end = m_html.indexOf(quote, i + 1);
            if (end < 0)
                end = size;
            value = m_html.mid(i + 1, end - i - 1);
            return std::min(end + 1, size);
        }
        const qsizetype start = i;
        while (i < size && !isBlank(m_html[i].unicode()) && m_html[i] != u'>')
            ++i;
        value = m_html.mid(start, i - start);
        return i;
    }

    void attribute(QStringView name, QStringView value)
    {
        if (name.size() > 2 && equalsWord(name.first(2), "on"))
            noteActive(name.toString().toLower() + QStringLiteral("=…"));
        if (!equalsWord(name, "href") && !equalsWord(name, "src"))
            return;
        const QStringView address = value.trimmed();
        if (!address.isEmpty() && !hasScheme(address) && m_issues.relativeAddress.isEmpty())
            m_issues.relativeAddress = address.toString();
    }

    void noteActive(const QString& what)
    {
        if (m_issues.activeContent.isEmpty())
            m_issues.activeContent = what;
    }

    // An end tag closes its element and every one opened after it; one
    // without an open element is ignored, as readers do.
    void close(TagKey key)
    {
        for (size_t k = m_open.size(); k-- > 0;) {
            if (m_open[k].key != key)
                continue;
            for (size_t inner = k + 1; inner < m_open.size(); ++inner) {
                if (!endTagOptional(m_open[inner].key) && m_issues.unclosedTag.isEmpty())
                    m_issues.unclosedTag = m_open[inner].name.toString().toLower();
            }
            m_open.resize(k);
            return;
        }
    }

    QStringView m_html;
    std::vector<OpenTag> m_open;
    HtmlIssues m_issues;
};

} // namespace

HtmlIssues scanHtml(QStringView html)
{
    // Most texts in a feed are plain: nothing to scan.
    if (nextOf(html, 0, u'<') < 0)
        return {};
    return Scanner(html).run();
}

} // namespace FeedCheck::detail
