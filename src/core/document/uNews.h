#pragma once

#include <QDate>
#include <QString>
#include <QTime>

class XmlNode;

// One news entry of the feed. Plain data: windows, the project file and the
// RSS builder read and write the fields directly.
class TNewsEntry
{
public:
    QString title;
    QString link;
    QString content; // may hold HTML; CR LF between lines
    QString author;
    QString email;
    QString homepage; // never shown, carried through unchanged
    QString guid;
    bool chkPublish = false;
    QDate date{1899, 12, 30}; // whole days; the zero date
    QTime time{0, 0};         // time of day only
    QString fileUrl;
    QString filesize;
    QString mime;

    // Adds the entry's 13 elements under an "entries" element.
    void SaveToXmlNode(XmlNode node) const;
    // Sets the fields from the node's children; throws Error when a date,
    // time or Boolean does not decode (fields before it keep their values).
    void LoadFromXmlNode(XmlNode node);

    bool operator==(const TNewsEntry&) const = default;
};
