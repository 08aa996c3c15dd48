#include "SystemError.h"

#include <QFileDevice>
#include <cerrno>

// Qt's own, exported: the text QFile puts into errorString() for an errno.
Q_CORE_EXPORT QString qt_error_string(int errorCode);

namespace SystemError {
namespace {

struct Reason
{
    int error;
    const char* text;
};

constexpr Reason kReasons[] = {
    {ENOENT, "Die Datei oder der Ordner existiert nicht"},
    {EACCES, "Zugriff verweigert (keine Berechtigung)"},
    {EPERM, "Zugriff verweigert (keine Berechtigung)"},
    {ENOSPC, "Der Datenträger ist voll"},
    {EDQUOT, "Das Speicherkontingent ist erschöpft"},
    {EROFS, "Das Dateisystem ist schreibgeschützt"},
    {EISDIR, "Es ist ein Ordner"},
    {ENOTDIR, "Ein Teil des Pfades ist kein Ordner"},
    {ENAMETOOLONG, "Der Dateiname ist zu lang"},
    {EFBIG, "Die Datei ist zu groß"},
    {EIO, "Ein-/Ausgabefehler des Datenträgers"},
    {EMFILE, "Zu viele offene Dateien"},
    {ENFILE, "Zu viele offene Dateien im System"},
    {ENXIO, "Das Gerät oder die Gegenstelle ist nicht bereit"},
    {ENODEV, "Das Gerät ist nicht vorhanden"},
    {EBUSY, "Die Datei oder das Gerät ist belegt"},
    {ETXTBSY, "Die Datei ist belegt"},
    {ELOOP, "Zu viele symbolische Verknüpfungen"},
    {EXDEV, "Die Datei liegt auf einem anderen Dateisystem"},
    {EPIPE, "Die Gegenstelle hat die Verbindung geschlossen"},
    {EINVAL, "Ungültiger Zugriff auf die Datei"},
    {ENOMEM, "Nicht genug Arbeitsspeicher"},
};

} // namespace

QString reason(int error)
{
    for (const Reason& r : kReasons)
        if (r.error == error)
            return QString::fromUtf8(r.text);
    return QStringLiteral("Systemfehler %1").arg(error);
}

QString reason(const QFileDevice& file)
{
    const QString text = file.errorString();
    for (const Reason& r : kReasons)
        if (text == qt_error_string(r.error))
            return QString::fromUtf8(r.text);
    switch (file.error()) {
    case QFileDevice::NoError:
        return QStringLiteral("Unbekannter Fehler");
    case QFileDevice::ReadError:
        return QStringLiteral("Lesefehler");
    case QFileDevice::WriteError:
        return QStringLiteral("Schreibfehler");
    case QFileDevice::ResourceError:
        return QStringLiteral("Der Datenträger ist voll oder ein Systemlimit ist erreicht");
    case QFileDevice::OpenError:
        return QStringLiteral("Die Datei kann nicht geöffnet werden");
    case QFileDevice::RenameError:
        return QStringLiteral("Die neue Datei kann nicht an ihre Stelle gesetzt werden");
    case QFileDevice::PermissionsError:
        return QStringLiteral("Die Zugriffsrechte können nicht gesetzt werden");
    case QFileDevice::AbortError:
        return QStringLiteral("Vorgang abgebrochen");
    default:
        return QStringLiteral("Dateifehler");
    }
}

} // namespace SystemError
