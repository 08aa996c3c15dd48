#include "XmlDocument.h"

#include <QFile>
#include <QSaveFile>
#include <QStringEncoder>

#include <pugixml.hpp>

#include <cstring>

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

} // namespace

bool XmlNode::isElement() const { return wrap(m_node).type() == pugi::node_element; }
bool XmlNode::isComment() const { return wrap(m_node).type() == pugi::node_comment; }
QString XmlNode::name() const { return QString::fromUtf8(wrap(m_node).name()); }
bool XmlNode::hasName(const char* utf8Name) const { return std::strcmp(wrap(m_node).name(), utf8Name) == 0; }
const char* XmlNode::utf8Name() const { return wrap(m_node).name(); }
bool XmlNode::isText() const { return isTextNode(wrap(m_node)); }

QString XmlNode::textContent() const
{
    QByteArray joined;
    for (pugi::xml_node c = wrap(m_node).first_child(); c; c = c.next_sibling())
        if (isTextNode(c))
            joined += c.value();
    return QString::fromUtf8(joined);
}

QByteArray XmlNode::innerXml() const
{
    struct Sink : pugi::xml_writer
    {
        QByteArray out;
        void write(const void* data, size_t size) override
        {
            out.append(static_cast<const char*>(data), qsizetype(size));
        }
    } sink;
    for (pugi::xml_node c = wrap(m_node).first_child(); c; c = c.next_sibling())
        c.print(sink, "", pugi::format_raw, pugi::encoding_utf8);
    return sink.out;
}

XmlNode XmlNode::appendChild(const QString& name) { return appendChild(name.toUtf8().constData()); }

XmlNode XmlNode::appendChild(const char* utf8Name)
{
    return XmlNode(wrap(m_node).append_child(utf8Name).internal_object());
}

XmlNode XmlNode::insertChildAfter(const char* utf8Name, XmlNode sibling)
{
    pugi::xml_node node = wrap(m_node).insert_child_after(pugi::node_element, wrap(sibling.m_node));
    node.set_name(utf8Name);
    return XmlNode(node.internal_object());
}

void XmlNode::setText(const QString& text)
{
    pugi::xml_node node = wrap(m_node);
    while (node.first_child())
        node.remove_child(node.first_child());
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
    attr.set_value(value.toUtf8().constData());
}

QString XmlNode::attribute(const QString& name) const
{
    return QString::fromUtf8(wrap(m_node).attribute(name.toUtf8().constData()).value());
}

QList<std::pair<QString, QString>> XmlNode::attributes() const
{
    QList<std::pair<QString, QString>> list;
    for (pugi::xml_attribute a = wrap(m_node).first_attribute(); a; a = a.next_attribute())
        list.append({QString::fromUtf8(a.name()), QString::fromUtf8(a.value())});
    return list;
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

void XmlDocument::loadFromUtf8(const QByteArray& data)
{
    reset();
    m_buffer = QByteArray(data.constData(), data.size());
    parseOwnBuffer([&data] { return data; }, true);
}

void XmlDocument::parseOwnBuffer(const std::function<QByteArray()>& original, bool utf8)
{
    const pugi::xml_parse_result result =
        m_doc->load_buffer_inplace(m_buffer.data(), size_t(m_buffer.size()), kParseOptions,
                                   utf8 ? pugi::encoding_utf8 : pugi::encoding_auto);
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
