// Where the feed's bytes come from: a file or an http/https address.
#include "FeedBytes.h"
#include "FeedImport.h"
#include "LogoFetch.h"

#include <QFile>
#include <QFileInfo>

namespace FeedImport {
namespace {

using Kind = FeedImportError::Kind;

constexpr int kStallTimeoutMs = 30000;

QString tooLargeMessage()
{
    return QStringLiteral("Der Feed ist größer als 16 MiB und wird nicht gelesen.");
}

} // namespace

bool isAddress(const QString& source)
{
    const QString s = source.trimmed();
    return s.startsWith(u"http://", Qt::CaseInsensitive) ||
           s.startsWith(u"https://", Qt::CaseInsensitive);
}

FeedImportResult importFile(const QString& path, const QDateTime& now, const QTimeZone& localZone)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        throw FeedImportError(
            Kind::Unreadable,
            QStringLiteral("Die Datei \u201E%1\u201C kann nicht gelesen werden: %2")
                .arg(path, QFileInfo::exists(path) ? file.errorString()
                                                   : QStringLiteral("Sie existiert nicht.")));
    }
    if (file.size() > FeedBytes::kMaxBytes)
        throw FeedImportError(Kind::TooLarge, tooLargeMessage());
    // read() with a bound: a file that grows while it is read stays capped.
    const QByteArray bytes = file.read(FeedBytes::kMaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw FeedImportError(
            Kind::Unreadable,
            QStringLiteral("Die Datei \u201E%1\u201C kann nicht gelesen werden: %2")
                .arg(path, file.errorString()));
    return importFeed(bytes, now, localZone);
}

FeedImportResult importUrl(const QString& address, const QDateTime& now, const QTimeZone& localZone,
                           QNetworkAccessManager& network, int stallTimeoutMs)
{
    using F = LogoFetch::Download::Failure;
    const LogoFetch::Download got =
        LogoFetch::get(address,
                       "application/rss+xml, application/atom+xml, application/rdf+xml, "
                       "application/xml;q=0.9, text/xml;q=0.9, */*;q=0.5",
                       FeedBytes::kMaxBytes, stallTimeoutMs, network);
    switch (got.failure) {
    case F::None:
        break;
    case F::BadAddress:
        throw FeedImportError(
            Kind::Unreadable,
            QStringLiteral("\u201E%1\u201C ist keine gültige http- oder https-Adresse.")
                .arg(address));
    case F::TooLarge:
        throw FeedImportError(Kind::TooLarge, tooLargeMessage());
    case F::Stalled:
        throw FeedImportError(
            Kind::Stalled, QStringLiteral("Der Server an \u201E%1\u201C hat %2 Sekunden lang keine "
                                          "Daten gesendet; der Download wurde abgebrochen.")
                               .arg(address)
                               .arg(stallTimeoutMs / 1000.0));
    case F::Network:
    case F::Status:
        throw FeedImportError(
            Kind::Unreadable,
            QStringLiteral("Der Feed an \u201E%1\u201C konnte nicht geladen werden: %2")
                .arg(address, got.error));
    }
    // The server's word counts when the body itself does not tell.
    const QByteArray type = got.contentType.toLower();
    if (type.startsWith("text/html") && !QByteArrayView(got.body).trimmed().startsWith("<?xml")) {
        throw FeedImportError(
            Kind::WebPage, QStringLiteral("Die Adresse \u201E%1\u201C liefert eine Webseite (HTML) "
                                          "und keinen Feed. Bitte die Adresse des Feeds selbst "
                                          "angeben.")
                               .arg(address));
    }
    try {
        return importFeed(got.body, now, localZone);
    } catch (const FeedImportError& e) {
        if (e.kind() != Kind::WebPage)
            throw;
        throw FeedImportError(
            Kind::WebPage, QStringLiteral("Die Adresse \u201E%1\u201C liefert eine Webseite (HTML) "
                                          "und keinen Feed. Bitte die Adresse des Feeds selbst "
                                          "angeben.")
                               .arg(address));
    }
}

FeedImportResult importUrl(const QString& address, const QDateTime& now, const QTimeZone& localZone)
{
    return importUrl(address, now, localZone, LogoFetch::sharedNetwork(), kStallTimeoutMs);
}

FeedImportResult importSource(const QString& source, const QDateTime& now,
                              const QTimeZone& localZone)
{
    return isAddress(source) ? importUrl(source.trimmed(), now, localZone)
                             : importFile(source, now, localZone);
}

} // namespace FeedImport
