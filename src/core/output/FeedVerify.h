#pragma once

#include "LogoFetch.h"

#include <QByteArray>
#include <QString>

// After an upload: is the feed at its public address the file just sent?
// A web cache or an FTP folder that is not the one behind the address gives
// readers an old feed or none, while the upload itself reports success.
namespace FeedVerify {

struct Result
{
    bool current = false; // fetched and byte for byte the uploaded file
    QString line;         // the log line, German
};

// Fetches `address` over HTTP or HTTPS with the logo download's client and
// compares the body with `uploaded`. The line is "Feed unter ADRESSE
// abrufbar und aktuell." or a warning naming the reason. Never throws.
Result VerifyFeed(const QString& address, const QByteArray& uploaded,
                  QNetworkAccessManager& network = LogoFetch::sharedNetwork());

// The same with the uploaded file's bytes read from localPath.
Result VerifyUploadedFile(const QString& address, const QString& localPath,
                          QNetworkAccessManager& network = LogoFetch::sharedNetwork());

} // namespace FeedVerify
