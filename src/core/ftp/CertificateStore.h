#pragma once

#include "RemoteSession.h"

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

// The server certificates the user trusted although they could not be
// verified: a PEM file, each certificate preceded by a comment line
// "# HOST:PORT" naming where it is trusted. Users and scripts may write it
// by hand; lines it does not understand are kept and ignored.
class CertificateStore
{
public:
    explicit CertificateStore(QString path) : m_path(std::move(path)) {}

    // certificates.pem in the application data folder.
    static QString defaultPath();
    const QString& path() const { return m_path; }

    // True when the file holds exactly this certificate for host:port.
    bool isTrusted(const QString& host, quint16 port, const QSslCertificate& certificate) const;
    // Appends the certificate for host:port; the file is owner-only (0600).
    // Throws Error with a German text when it cannot be written.
    void trust(const QString& host, quint16 port, const QSslCertificate& certificate) const;

private:
    QString m_path;
};

// Verifies the chain against the system's certificate authorities and the
// host name; the certificates in `store` count as trusted for their host.
// An unverified one is put to `ask` (none: refused). Throws EUntrustedServer
// when it is not trusted.
void verifyServerCertificate(const QList<QSslCertificate>& chain, const QString& host, quint16 port,
                             const CertificateStore& store, const TrustAsker& ask);

// The question for a certificate that failed with `errors`.
TrustQuestion certificateQuestion(const QSslCertificate& certificate, const QString& host,
                                  quint16 port, const QList<QSslError>& errors,
                                  const QString& trustFile);

// "AB:CD:..." of the certificate's DER bytes.
QString sha256Fingerprint(const QSslCertificate& certificate);

// The headless refusal: names the fingerprint and where to trust it.
QString untrustedCertificateMessage(const TrustQuestion& question);
