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

QString germanReason(QNetworkReply::NetworkError error, int status, bool tooLarge)
{
    if (tooLarge)
        return QStringLiteral("die Antwort ist größer als 16 MiB");
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

QByteArray download(const QUrl& url, QNetworkAccessManager& network, QString& error,
                    int* httpStatus = nullptr, QString* reason = nullptr)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mozilla/3.0 (compatible; Tavistrel)"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(kTransferTimeoutMs);

    QNetworkReply* reply = network.get(request);
    QByteArray body;
    bool tooLarge = false;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        body += reply->readAll();
        if (body.size() > kMaxBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!tooLarge)
        body += reply->readAll();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (httpStatus)
        *httpStatus = status;
    if (reason)
        *reason = germanReason(reply->error(), status, tooLarge);
    if (tooLarge)
        error = QStringLiteral("more than %1 bytes").arg(kMaxBytes);
    else if (reply->error() != QNetworkReply::NoError)
        error = reply->errorString();
    else if (status < 200 || status > 299)
        error = QStringLiteral("HTTP status %1").arg(status);
    reply->deleteLater();
    return error.isEmpty() ? body : QByteArray();
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

Download get(const QString& address, QNetworkAccessManager& network)
{
    Download d;
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        d.germanReason = QStringLiteral("die Adresse ist keine http- oder https-Adresse");
        return d;
    }
    QString error;
    d.body = download(url, network, error, &d.httpStatus, &d.germanReason);
    d.ok = error.isEmpty();
    if (d.ok)
        d.germanReason.clear();
    return d;
}

Result fetch(const QString& address, QNetworkAccessManager& network)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return failure(QStringLiteral("not an http or https address"));

    QString path;
    try {
        path = Folders::privateTempFolder() + tempFileName(url);
    } catch (const Error& e) {
        return failure(e.message());
    }

    QString error;
    const QByteArray body = download(url, network, error);
    if (!error.isEmpty())
        return failure(error);

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

} // namespace LogoFetch
