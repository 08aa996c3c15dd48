#include "LogoFetch.h"

#include "platform/Error.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <optional>

namespace LogoFetch {

namespace {

const QString kFallbackName = QStringLiteral("temp_rss");
constexpr int kMaxRedirects = 5;
// A logo is a few kilobytes; an address that streams without end must not
// fill the memory.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
// Inactivity limit: a server that accepts and then says nothing would
// otherwise block the window for good.
constexpr int kTransferTimeoutMs = 30000;
constexpr qsizetype kMaxNameLength = 100;

Result failure(QString why)
{
    Result r;
    r.error = std::move(why);
    return r;
}

QNetworkRequest makeRequest(const QUrl& url, const QByteArray& accept, int stallTimeoutMs)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", accept);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mozilla/3.0 (compatible; Tavistrel)"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(stallTimeoutMs);
    return request;
}

// Waits in a local event loop that keeps windows painted but takes no input.
void waitFor(QNetworkReply* reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QString germanReason(QNetworkReply::NetworkError error, int status, bool tooLarge)
{
    if (tooLarge)
        return QStringLiteral("die Antwort ist zu groß");
    if (status != 0 && (status < 200 || status > 299))
        return QStringLiteral("der Server antwortet mit HTTP-Status %1").arg(status);
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("der Server lehnt die Verbindung ab");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("der Server ist nicht bekannt");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("der Server antwortet nicht");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("die sichere Verbindung kam nicht zustande");
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("zu viele oder unsichere Weiterleitungen");
    default:
        return QStringLiteral("Netzwerkfehler %1").arg(int(error));
    }
}

Download download(const QUrl& url, const QByteArray& accept, qint64 maxBytes, int stallTimeoutMs,
                  QNetworkAccessManager& network)
{
    QNetworkReply* reply = network.get(makeRequest(url, accept, stallTimeoutMs));
    Download result;
    bool tooLarge = false;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        result.body += reply->readAll();
        if (result.body.size() > maxBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    });
    waitFor(reply);
    if (!tooLarge && reply->isOpen())
        result.body += reply->readAll();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    using F = Download::Failure;
    if (tooLarge || result.body.size() > maxBytes) {
        result.failure = F::TooLarge;
        result.error = QStringLiteral("more than %1 bytes").arg(maxBytes);
    } else if (reply->error() == QNetworkReply::OperationCanceledError ||
               reply->error() == QNetworkReply::TimeoutError) {
        // Only the transfer time-out cancels a reply nobody aborted.
        result.failure = F::Stalled;
        result.error = reply->errorString();
    } else if (status != 0 && (status < 200 || status > 299)) {
        result.failure = F::Status;
        result.error = QStringLiteral("HTTP status %1").arg(status);
    } else if (reply->error() != QNetworkReply::NoError || status == 0) {
        result.failure = F::Network;
        result.error = reply->errorString();
    }
    result.httpStatus = status;
    if (result.failure != F::None)
        result.germanReason = germanReason(reply->error(), status, result.failure == F::TooLarge);
    reply->deleteLater();
    if (result.failure != F::None)
        result.body.clear();
    return result;
}

std::optional<QUrl> webAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return std::nullopt;
    return url;
}

} // namespace

QNetworkCookieJar& sharedCookieJar()
{
    // Qt's default jar keeps cookies in memory only, for the run.
    static QPointer<QNetworkCookieJar> jar;
    if (!jar)
        jar = new QNetworkCookieJar(QCoreApplication::instance());
    return *jar;
}

QNetworkAccessManager& sharedNetwork()
{
    static QPointer<QNetworkAccessManager> network;
    if (!network) {
        network = new QNetworkAccessManager(QCoreApplication::instance());
        network->setCookieJar(&sharedCookieJar());
        sharedCookieJar().setParent(QCoreApplication::instance());
    }
    return *network;
}

QString tempFileName(const QUrl& url)
{
    const QString segment = url.fileName(QUrl::FullyDecoded);
    QString name;
    name.reserve(segment.size());
    for (const QChar c : segment) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_';
        name += plain ? c : u'_';
    }
    // No hidden files, no "." or "..".
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    if (name.size() > kMaxNameLength)
        name = name.right(kMaxNameLength); // keeps the extension, handy for a person looking
    return name.isEmpty() ? kFallbackName : name;
}

Result fetch(const QString& address, QNetworkAccessManager& network)
{
    const std::optional<QUrl> web = webAddress(address);
    if (!web)
        return failure(QStringLiteral("not an http or https address"));
    const QUrl url = *web;

    QString path;
    try {
        path = Folders::privateTempFolder() + tempFileName(url);
    } catch (const Error& e) {
        return failure(e.message());
    }

    const Download got = download(url, "text/html, */*", kMaxBytes, kTransferTimeoutMs, network);
    if (got.failure != Download::Failure::None)
        return failure(got.error);
    const QByteArray& body = got.body;

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(body) != body.size())
        return failure(file.errorString());
    if (!file.flush())
        return failure(file.errorString());
    Result result;
    result.ok = true;
    result.tempFile = path;
    return result;
}

Download get(const QString& address, const QByteArray& accept, qint64 maxBytes, int stallTimeoutMs,
             QNetworkAccessManager& network)
{
    const std::optional<QUrl> url = webAddress(address);
    if (!url) {
        Download result;
        result.failure = Download::Failure::BadAddress;
        result.error = QStringLiteral("not an http or https address");
        result.germanReason = QStringLiteral("die Adresse ist keine http- oder https-Adresse");
        return result;
    }
    return download(*url, accept, maxBytes, stallTimeoutMs, network);
}

Download get(const QString& address, QNetworkAccessManager& network)
{
    return get(address, "text/html, */*", kMaxBytes, kTransferTimeoutMs, network);
}

HeadInfo head(const QString& address, int timeoutMs, QNetworkAccessManager& network)
{
    HeadInfo info;
    const std::optional<QUrl> url = webAddress(address);
    if (!url) {
        info.error = QStringLiteral("not an http or https address");
        return info;
    }
    QNetworkReply* reply = network.head(makeRequest(*url, "*/*", timeoutMs));
    waitFor(reply);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && status == 0) {
        info.error = reply->errorString();
    } else if (status < 200 || status > 299) {
        info.error = QStringLiteral("HTTP status %1").arg(status);
    } else {
        info.ok = true;
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        info.length = length.isValid() ? length.toLongLong() : -1;
        info.mime =
            QString::fromLatin1(reply->header(QNetworkRequest::ContentTypeHeader).toByteArray())
                .section(u';', 0, 0)
                .trimmed();
    }
    reply->deleteLater();
    return info;
}

} // namespace LogoFetch
