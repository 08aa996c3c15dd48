#pragma once

#include "Error.h"
#include "FileAccess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <utility>

namespace pugi {
struct xml_node_struct;
class xml_document;
} // namespace pugi

// Failure of the XML document service: a file that cannot be read or parsed,
// or an element whose text is asked for but holds more than one text.
class XmlError : public Error
{
public:
    using Error::Error;
};

// XML 1.0 allows tab, LF, CR and everything from U+0020 upward except lone
// surrogates, U+FFFE and U+FFFF. A character reference such as "&#11;" does
// not help: no parser takes it. The document service drops the others from
// every text and attribute it is given, so no writer can produce them.
// Index of the first forbidden character (a lone surrogate counts), or -1.
qsizetype firstForbiddenXmlChar(QStringView text, qsizetype from = 0);
// The text without its forbidden characters.
QString withoutForbiddenXmlChars(const QString& text);

// A light handle on a node of an XmlDocument; it stays valid while the node is
// part of its document. A default-constructed handle is null.
class XmlNode
{
public:
    XmlNode() = default;

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool isElement() const;
    bool isComment() const;
    QString name() const;
    bool hasName(const char* utf8Name) const;
    // The name as parsed, prefix included; valid while the document lives.
    const char* utf8Name() const;
    bool isText() const; // a text or CDATA node

    // Appends a new element as the last child and returns it.
    XmlNode appendChild(const QString& name);
    XmlNode appendChild(const char* utf8Name);
    // Inserts a new element right after `sibling`, a child of this node.
    XmlNode insertChildAfter(const char* utf8Name, XmlNode sibling);
    // Replaces the content with this one text (no text node for an empty
    // text); characters XML does not allow are dropped.
    void setText(const QString& text);
    // No children: empty text; one text or CDATA child: its text; anything
    // else throws XmlError.
    QString text() const;
    // The same, but empty for a null node or one that holds more than text.
    QString plainText() const noexcept;
    // The same into text, whose storage is reused: reading many entries
    // then allocates nothing.
    void plainTextInto(QString& text) const;

    // The text and CDATA children joined, whatever else lies between them.
    QString textContent() const;
    // The children written back as XML (UTF-8, no indentation).
    QByteArray innerXml() const;

    // First child element whose name equals exactly, or a null node.
    XmlNode findChild(const QString& name) const;
    XmlNode findChild(const char* utf8Name) const;
    int childCount() const;
    XmlNode childAt(int index) const;
    XmlNode firstChild() const;
    XmlNode nextSibling() const;
    // Removes the first child element of that name; false when there is none.
    bool removeChild(const QString& name);

    // Forbidden characters in the value are dropped, as in setText.
    void setAttribute(const QString& name, const QString& value);
    QString attribute(const QString& name) const;
    QString attribute(const char* utf8Name) const;
    // Every attribute in document order: (name, value).
    QList<std::pair<QString, QString>> attributes() const;

    bool operator==(const XmlNode& other) const { return m_node == other.m_node; }

private:
    friend class XmlDocument;
    explicit XmlNode(pugi::xml_node_struct* node) : m_node(node) {}
    pugi::xml_node_struct* m_node = nullptr;
};

// The XML DOM behind the project file, the RSS output and the FTP profile
// store. Writes UTF-8 without declaration, two blanks per nesting level, a
// text-only element on one line, CR as a character reference so that
// multi-line values survive a round trip. Parsing drops whitespace-only text,
// keeps comments, expands no DTD entities and fetches nothing.
class XmlDocument
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;

    void reset();
    // Both replace the content. What is not well-formed XML 1.0 is refused:
    // text or a second element beside the root, an entity other than the
    // predefined ones, a raw control character, bytes that do not fit the
    // encoding. The encoding comes from the byte order mark or the
    // declaration (any the system can decode; without one UTF-8). Failures
    // throw XmlError with the German reason, "Zeile: n" and the start of the
    // offending line; load() throws FileAccessError for a file that cannot
    // be read or is not a regular file.
    void load(const QString& path);
    void loadFromData(const QByteArray& data);
    // The same for text already in UTF-8: a declaration or byte-order mark
    // naming another encoding is not followed.
    void loadFromUtf8(const QByteArray& data);

    XmlNode documentElement() const;
    XmlNode createRoot(const QString& name);

    // Replaces the file through QSaveFile, so a failed write leaves the old
    // file intact; throws Error naming the file and the reason. With
    // ownerOnly the file is readable and writable by its owner alone.
    // An existing FIFO or device is written into directly. Throws
    // FileAccessError.
    void save(const QString& path, bool ownerOnly = false) const;
    // Writes the document to an open file (standard output).
    void writeTo(FileAccess::DirectWriter& writer) const;
    QByteArray toUtf8() const;
    QString toText() const { return QString::fromUtf8(toUtf8()); }

private:
    void parseOwnBuffer(const std::function<QByteArray()>& original, bool utf8 = false);

    std::unique_ptr<pugi::xml_document> m_doc;
    QByteArray m_buffer; // parsed in place; the tree points into it
};
