#pragma once

#include "document/FeedDocument.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>
#include <functional>

// The RSS 2.0 document of a project. Every value goes in unchanged; a value
// that is empty or switched off only decides whether its element is written.
// Dates and times of the project are local times of localZone; the document
// states them in UTC.
namespace Rss20 {

// Writes the document piece by piece, so that neither the project nor the
// feed has to be held whole: the channel, then each item, then the end. The
// bytes are UTF-8 without declaration, two blanks per level, characters XML
// 1.0 forbids dropped, CR written as "&#13;" so that it survives a reader.
class RssWriter
{
public:
    // Receives the document in pieces of up to a few hundred KB; may throw,
    // and the writer then stops.
    using Sink = std::function<void(const char* data, qsizetype size)>;

    explicit RssWriter(Sink sink, const QTimeZone& localZone = QTimeZone::systemTimeZone());
    ~RssWriter();
    RssWriter(const RssWriter&) = delete;
    RssWriter& operator=(const RssWriter&) = delete;

    // The root and the channel's own elements, from the document's settings
    // (its entries are not written). Call once, first.
    void writeChannel(const FeedDocument& channel);
    // One item; the enclosure only when the channel asked for enclosures.
    void writeItem(const TNewsEntry& entry);
    // Closes the channel and the root and hands over what is left.
    void finish();

private:
    void flushIfFull();

    Sink m_sink;
    QTimeZone m_zone;
    QByteArray m_buffer;
    bool m_enclosures = false;
};

// The document as XML text.
QString GenerateRSS20(const FeedDocument& document,
                      const QTimeZone& localZone = QTimeZone::systemTimeZone());
// Writes the document to fileName through a temporary file renamed at the
// end, replacing a file that is there; throws Error when it cannot be
// written (the old file then stays intact).
void GenerateRSS20(const FeedDocument& document, const QString& fileName,
                   const QTimeZone& localZone = QTimeZone::systemTimeZone());
// Writes the document through writer: the settings, every entry, the end.
void WriteRSS20(const FeedDocument& document, RssWriter& writer);

// The language code of a language text: "German (Germany) [de-de]" -> "de-de",
// the code between the brackets. The two misspelt rows of the list give
// valid codes ("Icelandic is]" -> "is", "Portuguese (Brazil) [vpt-br]" ->
// "pt-br"); a text without brackets is taken as the code itself.
QString GetLanguageCode(const QString& languageText);

} // namespace Rss20
