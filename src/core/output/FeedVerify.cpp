#include "FeedVerify.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace FeedVerify {

namespace {

// Some servers confirm a stored file before it is complete on disk.
constexpr int kAttempts = 3;
constexpr int kPauseMs = 500;

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

Result VerifyFeed(const QString& address, const QByteArray& uploaded,
                  QNetworkAccessManager& network)
{
    LogoFetch::Download d = LogoFetch::get(address, network);
    for (int attempt = 1; attempt < kAttempts && d.ok() && d.body != uploaded; ++attempt) {
        pause(kPauseMs);
        d = LogoFetch::get(address, network);
    }
    Result r;
    if (!d.ok()) {
        r.line = QStringLiteral("Warnung: Der Feed unter %1 ist nicht abrufbar: %2. Bitte "
                                "prüfen, ob das FTP-Verzeichnis zur Adresse des Feeds passt.")
                     .arg(address, d.germanReason);
        return r;
    }
    if (d.body != uploaded) {
        r.line = QStringLiteral("Warnung: Unter %1 liegt nicht die eben hochgeladene Datei "
                                "(%2 statt %3 Bytes%4). Meist liefert ein Cache noch die alte "
                                "Fassung, oder das FTP-Verzeichnis passt nicht zur Adresse des "
                                "Feeds.")
                     .arg(address)
                     .arg(d.body.size())
                     .arg(uploaded.size())
                     .arg(d.body.size() == uploaded.size() ? QStringLiteral(", anderer Inhalt")
                                                           : QString());
        return r;
    }
    r.current = true;
    r.line = QStringLiteral("Feed unter %1 abrufbar und aktuell.").arg(address);
    return r;
}

Result VerifyUploadedFile(const QString& address, const QString& localPath,
                          QNetworkAccessManager& network)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly)) {
        Result r;
        r.line = QStringLiteral("Warnung: Die hochgeladene Datei \"%1\" kann zum Vergleich nicht "
                                "gelesen werden.")
                     .arg(localPath);
        return r;
    }
    return VerifyFeed(address, file.readAll(), network);
}

} // namespace FeedVerify
