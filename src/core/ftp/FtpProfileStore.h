#pragma once

#include "RemoteSession.h"

#include <QString>
#include <optional>
#include <vector>

// One stored FTP connection setting. Plain data.
class TFtpProfile
{
public:
    QString profilname;
    QString server;
    QString port; // as typed; checked only by the profile editor
    QString benutzername;
    QString passwort; // plain text, as the user typed it
    bool passiv = false;
    RemoteProtocol protokoll = RemoteProtocol::Ftp;

    bool operator==(const TFtpProfile&) const = default;
};

// The profile store "profiles.xml" in the application data folder.
namespace FtpProfileStore {

QString defaultPath();

struct LoadResult
{
    std::vector<TFtpProfile> profiles;
    // Empty when the whole store was read (or there is none); otherwise the
    // reason, and `profiles` holds what could be read.
    QString error;
    bool complete() const { return error.isEmpty(); }
};

// Reads the store. A missing file is an empty store. A profile that lacks
// an element gets that field empty (passive off, protocol FTP); a profile whose passive
// text is no Boolean is skipped and reported, the others still load.
LoadResult load(const QString& path);

// Replaces the store (owner-only file, written through QSaveFile). When the
// last load was incomplete the old file is first kept as "<path>.bak", so
// profiles that could not be read are never lost. Throws Error.
void save(const std::vector<TFtpProfile>& profiles, const QString& path, bool keepBackup);

// save() could not make the backup it was asked for; nothing was written.
class EBackupFailed : public Error
{
public:
    using Error::Error;
};

// The passive flag's text rule: a number (true unless 0), else "True" or
// "False" in any case; nullopt for anything else.
std::optional<bool> parseBoolean(const QString& text);

} // namespace FtpProfileStore
