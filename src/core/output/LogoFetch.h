#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkCookieJar;

// Downloads a channel logo by HTTP or HTTPS into the private temporary folder.
// Core code: it reports, the logo check window decodes and presents (picture
// decoding belongs to QtGui, which core does not link).
namespace LogoFetch {

struct Result
{
    bool ok = false;
    QString tempFile; // the downloaded body when ok
    QString error;    // why it failed; for diagnostics, the user sees one fixed message
};

// The network access of the run: one manager with an in-memory cookie jar,
// so cookies a server sets are sent back on later fetches. Owned by the
// application object; created on first use.
QNetworkAccessManager& sharedNetwork();
// The cookie jar of the run, for a network access made on another thread
// (one download at a time uses it). Owned by the application object.
QNetworkCookieJar& sharedCookieJar();

// The answer of one GET kept in memory.
struct Download
{
    bool ok = false;
    QByteArray body;
    int httpStatus = 0;   // 0 when no answer came
    QString germanReason; // why it failed, for a message the user sees
};

// The same GET as fetch() (headers, redirects, limits, waiting), with the
// body kept in memory instead of a file. Never throws.
Download get(const QString& address, QNetworkAccessManager& network = sharedNetwork());

// The temporary file's name: the last segment of the address's path, reduced
// to characters every file system takes; "temp_rss" when nothing usable is left.
QString tempFileName(const QUrl& url);

// One GET of `address` (http or https only) with the Accept and User-Agent
// headers of the program. Redirects are followed, at most five and never from
// https to http; only a 2xx answer counts. The body goes into the temporary
// file (replaced, left in place afterwards). Waits in a local event loop that
// keeps windows painted but takes no user input. Never throws: every failure
// is a Result with ok false.
Result fetch(const QString& address, QNetworkAccessManager& network = sharedNetwork());

} // namespace LogoFetch
