// The HTML part of the feed check: descriptions and entry texts are
// fragments typed or pasted by hand, often cut from a web page, so the scan
// takes whatever comes and only looks for what readers trip over.
#include "FeedCheck_p.h"

#include <cstring>
#include <string>
#include <vector>

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

// Tag names are ASCII; short ones stay in std::string's own buffer.
std::string lowerName(QStringView text)
{
    std::string name(size_t(text.size()), ' ');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        name[size_t(i)] = char(c >= u'A' && c <= u'Z' ? c + 32 : c);
    }
    return name;
}

bool oneOf(const std::string& name, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (name == n)
            return true;
    return false;
}

bool isVoid(const std::string& name)
{
    return oneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
                        "param", "source", "track", "wbr"});
}

// Elements whose end tag HTML lets the next element imply: readers close them.
bool endTagOptional(const std::string& name)
{
    return oneOf(name,
                 {"p", "li", "dt", "dd", "tr", "td", "th", "option", "optgroup", "thead", "tbody",
                  "tfoot", "colgroup", "caption", "rt", "rp", "html", "head", "body"});
}

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
        while ((i = m_html.indexOf(u'<', i)) >= 0)
            i = tag(i);
        for (const std::string& open : m_open) {
            if (!endTagOptional(open)) {
                m_issues.unclosedTag = QString::fromLatin1(open.c_str());
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

    // Handles the markup at `start` ('<'); returns where scanning goes on.
    qsizetype tag(qsizetype start)
    {
        const QStringView rest = m_html.mid(start);
        if (rest.startsWith(u"<!--"))
            return skipPast(start + 4, u"-->");
        if (rest.size() > 1 && (rest[1] == u'!' || rest[1] == u'?'))
            return skipPast(start + 2, u">");
        const bool closing = rest.size() > 1 && rest[1] == u'/';
        qsizetype i = start + (closing ? 2 : 1);
        const qsizetype nameStart = i;
        while (i < m_html.size() && isNameChar(m_html[i].unicode()))
            ++i;
        if (i == nameStart) // "a < b": text, not a tag
            return start + 1;
        const std::string name = lowerName(m_html.mid(nameStart, i - nameStart));
        if (closing) {
            close(name);
            return skipPast(i, u">");
        }
        bool selfClosing = false;
        i = attributes(i, selfClosing);
        if (oneOf(name, {"script", "iframe", "object", "embed", "frame"}))
            noteActive(u'<' + QString::fromLatin1(name.c_str()) + u'>');
        if (name == "script" || name == "style") // their body is not markup
            return skipPast(i, QString(QStringLiteral("</") + QString::fromLatin1(name.c_str())));
        if (!selfClosing && !isVoid(name))
            m_open.push_back(name);
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
            const std::string attr = lowerName(m_html.mid(nameStart, i - nameStart));
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

    void attribute(const std::string& name, QStringView value)
    {
        if (name.size() > 2 && name[0] == 'o' && name[1] == 'n')
            noteActive(QString::fromLatin1(name.c_str()) + QStringLiteral("=…"));
        if (name != "href" && name != "src")
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
    void close(const std::string& name)
    {
        for (size_t k = m_open.size(); k-- > 0;) {
            if (m_open[k] != name)
                continue;
            for (size_t inner = k + 1; inner < m_open.size(); ++inner) {
                if (!endTagOptional(m_open[inner]) && m_issues.unclosedTag.isEmpty())
                    m_issues.unclosedTag = QString::fromLatin1(m_open[inner].c_str());
            }
            m_open.resize(k);
            return;
        }
    }

    QStringView m_html;
    std::vector<std::string> m_open;
    HtmlIssues m_issues;
};

} // namespace

HtmlIssues scanHtml(QStringView html)
{
    // Most texts in a feed are plain: nothing to scan.
    if (!html.contains(u'<'))
        return {};
    return Scanner(html).run();
}

} // namespace FeedCheck::detail
