#include "XmlStream.h"

#include "XmlDocument_p.h"

#include <QFile>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Bytes read at a time; an element larger than what is buffered makes the
// next read as large as the buffer, so a huge element costs no more reads
// than its size doubling.
constexpr qsizetype kChunk = 1 << 20;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isUtf8Name(const QByteArray& encoding)
{
    const QByteArray lower = encoding.toLower();
    return lower.isEmpty() || lower == "utf-8" || lower == "utf8";
}

} // namespace

XmlChunkReader::XmlChunkReader(const QString& path, QList<QByteArray> containerPath)
    : m_path(std::move(containerPath))
{
    // Non-blocking, so that a FIFO in the file's place never blocks the open.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))
        unsupported("not a regular file");
    // A chunk read past the unread rest of the one before: room for both.
    m_data.reserve(3 * kChunk);
}

XmlChunkReader::XmlChunkReader(const QByteArray& data, QList<QByteArray> containerPath)
    : m_data(data), m_eof(true), m_path(std::move(containerPath))
{
}

XmlChunkReader::~XmlChunkReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void XmlChunkReader::unsupported(const char* what)
{
    // Never shown: the caller reads the whole file instead.
    throw XmlError(QString::fromLatin1(what));
}

bool XmlChunkReader::fill()
{
    if (m_eof)
        return false;
    const qsizetype want = qMax(kChunk, m_data.size() - m_pos);
    const qsizetype old = m_data.size();
    m_data.resize(old + want);
    ssize_t n = 0;
    do
        n = ::read(m_fd, m_data.data() + old, size_t(want));
    while (n < 0 && errno == EINTR);
    m_data.resize(old + qMax<ssize_t>(n, 0));
    if (n < 0)
        unsupported("read error");
    if (n == 0)
        m_eof = true;
    return n > 0;
}

qsizetype XmlChunkReader::find(QByteArrayView needle, qsizetype from)
{
    for (;;) {
        const qsizetype at = m_data.indexOf(needle, from);
        if (at >= 0)
            return at;
        from = qMax(from, m_data.size() - needle.size() + 1);
        if (!fill())
            unsupported("unexpected end");
    }
}

// Past the ">" of the tag opening at lt; ">" inside a quoted value does not
// count.
qsizetype XmlChunkReader::tagEnd(qsizetype lt)
{
    char quote = 0;
    qsizetype j = lt + 1;
    for (;;) {
        while (j >= m_data.size())
            if (!fill())
                unsupported("unexpected end in a tag");
        // The bytes buffered now, without a bounds check per byte.
        const char* const data = m_data.constData();
        const qsizetype end = m_data.size();
#ifdef __SSE2__
        // Outside quotes, sixteen bytes at a time up to the next byte that
        // matters: most tags are a bare name.
        while (!quote && j + 16 <= end) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
            const int mask = _mm_movemask_epi8(
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('>')),
                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('<'))),
                             _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')))));
            if (mask == 0) {
                j += 16;
                continue;
            }
            j += std::countr_zero(unsigned(mask));
            break;
        }
#endif
        for (; j < end; ++j) {
            const char c = data[j];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '>') {
                return j + 1;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '<') {
                unsupported("\"<\" in a tag");
            }
        }
    }
}

qsizetype XmlChunkReader::skipBlanks(qsizetype from)
{
    for (;;) {
        while (from < m_data.size() && isBlank(m_data.at(from)))
            ++from;
        if (from < m_data.size() || !fill())
            return from;
    }
}

namespace {

enum class Markup { Comment, CData, Instruction, Declaration, EndTag, StartTag };

Markup markupAt(const QByteArray& d, qsizetype lt)
{
    const char next = lt + 1 < d.size() ? d.at(lt + 1) : 0;
    if (next == '/')
        return Markup::EndTag;
    if (next != '!' && next != '?')
        return Markup::StartTag;
    const QByteArrayView rest = QByteArrayView(d).sliced(lt);
    if (rest.startsWith("<!--"))
        return Markup::Comment;
    if (rest.startsWith("<![CDATA["))
        return Markup::CData;
    if (rest.startsWith("<?"))
        return Markup::Instruction;
    if (rest.startsWith("<!"))
        return Markup::Declaration;
    if (rest.startsWith("</"))
        return Markup::EndTag;
    return Markup::StartTag;
}

// The name of the tag between from and end ("<name ...>" or "</name>").
QByteArray tagName(const QByteArray& d, qsizetype from, qsizetype end)
{
    qsizetype stop = from;
    while (stop < end && !isBlank(d.at(stop)) && d.at(stop) != '/' && d.at(stop) != '>')
        ++stop;
    return d.mid(from, stop - from);
}

// The name of an end tag "</name>" or "</name  >"; empty when anything else
// stands before the '>' (such as "</name/>"), so that it matches no open tag.
QByteArray endTagName(const QByteArray& d, qsizetype from, qsizetype end)
{
    const QByteArray name = tagName(d, from, end);
    for (qsizetype k = from + name.size(); k < end - 1; ++k) {
        if (!isBlank(d.at(k)))
            return QByteArray();
    }
    return name;
}

} // namespace

// Past the end of the element starting at start, markup sections inside
// skipped.
qsizetype XmlChunkReader::elementEnd(qsizetype start)
{
    int depth = 0;
    qsizetype i = start;
    for (;;) {
        const qsizetype lt = find("<", i);
        // Enough bytes to tell the kinds of markup apart.
        while (m_data.size() < lt + 9 && fill()) {
        }
        switch (markupAt(m_data, lt)) {
        case Markup::Comment:
            i = find("-->", lt + 4) + 3;
            break;
        case Markup::CData:
            i = find("]]>", lt + 9) + 3;
            break;
        case Markup::Instruction:
            i = find("?>", lt + 2) + 2;
            break;
        case Markup::Declaration:
            unsupported("declaration");
        case Markup::EndTag:
            i = tagEnd(lt);
            if (--depth == 0)
                return i;
            break;
        case Markup::StartTag:
            i = tagEnd(lt);
            if (m_data.at(i - 2) != '/')
                ++depth;
            else if (depth == 0)
                return i;
            break;
        }
    }
}

void XmlChunkReader::readHead(XmlDocument& head)
{
    fill();
    while (m_data.size() < 512 && fill()) {
    }
    if (XmlDocumentDetail::isWideEncoding(m_data))
        unsupported("UTF-16 or UTF-32");
    const qsizetype bom = m_data.startsWith("\xEF\xBB\xBF") ? 3 : 0;

    qsizetype i = bom;
    for (;;) {
        const qsizetype lt = find("<", i);
        while (m_data.size() < lt + 9 && fill()) {
        }
        const Markup kind = markupAt(m_data, lt);
        if (kind == Markup::Comment) {
            i = find("-->", lt + 4) + 3;
            continue;
        }
        if (kind == Markup::CData) {
            i = find("]]>", lt + 9) + 3;
            continue;
        }
        if (kind == Markup::Instruction) {
            i = find("?>", lt + 2) + 2;
            continue;
        }
        if (kind == Markup::Declaration)
            unsupported("document type declaration");
        i = tagEnd(lt);
        if (kind == Markup::EndTag) {
            if (m_open.isEmpty() || endTagName(m_data, lt + 2, i) != m_open.last())
                unsupported("end tag");
            m_open.removeLast();
            if (m_open.isEmpty())
                unsupported("no container");
            continue;
        }
        const QByteArray name = tagName(m_data, lt + 1, i);
        if (name.isEmpty())
            unsupported("start tag");
        const bool selfClosing = m_data.at(i - 2) == '/';
        const bool container = !m_open.isEmpty() && m_open.size() == m_path.size() &&
                               m_open.mid(1) == m_path.first(m_path.size() - 1) &&
                               name == m_path.last();
        if (!selfClosing)
            m_open.append(name);
        if (container) {
            m_emptyContainer = selfClosing;
            m_inContainer = !selfClosing;
            break;
        }
    }

    QByteArray text = m_data.left(i);
    // The children are read as UTF-8: the head must not say otherwise.
    if (!isUtf8Name(XmlDocumentDetail::declaredEncoding(text.mid(bom))))
        unsupported("declared encoding");
    for (qsizetype k = m_open.size() - 1; k >= 0; --k)
        text += "</" + m_open[k] + '>';
    head.loadFromData(text);
    m_pos = i;
}

bool XmlChunkReader::readChild(XmlDocument& child)
{
    QByteArrayView text;
    if (!nextChild(text))
        return false;
    child.loadFromUtf8(QByteArray::fromRawData(text.data(), text.size()));
    return true;
}

bool XmlChunkReader::nextChild(QByteArrayView& text)
{
    if (!m_inContainer)
        return false;
    // Dropping what was read now and then keeps the buffer at about a chunk.
    // Moved down by hand: QByteArray::remove() at the front only moves its
    // start, and every later read then reallocated the buffer.
    if (m_pos >= kChunk) {
        const qsizetype rest = m_data.size() - m_pos;
        char* data = m_data.data();
        std::memmove(data, data + m_pos, size_t(rest));
        m_data.resize(rest);
        m_pos = 0;
    }
    const qsizetype lt = skipBlanks(m_pos);
    if (lt >= m_data.size() || m_data.at(lt) != '<')
        unsupported("text in the container");
    while (m_data.size() < lt + 9 && fill()) {
    }
    const Markup kind = markupAt(m_data, lt);
    if (kind == Markup::EndTag) {
        m_pos = tagEnd(lt);
        if (endTagName(m_data, lt + 2, m_pos) != m_open.last())
            unsupported("end tag");
        m_open.removeLast();
        m_inContainer = false;
        return false;
    }
    if (kind != Markup::StartTag)
        unsupported("markup in the container");
    const qsizetype end = elementEnd(lt);
    text = QByteArrayView(m_data.constData() + lt, end - lt);
    m_pos = end;
    return true;
}

void XmlChunkReader::finish()
{
    XmlDocument skipped;
    while (readChild(skipped)) {
    }
    while (!m_open.isEmpty()) {
        const qsizetype lt = skipBlanks(m_pos);
        while (m_data.size() < lt + 2 && fill()) {
        }
        if (lt + 1 >= m_data.size() || m_data.at(lt) != '<' || m_data.at(lt + 1) != '/')
            unsupported("content after the container");
        m_pos = tagEnd(lt);
        if (endTagName(m_data, lt + 2, m_pos) != m_open.last())
            unsupported("end tag");
        m_open.removeLast();
    }
    if (skipBlanks(m_pos) < m_data.size())
        unsupported("content after the root");
}
