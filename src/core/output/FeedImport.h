#pragma once

#include "document/FeedDocument.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

class QNetworkAccessManager;

// A source that cannot become a project: not XML, XML but no feed, a feed
// without channel, a web page, too large, stalled, unsafe. The message is
// German and names the cause; nothing of the source is kept.
class FeedImportError : public Error
{
public:
    enum class Kind {
        Unreadable, // file or download failed
        NotXml,
        NotAFeed,
        NoChannel,
        WebPage,
        TooLarge,
        Stalled,
        Unsafe, // declared entities, too deep nesting
    };
    FeedImportError(Kind kind, QString message) : Error(std::move(message)), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// What an import made: a complete new project, and the German report lines
// of what had no place in it and which fallbacks were taken (empty when
// everything was taken over).
struct FeedImportResult
{
    FeedDocument document;
    QStringList report;
    QString format;     // "RSS 2.0", "RSS 0.91", "RSS 1.0", "Atom 1.0"
    int enclosures = 0; // entries that got a file address
};

// Reads RSS 0.9x/2.0, RSS 1.0 (RDF) and Atom 1.0 into a new project. Dates
// become local date and time of day in localZone; entries without a readable
// date get `now`. No DTD is read and nothing is fetched.
namespace FeedImport {

// From the bytes of a feed (at most 16 MiB). Throws FeedImportError.
FeedImportResult importFeed(const QByteArray& bytes, const QDateTime& now,
                            const QTimeZone& localZone = QTimeZone::systemTimeZone());

// From a file, or from an http/https address through the program's HTTP
// client (16 MiB cap, stall time-out). Throws FeedImportError.
FeedImportResult importFile(const QString& path, const QDateTime& now,
                            const QTimeZone& localZone = QTimeZone::systemTimeZone());
FeedImportResult importUrl(const QString& address, const QDateTime& now,
                           const QTimeZone& localZone = QTimeZone::systemTimeZone());
FeedImportResult importUrl(const QString& address, const QDateTime& now, const QTimeZone& localZone,
                           QNetworkAccessManager& network, int stallTimeoutMs);
// A source that starts with http:// or https:// is an address, else a file.
bool isAddress(const QString& source);
FeedImportResult importSource(const QString& source, const QDateTime& now,
                              const QTimeZone& localZone = QTimeZone::systemTimeZone());

// The report as one text, a line each.
QString reportText(const FeedImportResult& result);

} // namespace FeedImport
