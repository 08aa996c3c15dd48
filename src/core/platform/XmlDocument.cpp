#include "XmlDocument.h"

#include <QFile>
#include <QSaveFile>
#include <QStringEncoder>

#include <pugixml.hpp>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <sys/stat.h>

namespace {

pugi::xml_node wrap(pugi::xml_node_struct* node) { return pugi::xml_node(node); }

bool isTextNode(const pugi::xml_node& node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// pugixml writes a CR in text as a raw byte, which a parser turns into LF;
// a character reference keeps it.
template <typename Sink> class CrEscapingWriter : public pugi::xml_writer
{
public:
    explicit CrEscapingWriter(Sink sink) : m_sink(std::move(sink)) {}
    void write(const void* data, size_t size) override
    {
        const char* p = static_cast<const char*>(data);
        const char* end = p + size;
        while (p < end) {
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
            if (!cr) {
                m_sink(p, end - p);
                break;
            }
            m_sink(p, cr - p);
            m_sink("&#13;", 5);
            p = cr + 1;
        }
    }

private:
    Sink m_sink;
};

template <typename Sink> void serialize(const pugi::xml_document& doc, Sink sink)
{
    CrEscapingWriter<Sink> writer(std::move(sink));
    doc.save(writer, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
}

bool isBlank(const char* text)
{
    for (; *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    return true;
}

// The parser drops blank text itself; text that is blank only through
// character references (a stored "&#13;\n") stays in the tree and is
// skipped here, so every blank text node is invisible to callers.
pugi::xml_node skipBlank(pugi::xml_node node)
{
    while (node && node.type() == pugi::node_pcdata && isBlank(node.value()))
        node = node.next_sibling();
    return node;
}

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments;

QString parseErrorText(const QString& reason, const QByteArray& data, ptrdiff_t offset)
{
    int line = 0;
    QString source;
    if (offset >= 0 && offset <= data.size()) {
        line = 1;
        qsizetype lineStart = 0;
        for (qsizetype i = 0; i < offset; ++i) {
            if (data[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        qsizetype lineEnd = data.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = data.size();
        source = QString::fromUtf8(data.mid(lineStart, lineEnd - lineStart));
        if (source.endsWith(u'\r'))
            source.chop(1);
        source = source.left(40);
    }
    return reason + QStringLiteral("\nLine: ") + QString::number(line) + QLatin1Char('\n') + source;
}

bool isForbiddenBelowSurrogates(char16_t c)
{
    return c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
}

// Start of the first block of eight characters that holds a control
// character other than tab, LF and CR, or anything from U+D800 up; the
// exact scan takes over there.
qsizetype skipPlainBlocks(const char16_t* data, qsizetype i, qsizetype size)
{
#ifdef __SSE2__
    // Unsigned 16-bit compares through the signed ones: flip the top bit.
    const __m128i flip = _mm_set1_epi16(short(0x8000));
    const __m128i below20 = _mm_set1_epi16(short(0x8020));
    const __m128i atLeastD800 = _mm_set1_epi16(short(0xD800 ^ 0x8000) - 1);
    const __m128i tab = _mm_set1_epi16(0x09);
    const __m128i lf = _mm_set1_epi16(0x0A);
    const __m128i cr = _mm_set1_epi16(0x0D);
    for (; i + 8 <= size; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i x = _mm_xor_si128(c, flip);
        const __m128i control = _mm_andnot_si128(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(c, tab), _mm_cmpeq_epi16(c, lf)),
                         _mm_cmpeq_epi16(c, cr)),
            _mm_cmplt_epi16(x, below20));
        const __m128i high = _mm_cmpgt_epi16(x, atLeastD800);
        if (_mm_movemask_epi8(_mm_or_si128(control, high)) != 0)
            break;
    }
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
    return i;
}

} // namespace

qsizetype firstForbiddenXmlChar(QStringView text, qsizetype from)
{
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    // Every text the writers set passes here: skip blocks of eight plain
    // characters at a time, the case of almost every text.
    from = skipPlainBlocks(data, from, size);
    for (qsizetype i = from; i < size; ++i) {
        const char16_t c = data[i];
        if (c < 0xD800) {
            if (isForbiddenBelowSurrogates(c))
                return i;
            continue;
        }
        if (c >= 0xFFFE)
            return i;
        if (c >= 0xE000)
            continue;
        // A surrogate: only a high one followed by a low one is a character.
        if (c < 0xDC00 && i + 1 < size && data[i + 1] >= 0xDC00 && data[i + 1] < 0xE000) {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

QString withoutForbiddenXmlChars(const QString& text)
{
    qsizetype bad = firstForbiddenXmlChar(text);
    if (bad < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype start = 0;
    while (bad >= 0) {
        out.append(QStringView(text).mid(start, bad - start));
        start = bad + 1;
        bad = firstForbiddenXmlChar(text, start);
    }
    out.append(QStringView(text).mid(start));
    return out;
}

bool XmlNode::isElement() const { return wrap(m_node).type() == pugi::node_element; }
bool XmlNode::isComment() const { return wrap(m_node).type() == pugi::node_comment; }
QString XmlNode::name() const { return QString::fromUtf8(wrap(m_node).name()); }
bool XmlNode::hasName(const char* utf8Name) const { return std::strcmp(wrap(m_node).name(), utf8Name) == 0; }

XmlNode XmlNode::appendChild(const QString& name) { return appendChild(name.toUtf8().constData()); }

XmlNode XmlNode::appendChild(const char* utf8Name)
{
    return XmlNode(wrap(m_node).append_child(utf8Name).internal_object());
}

void XmlNode::setText(const QString& value)
{
    pugi::xml_node node = wrap(m_node);
    while (node.first_child())
        node.remove_child(node.first_child());
    const QString text = withoutForbiddenXmlChars(value);
    if (text.isEmpty())
        return;
    // Encoded into one reused buffer: a large project sets many thousands
    // of values, and pugixml copies each anyway.
    thread_local QByteArray buffer;
    QStringEncoder encoder(QStringEncoder::Utf8);
    buffer.resize(encoder.requiredSpace(text.size()));
    const char* end = encoder.appendToBuffer(buffer.data(), text);
    node.append_child(pugi::node_pcdata).set_value(buffer.constData(), size_t(end - buffer.constData()));
}

QString XmlNode::text() const
{
    const pugi::xml_node first = skipBlank(wrap(m_node).first_child());
    if (!first)
        return {};
    if (isTextNode(first) && !skipBlank(first.next_sibling()))
        return QString::fromUtf8(first.value());
    throw XmlError(QStringLiteral("Element \"%1\" does not contain a single text node").arg(name()));
}

QString XmlNode::plainText() const noexcept
{
    const pugi::xml_node first = skipBlank(wrap(m_node).first_child());
    if (first && isTextNode(first) && !skipBlank(first.next_sibling()))
        return QString::fromUtf8(first.value());
    return {};
}

XmlNode XmlNode::findChild(const QString& name) const { return findChild(name.toUtf8().constData()); }

XmlNode XmlNode::findChild(const char* utf8Name) const
{
    return XmlNode(wrap(m_node).child(utf8Name).internal_object());
}

int XmlNode::childCount() const
{
    int count = 0;
    for (XmlNode c = firstChild(); c; c = c.nextSibling())
        ++count;
    return count;
}

XmlNode XmlNode::childAt(int index) const
{
    if (index < 0)
        return {};
    XmlNode c = firstChild();
    for (int i = 0; c && i < index; ++i)
        c = c.nextSibling();
    return c;
}

XmlNode XmlNode::firstChild() const
{
    return XmlNode(skipBlank(wrap(m_node).first_child()).internal_object());
}

XmlNode XmlNode::nextSibling() const
{
    return XmlNode(skipBlank(wrap(m_node).next_sibling()).internal_object());
}

bool XmlNode::removeChild(const QString& name)
{
    pugi::xml_node node = wrap(m_node);
    return node.remove_child(node.child(name.toUtf8().constData()));
}

void XmlNode::setAttribute(const QString& name, const QString& value)
{
    pugi::xml_node node = wrap(m_node);
    const QByteArray key = name.toUtf8();
    pugi::xml_attribute attr = node.attribute(key.constData());
    if (!attr)
        attr = node.append_attribute(key.constData());
    attr.set_value(withoutForbiddenXmlChars(value).toUtf8().constData());
}

QString XmlNode::attribute(const QString& name) const
{
    return QString::fromUtf8(wrap(m_node).attribute(name.toUtf8().constData()).value());
}

XmlDocument::XmlDocument() : m_doc(std::make_unique<pugi::xml_document>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

void XmlDocument::reset()
{
    m_doc->reset();
    m_buffer.clear();
}

void XmlDocument::load(const QString& path)
{
    reset();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw XmlError(parseErrorText(file.errorString(), {}, -1));
    // One read into a buffer of the file's size: readAll() grows its buffer
    // step by step, which costs more than the parse on large projects.
    m_buffer = QByteArray(file.size(), Qt::Uninitialized);
    const qint64 got = file.read(m_buffer.data(), m_buffer.size());
    if (got >= 0 && got < m_buffer.size())
        m_buffer.truncate(got);
    if (got < 0 || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        reset();
        throw XmlError(parseErrorText(reason, {}, -1));
    }
    // The in-place parse rewrites the buffer; an error message reads the file again.
    parseOwnBuffer([&file] {
        file.seek(0);
        return file.readAll();
    });
}

void XmlDocument::loadFromData(const QByteArray& data)
{
    reset();
    m_buffer = QByteArray(data.constData(), data.size());
    parseOwnBuffer([&data] { return data; });
}

void XmlDocument::parseOwnBuffer(const std::function<QByteArray()>& original)
{
    const pugi::xml_parse_result result = m_doc->load_buffer_inplace(
        m_buffer.data(), size_t(m_buffer.size()), kParseOptions, pugi::encoding_auto);
    if (!result) {
        const QString reason = QString::fromUtf8(result.description());
        reset();
        throw XmlError(parseErrorText(reason, original(), result.offset));
    }
    if (!m_doc->document_element()) {
        reset();
        throw XmlError(parseErrorText(QStringLiteral("No document element found"), original(), 0));
    }
}

XmlNode XmlDocument::documentElement() const
{
    return XmlNode(m_doc->document_element().internal_object());
}

XmlNode XmlDocument::createRoot(const QString& name)
{
    return XmlNode(m_doc->append_child(name.toUtf8().constData()).internal_object());
}

QByteArray XmlDocument::toUtf8() const
{
    QByteArray out;
    serialize(*m_doc, [&out](const char* data, qsizetype size) { out.append(data, size); });
    return out;
}

void XmlDocument::save(const QString& path, bool ownerOnly) const
{
    QSaveFile file(path);
    // Our own large buffer: pugixml hands over small chunks.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (ok && ownerOnly)
        ok = ::fchmod(file.handle(), S_IRUSR | S_IWUSR) == 0;
    if (ok) {
        constexpr qsizetype kChunk = 1 << 18;
        QByteArray buffer;
        buffer.reserve(kChunk);
        const auto flush = [&] {
            ok = ok && file.write(buffer) == buffer.size();
            buffer.resize(0);
        };
        serialize(*m_doc, [&](const char* data, qsizetype size) {
            if (buffer.size() + size > kChunk)
                flush();
            buffer.append(data, size);
        });
        flush();
        ok = ok && file.commit();
    }
    if (!ok) {
        throw Error(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2")
                        .arg(path, file.errorString()));
    }
}
