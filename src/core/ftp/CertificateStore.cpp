#include "CertificateStore.h"

#include "platform/Folders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimeZone>

namespace {

QString hostPort(const QString& host, quint16 port)
{
    return host + u':' + QString::number(port);
}

// The PEM blocks of the file that follow a "# HOST:PORT" line for host:port.
QList<QSslCertificate> certificatesFor(const QByteArray& file, const QString& wanted)
{
    QList<QSslCertificate> found;
    const QList<QByteArray> lines = file.split('\n');
    bool inBlock = false, forWanted = false;
    QByteArray block;
    QString label;
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (!inBlock && line.startsWith('#')) {
            label = QString::fromUtf8(line.mid(1)).trimmed();
            continue;
        }
        if (line.startsWith("-----BEGIN CERTIFICATE-----")) {
            inBlock = true;
            forWanted = label.compare(wanted, Qt::CaseInsensitive) == 0;
            block = line + '\n';
            continue;
        }
        if (!inBlock)
            continue;
        block += line + '\n';
        if (line.startsWith("-----END CERTIFICATE-----")) {
            inBlock = false;
            if (forWanted)
                found += QSslCertificate::fromData(block, QSsl::Pem);
            label.clear(); // one label, one certificate
        }
    }
    return found;
}

QString reasonText(const QList<QSslError>& errors)
{
    QStringList reasons;
    for (const QSslError& error : errors) {
        QString text;
        switch (error.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
            text = QStringLiteral("das Zertifikat ist selbst signiert");
            break;
        case QSslError::HostNameMismatch:
            text = QStringLiteral("das Zertifikat gilt für einen anderen Rechnernamen");
            break;
        case QSslError::CertificateExpired:
            text = QStringLiteral("das Zertifikat ist abgelaufen");
            break;
        case QSslError::CertificateNotYetValid:
            text = QStringLiteral("das Zertifikat ist noch nicht gültig");
            break;
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
            text = QStringLiteral("der Aussteller ist keine bekannte Zertifizierungsstelle");
            break;
        case QSslError::CertificateRevoked:
            text = QStringLiteral("das Zertifikat wurde zurückgezogen");
            break;
        default:
            text = QStringLiteral("das Zertifikat kann nicht geprüft werden (%1)")
                       .arg(error.errorString());
        }
        if (!reasons.contains(text))
            reasons << text;
    }
    return reasons.join(QStringLiteral("; "));
}

QString dateText(const QDateTime& moment)
{
    return moment.toTimeZone(QTimeZone::utc()).toString(QStringLiteral("dd.MM.yyyy"));
}

} // namespace

QString CertificateStore::defaultPath()
{
    return Folders::appDataFolder() + QStringLiteral("/certificates.pem");
}

bool CertificateStore::isTrusted(const QString& host, quint16 port,
                                 const QSslCertificate& certificate) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return certificatesFor(file.readAll(), hostPort(host, port)).contains(certificate);
}

void CertificateStore::trust(const QString& host, quint16 port,
                             const QSslCertificate& certificate) const
{
    QByteArray content;
    QFile existing(m_path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                            .arg(m_path, existing.errorString()));
        content = existing.readAll();
        existing.close();
        if (!content.isEmpty() && !content.endsWith('\n'))
            content += '\n';
    }
    content += "# " + hostPort(host, port).toUtf8() + '\n' + certificate.toPem();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(content) != content.size() || !file.commit())
        throw Error(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                        .arg(m_path, file.errorString()));
}

QString sha256Fingerprint(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

TrustQuestion certificateQuestion(const QSslCertificate& certificate, const QString& host,
                                  quint16 port, const QList<QSslError>& errors,
                                  const QString& trustFile)
{
    TrustQuestion question;
    question.kind = TrustQuestion::Kind::Certificate;
    question.host = host;
    question.port = port;
    question.fingerprint = sha256Fingerprint(certificate);
    QStringList subject = certificate.subjectInfo(QSslCertificate::CommonName);
    subject += certificate.subjectInfo(QSslCertificate::Organization);
    question.subject = subject.join(QStringLiteral(", "));
    question.validity =
        QStringLiteral("%1 bis %2")
            .arg(dateText(certificate.effectiveDate()), dateText(certificate.expiryDate()));
    question.reason = reasonText(errors);
    question.trustFile = trustFile;
    return question;
}

QString untrustedCertificateMessage(const TrustQuestion& question)
{
    return QStringLiteral("Das Zertifikat des Servers %1:%2 ist nicht vertrauenswürdig: %3. "
                          "SHA-256-Fingerabdruck: %4. Um ihm zu vertrauen, das Zertifikat mit "
                          "der Zeile \"# %1:%2\" davor in die Datei %5 eintragen.")
        .arg(question.host)
        .arg(question.port)
        .arg(question.reason, question.fingerprint, question.trustFile);
}

void verifyServerCertificate(const QList<QSslCertificate>& chain, const QString& host, quint16 port,
                             const CertificateStore& store, const TrustAsker& ask)
{
    if (chain.isEmpty())
        throw EUntrustedServer(
            QStringLiteral("Der Server %1:%2 hat kein Zertifikat gesendet.").arg(host).arg(port));
    const QList<QSslError> errors = QSslCertificate::verify(chain, host);
    if (errors.isEmpty() || store.isTrusted(host, port, chain.first()))
        return;
    const TrustQuestion question =
        certificateQuestion(chain.first(), host, port, errors, store.path());
    if (!ask || !ask(question))
        throw EUntrustedServer(untrustedCertificateMessage(question));
    store.trust(host, port, chain.first());
}
