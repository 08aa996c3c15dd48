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

// One GET's outcome, for callers that want the body in memory.
struct Download
{
    enum class Failure { None, BadAddress, TooLarge, Stalled, Network, Status };
    Failure failure = Failure::None;
    QByteArray body;
    QByteArray contentType; // as the server sent it, e.g. "text/html; charset=utf-8"
    QString error;          // why it failed, for diagnostics
    int httpStatus = 0;     // 0 when no answer came
    QString germanReason;   // why it failed, for a message the user sees

    bool ok() const { return failure == Failure::None; }
};

// The size and type a HEAD request reports for a file address.
struct HeadInfo
{
    bool ok = false;
    qint64 length = -1; // -1: the server did not say
    QString mime;       // without parameters; empty when the server did not say
    QString error;
};

// The network access of the run: one manager with an in-memory cookie jar,
// so cookies a server sets are sent back on later fetches. Owned by the
// application object; created on first use.
QNetworkAccessManager& sharedNetwork();
// The cookie jar of the run, for a network access made on another thread
// (one download at a time uses it). Owned by the application object.
QNetworkCookieJar& sharedCookieJar();

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

// The same GET with the body kept in memory: at most maxBytes (TooLarge
// beyond), and Stalled when no data came for stallTimeoutMs. Never throws.
Download get(const QString& address, const QByteArray& accept, qint64 maxBytes, int stallTimeoutMs,
             QNetworkAccessManager& network = sharedNetwork());

// The same with the limits of the logo download (16 MiB, 30 s without data).
Download get(const QString& address, QNetworkAccessManager& network = sharedNetwork());
// A HEAD request of the same client, bounded by timeoutMs without answer.
// Never throws.
HeadInfo head(const QString& address, int timeoutMs,
              QNetworkAccessManager& network = sharedNetwork());

} // namespace LogoFetch
