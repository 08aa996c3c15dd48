#pragma once

#include "FeedImport.h"
#include "platform/XmlDocument.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <deque>
#include <string>
#include <utility>
#include <vector>

// Shared by the RSS and Atom readers of the import.
namespace FeedImportDetail {

// The element names the RSS reader switches on; Other for the rest.
enum class Tag {
    Other,
    Title,
    Link,
    Description,
    ContentEncoded,
    Author,
    DcCreator,
    PubDate,
    DcDate,
    Guid,
    Enclosure,
    Item,
    Channel,
    Image,
    TextInput,
};

// An element's name as nameOf() gives it, and its tag.
struct ElementName
{
    QString name;
    Tag tag = Tag::Other;
};

// The state of one import: the project being filled, the names of the
// feed's namespaces and what goes into the report.
class Context
{
public:
    Context(const QDateTime& now, const QTimeZone& zone)
        : now(now), zone(zone), m_localNow(now.toTimeZone(zone))
    {
    }

    // Reads the namespace declarations of the root element; the root's own
    // namespace gets no prefix, well-known ones their usual prefix whatever
    // the feed calls them.
    void readNamespaces(XmlNode root);
    // "title", "content:encoded", "atom:link", ... as described above.
    QString nameOf(XmlNode element) { return elementName(element).name; }
    // The same with its tag; the reference stays valid until the next call.
    const ElementName& elementName(XmlNode element);

    // An element with no place in the project; prefixed names are counted
    // per prefix ("itunes:*").
    void skip(const QString& name);
    void note(const QString& line) { m_notes << line; }

    // Sets a date and time pair from a feed date; false when it does not read.
    bool setMoment(const QString& text, QDate& date, QTime& time);
    // An entry's date: unreadable and missing dates become `now`, reported.
    void setEntryMoment(TNewsEntry& entry, const QString& text, int number);

    void setLanguage(const QString& code);
    void setChannelGuid(const QString& text);

    QStringList report() const;

    const QDateTime now;
    const QTimeZone zone;
    FeedDocument document;
    int enclosures = 0;
    int extraEnclosures = 0;

private:
    // The zone's offset in seconds at a UTC moment (seconds since 1970).
    int offsetAt(qint64 utcSeconds);

    const QDateTime m_localNow;            // for entries without a readable date
    QHash<QByteArray, QString> m_prefixes; // as written -> canonical ("" for the feed's own)
    QString m_ownNamespace;
    // Name as written -> its ElementName; a deque keeps references valid.
    std::deque<std::pair<std::string, ElementName>> m_names;
    size_t m_lastName = 0; // where the last lookup hit: items repeat their order
    ElementName m_overflowName;
    // The stretch [from, to) between two transitions of the zone in which
    // its offset was last looked up; empty at first.
    qint64 m_offsetFrom = 1, m_offsetTo = 0;
    int m_offset = 0;
    QList<QPair<QString, int>> m_skipped;
    QStringList m_notes;
    QStringList m_badDates;
    int m_missingDates = 0;
};

// Element text with CDATA joined, trimmed.
QString plain(XmlNode element);
// Multi-line HTML: line breaks as CR LF, as the project keeps them.
QString multiLine(const QString& text);
// "mail (Name)", "Name <mail>", "mail" or "Name" into mail and name.
void splitMailAndName(const QString& text, QString& mail, QString& name);

void readRss(Context& context, XmlNode root, bool rdf);
void readAtom(Context& context, XmlNode root);

} // namespace FeedImportDetail
