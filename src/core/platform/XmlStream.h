#pragma once

#include "XmlDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Reads a large document in pieces, so that it is never held whole: the head
// (everything before one container element's content), then each child
// element of the container as a small document of its own, then the rest.
// It takes only the ordinary form our writers give: UTF-8 (a byte order mark
// and a declaration naming UTF-8 allowed), no document type declaration,
// nothing but blanks between the container's child elements, and nothing
// but blanks and end tags after the container. Each piece is read with the
// document service's rules. Anything else, and any error, throws XmlError:
// the caller then reads the whole file with XmlDocument::load, which words
// the message.
class XmlChunkReader
{
public:
    // containerPath: the element names from below the root down to the
    // container, e.g. {"FileContent", "ItemList"}. Opens the file; a file
    // that is not a regular file throws.
    XmlChunkReader(const QString& path, QList<QByteArray> containerPath);
    // The same over bytes already in memory.
    XmlChunkReader(const QByteArray& data, QList<QByteArray> containerPath);
    ~XmlChunkReader();
    XmlChunkReader(const XmlChunkReader&) = delete;
    XmlChunkReader& operator=(const XmlChunkReader&) = delete;

    // The document up to the first container's start tag, with the
    // container (then empty) and every element around it closed there.
    void readHead(XmlDocument& head);
    // The container's next child element as a document of its own; false
    // after the last one.
    bool readChild(XmlDocument& child);
    // The same as text, not yet read by the document service's rules (the
    // caller does that, perhaps on another thread); valid until the next
    // call.
    bool nextChild(QByteArrayView& text);
    // Reads the rest: the end tags of the elements around the container and
    // blanks, up to the end of the file.
    void finish();

private:
    bool fill();
    qsizetype find(QByteArrayView needle, qsizetype from);
    qsizetype tagEnd(qsizetype lt);
    qsizetype skipBlanks(qsizetype from);
    qsizetype elementEnd(qsizetype start);
    [[noreturn]] static void unsupported(const char* what);

    int m_fd = -1;
    QByteArray m_data; // unread bytes from m_pos on
    qsizetype m_pos = 0;
    bool m_eof = false;
    QList<QByteArray> m_path;
    QList<QByteArray> m_open; // element names open at m_pos
    bool m_emptyContainer = false;
    bool m_inContainer = false;
};
