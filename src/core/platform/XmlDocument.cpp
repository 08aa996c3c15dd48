#include "XmlDocument.h"

#include "FileAccess.h"
#include "SystemError.h"
#include "XmlDocument_p.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <bit>
#include <cstring>
#include <exception>
#include <optional>
#include <pugixml.hpp>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

pugi::xml_node wrap(pugi::xml_node_struct* node)
{
    return pugi::xml_node(node);
}

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

// Fragment mode keeps text outside the root element in the tree, so that
// checkTopLevel() can refuse it instead of pugixml dropping it silently.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_fragment;

// Where a problem was found: a byte offset into the UTF-8 text, or none.
struct Problem
{
    QString reason;
    qsizetype offset = -1;
};

// "reason", then the line and the start of the offending line where the
// offset is known. Lines are counted in the UTF-8 text, so a UTF-16 file
// gets the same line numbers as its UTF-8 copy.
QString parseErrorText(const Problem& problem, const QByteArray& data)
{
    const qsizetype offset = problem.offset;
    if (offset < 0 || offset > data.size())
        return problem.reason;
    int line = 1;
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
    QString source = QString::fromUtf8(data.mid(lineStart, lineEnd - lineStart));
    if (source.endsWith(u'\r'))
        source.chop(1);
    return problem.reason + QStringLiteral("\nZeile: ") + QString::number(line) +
           QLatin1Char('\n') + source.left(40);
}

QString parserReason(pugi::xml_parse_status status)
{
    switch (status) {
    case pugi::status_out_of_memory:
        return QStringLiteral("Nicht genug Arbeitsspeicher");
    case pugi::status_unrecognized_tag:
        return QStringLiteral("Unbekannte Auszeichnung");
    case pugi::status_bad_pi:
        return QStringLiteral("Fehlerhafte Verarbeitungsanweisung oder Deklaration");
    case pugi::status_bad_comment:
        return QStringLiteral("Fehlerhafter Kommentar");
    case pugi::status_bad_cdata:
        return QStringLiteral("Fehlerhafter CDATA-Abschnitt");
    case pugi::status_bad_doctype:
        return QStringLiteral("Fehlerhafte Dokumenttyp-Deklaration");
    case pugi::status_bad_pcdata:
        return QStringLiteral("Fehlerhafter Text");
    case pugi::status_bad_start_element:
        return QStringLiteral("Fehlerhaftes Start-Tag");
    case pugi::status_bad_attribute:
        return QStringLiteral("Fehlerhaftes Attribut");
    case pugi::status_bad_end_element:
        return QStringLiteral("Fehlerhaftes End-Tag");
    case pugi::status_end_element_mismatch:
        return QStringLiteral("Das End-Tag passt nicht zum Start-Tag");
    case pugi::status_no_document_element:
        return QStringLiteral("Kein Wurzelelement gefunden");
    default:
        return QStringLiteral("Fehlerhaftes XML");
    }
}

// --- Encodings ------------------------------------------------------------

// The length of the UTF-8 sequence at p (overlong forms, surrogates and
// code points past U+10FFFF refused), or 0 when it is not one.
int utf8SequenceLength(const unsigned char* p, qsizetype available)
{
    const unsigned char c = p[0];
    int length = 0;
    unsigned min = 0;
    unsigned cp = 0;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2, min = 0x80, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3, min = 0x800, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        length = 4, min = 0x10000, cp = c & 0x07;
    else
        return 0;
    if (length > available)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

// The encoding named in the XML declaration of an ASCII-compatible file, or
// an empty text when there is none.
QByteArray declaredEncoding(const QByteArray& data)
{
    if (!data.startsWith("<?xml"))
        return {};
    const qsizetype end = data.indexOf("?>");
    const QByteArray declaration = data.left(end < 0 ? qMin<qsizetype>(data.size(), 200) : end);
    const qsizetype key = declaration.indexOf("encoding");
    if (key < 0)
        return {};
    qsizetype i = key + 8;
    while (i < declaration.size() &&
           (declaration[i] == ' ' || declaration[i] == '=' || declaration[i] == '\t' ||
            declaration[i] == '\r' || declaration[i] == '\n'))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return {};
    const qsizetype close = declaration.indexOf(declaration[i], i + 1);
    return close < 0 ? QByteArray() : declaration.mid(i + 1, close - i - 1).trimmed();
}

// A byte order mark or the zero bytes around the first "<" show a UTF-16
// or UTF-32 file; nullopt for an ASCII-compatible one.
std::optional<QStringConverter::Encoding> wideEncoding(const QByteArray& d)
{
    const auto at = [&d](qsizetype i) { return i < d.size() ? uchar(d[i]) : 0x100; };
    if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0)
        return QStringConverter::Utf32LE;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF)
        return QStringConverter::Utf32BE;
    if (at(0) == 0xFF && at(1) == 0xFE)
        return QStringConverter::Utf16LE;
    if (at(0) == 0xFE && at(1) == 0xFF)
        return QStringConverter::Utf16BE;
    if (at(0) == '<' && at(1) == 0 && at(2) == 0 && at(3) == 0)
        return QStringConverter::Utf32LE;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) == '<')
        return QStringConverter::Utf32BE;
    if (at(0) == '<' && at(1) == 0)
        return QStringConverter::Utf16LE;
    if (at(0) == 0 && at(1) == '<')
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

QString unsupportedEncoding(const QByteArray& name)
{
    return QStringLiteral("Die Zeichenkodierung \"%1\" wird nicht unterstützt")
        .arg(QString::fromLatin1(name));
}

QString undecodable(const QString& encoding)
{
    return QStringLiteral("Die Datei enthält Bytes, die in der Zeichenkodierung \"%1\" nicht "
                          "vorkommen")
        .arg(encoding);
}

// The document as UTF-8 text: UTF-8 as it is (its byte order mark dropped),
// every other encoding decoded from what the byte order mark or the
// declaration names. Throws Problem for what cannot be decoded.
QByteArray toUtf8Text(QByteArray data)
{
    QString text;
    if (const auto wide = wideEncoding(data)) {
        QStringDecoder decoder(*wide); // drops the byte order mark itself
        text = decoder(data);
        if (decoder.hasError())
            throw Problem{
                undecodable(QString::fromLatin1(QStringConverter::nameForEncoding(*wide)))};
        return text.toUtf8();
    }
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    const QByteArray name = declaredEncoding(data);
    const QByteArray lower = name.toLower();
    if (name.isEmpty() || lower == "utf-8" || lower == "utf8")
        return data; // checked by scanCharacters()
    // A file declared as UTF-16 or UTF-32 would have shown its zero bytes.
    const auto builtIn = QStringConverter::encodingForName(name.constData());
    if (builtIn && *builtIn != QStringConverter::Latin1 && *builtIn != QStringConverter::System)
        throw Problem{QStringLiteral("Die Datei ist als \"%1\" ausgewiesen, aber nicht so kodiert")
                          .arg(QString::fromLatin1(name))};
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        throw Problem{unsupportedEncoding(name)};
    text = decoder(data);
    if (decoder.hasError())
        throw Problem{undecodable(QString::fromLatin1(name))};
    return text.toUtf8();
}

// --- Checks pugixml leaves out -------------------------------------------

// Where the markup section starting at `start` ("<!--", "<![CDATA[", "<?",
// "<!DOCTYPE ... [...]>") ends; entity references inside do not count.
qsizetype markupEnd(const QByteArray& d, qsizetype start)
{
    // memchr for the marker's first byte, rare inside the section: a large
    // feed's CDATA is searched at memory speed.
    const auto after = [&d](qsizetype from, const char* marker, qsizetype length) {
        const char* const end = d.constData() + d.size();
        for (const char* p = d.constData() + from; p + length <= end; ++p) {
            p = static_cast<const char*>(std::memchr(p, marker[0], size_t(end - p)));
            if (!p || p + length > end)
                break;
            if (std::memcmp(p, marker, size_t(length)) == 0)
                return qsizetype(p - d.constData()) + length;
        }
        return d.size();
    };
    const QByteArrayView rest = QByteArrayView(d).sliced(start);
    if (rest.startsWith("<!--"))
        return after(start + 4, "-->", 3);
    if (rest.startsWith("<![CDATA["))
        return after(start + 9, "]]>", 3);
    if (rest.startsWith("<?"))
        return after(start + 2, "?>", 2);
    // A declaration: its internal subset may hold ">" inside brackets.
    int depth = 0;
    for (qsizetype i = start + 2; i < d.size(); ++i) {
        if (d[i] == '[')
            ++depth;
        else if (d[i] == ']')
            --depth;
        else if (d[i] == '>' && depth <= 0)
            return i + 1;
    }
    return d.size();
}

bool isReference(const QByteArray& d, qsizetype amp, qsizetype semicolon)
{
    const char* q = d.constData() + amp + 1;
    const qsizetype length = semicolon - amp - 1;
    // The predefined entities; escaped HTML is full of them.
    if (length == 2 && (q[0] == 'l' || q[0] == 'g') && q[1] == 't')
        return true;
    if ((length == 3 && std::memcmp(q, "amp", 3) == 0) ||
        (length == 4 && (std::memcmp(q, "quot", 4) == 0 || std::memcmp(q, "apos", 4) == 0)))
        return true;
    if (length < 2 || q[0] != '#')
        return false;
    const bool hex = q[1] == 'x';
    const qsizetype first = hex ? 2 : 1;
    if (first >= length)
        return false;
    for (qsizetype k = first; k < length; ++k) {
        const char c = q[k];
        if (!(c >= '0' && c <= '9') && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))))
            return false;
    }
    return true;
}

// One pass over the UTF-8 text for what pugixml lets through: bytes that
// are no UTF-8, raw control characters (XML 1.0 forbids them; our own
// writer puts character references, which are read), and an unknown
// "&name;" or a bare "&", which pugixml keeps as literal text (we expand no
// entity a DTD declares). Comments, CDATA, processing instructions and the
// DTD may hold "&".
std::optional<Problem> scanCharacters(const QByteArray& d)
{
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData());
    const qsizetype n = d.size();
    qsizetype markupUntil = 0;
    qsizetype i = 0;

    // The character at i, whatever it is; moves i past it (past a whole
    // sequence or reference).
    const auto step = [&]() -> std::optional<Problem> {
        const unsigned char c = p[i];
        if (c >= 0x80) {
            const int length = utf8SequenceLength(p + i, n - i);
            if (length == 0)
                return Problem{QStringLiteral("Ungültige UTF-8-Bytefolge"), i};
            i += length;
            return std::nullopt;
        }
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return Problem{QStringLiteral("Unerlaubtes Steuerzeichen (Code %1)").arg(int(c)), i};
        if (c == '<' && i >= markupUntil && i + 1 < n && (p[i + 1] == '!' || p[i + 1] == '?'))
            markupUntil = markupEnd(d, i);
        if (c == '&' && i >= markupUntil) {
            // Escaped HTML is full of these three.
            if (i + 4 <= n &&
                (std::memcmp(p + i, "&lt;", 4) == 0 || std::memcmp(p + i, "&gt;", 4) == 0)) {
                i += 4;
                return std::nullopt;
            }
            if (i + 5 <= n && std::memcmp(p + i, "&amp;", 5) == 0) {
                i += 5;
                return std::nullopt;
            }
            qsizetype semicolon = i + 1;
            while (semicolon < n && semicolon - i <= 32 && p[semicolon] != ';' &&
                   p[semicolon] != '<' && p[semicolon] != '&' && p[semicolon] > ' ')
                ++semicolon;
            if (semicolon >= n || p[semicolon] != ';')
                return Problem{QStringLiteral("Ein \"&\" steht ohne Entitätsverweis im Text"), i};
            if (!isReference(d, i, semicolon))
                return Problem{QStringLiteral("Verweis auf eine nicht deklarierte Entität \"%1\"")
                                   .arg(QString::fromUtf8(d.mid(i, semicolon - i + 1))),
                               i};
            i = semicolon + 1; // a reference is plain ASCII
            return std::nullopt;
        }
        ++i;
        return std::nullopt;
    };

#ifdef __SSE2__
    // Sixteen bytes at a time past plain text.
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Signed, below 0x20 holds the control characters and every byte
        // from 0x80 up.
        __m128i flagged = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
        // Inside a comment or CDATA only the characters themselves count.
        // A section that starts inside the block only makes flags of its
        // "&" and "<" needless: step() passes them as text.
        if (i + 16 > markupUntil)
            flagged = _mm_or_si128(flagged, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')),
                                                         _mm_cmpeq_epi8(v, _mm_set1_epi8('<'))));
        unsigned mask = unsigned(_mm_movemask_epi8(flagged));
        const qsizetype block = i;
        // Each flagged byte in turn, without loading the block again; one
        // that an earlier sequence or reference took is passed over.
        while (mask != 0) {
            const qsizetype at = block + std::countr_zero(mask);
            mask &= mask - 1;
            if (at < i)
                continue;
            i = at;
            // The usual stops of a text, passed without a call: allowed
            // control characters, start tags, two- and three-byte UTF-8
            // sequences that cannot be overlong or surrogates, "&lt;",
            // "&gt;".
            const unsigned char c = p[i];
            const auto continuation = [&](qsizetype k) { return k < n && (p[k] & 0xC0) == 0x80; };
            if (c == '\n' || c == '\t' || c == '\r' ||
                (c == '<' && i + 1 < n && p[i + 1] != '!' && p[i + 1] != '?')) {
                ++i;
                continue;
            }
            if (c >= 0xC2 && c <= 0xDF && continuation(i + 1)) {
                i += 2;
                continue;
            }
            if (((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) && continuation(i + 1) &&
                continuation(i + 2)) {
                i += 3;
                continue;
            }
            if (c == '&' && i >= markupUntil && i + 5 <= n) {
                // "&lt;", "&gt;", "&amp;", and "&#13;" that our writer puts
                // for every CR.
                if (p[i + 3] == ';' && (p[i + 1] == 'l' || p[i + 1] == 'g') && p[i + 2] == 't') {
                    i += 4;
                    continue;
                }
                if (p[i + 4] == ';' && ((p[i + 1] == 'a' && p[i + 2] == 'm' && p[i + 3] == 'p') ||
                                        (p[i + 1] == '#' && p[i + 2] >= '0' && p[i + 2] <= '9' &&
                                         p[i + 3] >= '0' && p[i + 3] <= '9'))) {
                    i += 5;
                    continue;
                }
            }
            if (auto problem = step())
                return problem;
        }
        i = qMax(i, block + 16);
    }
    while (i < n)
        if (auto problem = step())
            return problem;
#else
    // Eight bytes at a time past plain ASCII text.
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 highs = ones * 0x80;
    const auto hasZero = [](quint64 v) { return (v - ones) & ~v & highs; };
    while (i < n) {
        if (i + 8 <= n) {
            quint64 block;
            std::memcpy(&block, p + i, 8);
            quint64 special = (block & highs) | ((block - ones * 0x20) & ~block & highs);
            // Inside a comment or CDATA only the characters themselves count.
            if (i + 8 > markupUntil)
                special |= hasZero(block ^ (ones * '&')) | hasZero(block ^ (ones * '<'));
            if (special == 0) {
                i += 8;
                continue;
            }
            // The lowest flagged byte is exact: go straight to it.
            if constexpr (std::endian::native == std::endian::little)
                i += std::countr_zero(special) / 8;
            else
                i += std::countl_zero(special) / 8;
        }
        if (auto problem = step())
            return problem;
    }
#endif
    return std::nullopt;
}

// One root element and nothing but comments, processing instructions and
// blanks around it.
std::optional<Problem> topLevelProblem(const pugi::xml_document& doc, const QByteArray& buffer)
{
    int elements = 0;
    const auto offset = [&buffer](const char* p) {
        return p >= buffer.constData() && p < buffer.constData() + buffer.size()
                   ? qsizetype(p - buffer.constData())
                   : qsizetype(-1);
    };
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element && ++elements > 1)
            return Problem{QStringLiteral("Ein zweites Wurzelelement \"%1\"")
                               .arg(QString::fromUtf8(node.name())),
                           offset(node.name())};
        if (node.type() == pugi::node_pcdata && !isBlank(node.value())) {
            const char* text = node.value();
            while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n')
                ++text;
            return Problem{QStringLiteral("Text außerhalb des Wurzelelements"), offset(text)};
        }
        if (node.type() == pugi::node_cdata)
            return Problem{QStringLiteral("CDATA außerhalb des Wurzelelements"),
                           offset(node.value())};
    }
    if (elements == 0)
        return Problem{QStringLiteral("Kein Wurzelelement gefunden"), 0};
    return std::nullopt;
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

bool XmlNode::isElement() const
{
    return wrap(m_node).type() == pugi::node_element;
}
bool XmlNode::isComment() const
{
    return wrap(m_node).type() == pugi::node_comment;
}
QString XmlNode::name() const
{
    return QString::fromUtf8(wrap(m_node).name());
}
bool XmlNode::hasName(const char* utf8Name) const
{
    return std::strcmp(wrap(m_node).name(), utf8Name) == 0;
}
const char* XmlNode::utf8Name() const
{
    return wrap(m_node).name();
}
bool XmlNode::isText() const
{
    return isTextNode(wrap(m_node));
}

QString XmlNode::textContent() const
{
    // Mostly one text or CDATA child: no joining copy.
    const pugi::xml_node first = wrap(m_node).first_child();
    if (first && isTextNode(first) && !first.next_sibling())
        return QString::fromUtf8(first.value());
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

XmlNode XmlNode::appendChild(const QString& name)
{
    return appendChild(name.toUtf8().constData());
}

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
    node.append_child(pugi::node_pcdata)
        .set_value(buffer.constData(), size_t(end - buffer.constData()));
}

QString XmlNode::text() const
{
    const pugi::xml_node first = skipBlank(wrap(m_node).first_child());
    if (!first)
        return {};
    if (isTextNode(first) && !skipBlank(first.next_sibling()))
        return QString::fromUtf8(first.value());
    throw XmlError(QStringLiteral("Das Element \"%1\" enthält mehr als einen Text").arg(name()));
}

QString XmlNode::plainText() const noexcept
{
    const pugi::xml_node first = skipBlank(wrap(m_node).first_child());
    if (first && isTextNode(first) && !skipBlank(first.next_sibling()))
        return QString::fromUtf8(first.value());
    return {};
}

namespace {

// UTF-8 to UTF-16 into out, which has room for one unit per byte; returns
// the units written, or -1 at anything but well-formed UTF-8 (the caller
// then leaves the text to Qt's decoder). The texts of our documents were
// checked when read, so this is the rule; it decodes them several times
// faster than Qt's general decoder, whose ASCII path stops at every umlaut.
qsizetype decodeWellFormedUtf8(const unsigned char* s, qsizetype n, char16_t* out)
{
    const auto continuation = [s](qsizetype k) { return (s[k] & 0xC0) == 0x80; };
    qsizetype i = 0;
    qsizetype o = 0; // never past i: no byte gives more than one unit
    while (i < n) {
#ifdef __SSE2__
        // Sixteen ASCII bytes at a time, all widened and stored; the ones
        // after the first other byte are written again below.
        while (i + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o + 8), _mm_unpackhi_epi8(v, zero));
            const int mask = _mm_movemask_epi8(v);
            const int plain = mask == 0 ? 16 : std::countr_zero(unsigned(mask));
            i += plain;
            o += plain;
            if (plain != 16)
                break;
        }
        if (i >= n)
            break;
#endif
        const unsigned char c = s[i];
        if (c < 0x80) {
            out[o++] = c;
            i += 1;
        } else if (c >= 0xC2 && c <= 0xDF && i + 1 < n && continuation(i + 1)) {
            out[o++] = char16_t(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
            i += 2;
        } else if (c >= 0xE0 && c <= 0xEF && i + 2 < n && continuation(i + 1) &&
                   continuation(i + 2)) {
            const char16_t u =
                char16_t(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
            if (u < 0x800 || (u >= 0xD800 && u < 0xE000)) // overlong, or a surrogate
                return -1;
            out[o++] = u;
            i += 3;
        } else if (c >= 0xF0 && c <= 0xF4 && i + 3 < n && continuation(i + 1) &&
                   continuation(i + 2) && continuation(i + 3)) {
            const char32_t cp = (char32_t(c & 0x07) << 18) | (char32_t(s[i + 1] & 0x3F) << 12) |
                                (char32_t(s[i + 2] & 0x3F) << 6) | char32_t(s[i + 3] & 0x3F);
            if (cp < 0x10000 || cp > 0x10FFFF)
                return -1;
            out[o++] = char16_t(0xD800 + ((cp - 0x10000) >> 10));
            out[o++] = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
            i += 4;
        } else {
            return -1;
        }
    }
    return o;
}

} // namespace

void XmlNode::plainTextInto(QString& text) const
{
    const pugi::xml_node first = skipBlank(wrap(m_node).first_child());
    if (!first || !isTextNode(first) || skipBlank(first.next_sibling())) {
        text.resize(0);
        return;
    }
    QByteArrayView utf8(first.value());
    // Decoded as QString::fromUtf8 does, which drops a byte order mark at
    // the very start.
    if (utf8.startsWith("\xEF\xBB\xBF"))
        utf8 = utf8.sliced(3);
    // Never more UTF-16 units than bytes.
    text.resize(utf8.size());
    const qsizetype units =
        decodeWellFormedUtf8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(),
                             reinterpret_cast<char16_t*>(text.data()));
    if (units >= 0) {
        text.resize(units);
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QChar* end = decoder.appendToBuffer(text.data(), utf8);
    text.resize(end - text.constData());
}

XmlNode XmlNode::findChild(const QString& name) const
{
    return findChild(name.toUtf8().constData());
}

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

QString XmlNode::attribute(const char* utf8Name) const
{
    return QString::fromUtf8(wrap(m_node).attribute(utf8Name).value());
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
    m_buffer = FileAccess::readRegularFile(path);
    // The parse rewrites the buffer; an error message reads the file again.
    parseOwnBuffer([&path] { return FileAccess::readRegularFile(path); });
}

void XmlDocument::loadFromData(const QByteArray& data)
{
    reset();
    m_buffer = QByteArray(data.constData(), data.size());
    parseOwnBuffer([&data] { return data; });
}

void XmlDocument::loadFromUtf8(const QByteArray& data)
{
    m_doc->reset();
    // The buffer's storage is reused: a reader of many small documents
    // allocates it once.
    m_buffer.resize(data.size());
    if (!data.isEmpty())
        std::memcpy(m_buffer.data(), data.constData(), size_t(data.size()));
    parseOwnBuffer([&data] { return data; }, true);
}

void XmlDocument::parseOwnBuffer(const std::function<QByteArray()>& original, bool utf8)
{
    const auto fail = [&](const Problem& problem, bool decoded) {
        reset();
        QByteArray text = original();
        if (decoded && !utf8)
            text = toUtf8Text(std::move(text));
        throw XmlError(parseErrorText(problem, text));
    };
    try {
        if (!utf8) // else decoded by the caller, whatever its declaration says
            m_buffer = toUtf8Text(std::move(m_buffer));
    } catch (const Problem& problem) {
        fail(problem, false);
    }
    if (const auto problem = scanCharacters(m_buffer))
        fail(*problem, true);
    const pugi::xml_parse_result result = m_doc->load_buffer_inplace(
        m_buffer.data(), size_t(m_buffer.size()), kParseOptions, pugi::encoding_utf8);
    if (!result)
        fail(Problem{parserReason(result.status), result.offset}, true);
    if (const auto problem = topLevelProblem(*m_doc, m_buffer))
        fail(*problem, true);
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

void XmlDocument::writeTo(FileAccess::DirectWriter& writer) const
{
    constexpr qsizetype kChunk = 1 << 18;
    QByteArray buffer;
    buffer.reserve(kChunk);
    serialize(*m_doc, [&](const char* data, qsizetype size) {
        if (buffer.size() + size > kChunk) {
            writer.write(buffer.constData(), buffer.size());
            buffer.resize(0);
        }
        buffer.append(data, size);
    });
    writer.write(buffer.constData(), buffer.size());
}

void XmlDocument::save(const QString& path, bool ownerOnly) const
{
    FileAccess::SaveWriter file(path, ownerOnly);
    // Our own large buffer: pugixml hands over small chunks.
    constexpr qsizetype kChunk = 1 << 18;
    QByteArray buffer;
    buffer.reserve(kChunk);
    // No exception through pugixml: the first failure is kept and thrown after.
    std::exception_ptr failure;
    serialize(*m_doc, [&](const char* data, qsizetype size) {
        if (failure)
            return;
        if (buffer.size() + size > kChunk) {
            try {
                file.write(buffer.constData(), buffer.size());
            } catch (...) {
                failure = std::current_exception();
            }
            buffer.resize(0);
        }
        buffer.append(data, size);
    });
    if (failure)
        std::rethrow_exception(failure);
    file.write(buffer.constData(), buffer.size());
    file.commit();
}

namespace XmlDocumentDetail {

QByteArray declaredEncoding(const QByteArray& data)
{
    return ::declaredEncoding(data);
}

bool isWideEncoding(const QByteArray& data)
{
    return wideEncoding(data).has_value();
}

} // namespace XmlDocumentDetail
