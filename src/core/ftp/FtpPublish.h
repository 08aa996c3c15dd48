#pragma once

#include "platform/Error.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class TIdFTP;

// The two FTP runs that write the FTP log: the upload of the RSS file and the
// connection test. Both are shared by the windows (on a worker thread) and
// the headless --upload, so the log reads the same everywhere.
namespace FtpPublish {

// One log line. Called on the thread that runs the operation.
using LogFn = std::function<void(const QString& line)>;

struct Settings
{
    QString host;
    QString port; // whole-number text
    QString username;
    QString password;
    bool passive = false;
    QString folder;     // upload only; empty: the login folder
    QString remoteName; // upload only
};

// The port text is not a whole number (the connection test checks it only
// after logging the user name).
class EPortNotANumber : public Error
{
public:
    EPortNotANumber()
        : Error(QStringLiteral("Bitte einen numerischen Wert im Feld Port eintragen!"))
    {
    }
};

// Uploads localPath as settings.remoteName into settings.folder and logs the
// steps. A reply error is handled here: its lines go to the log, the client
// says QUIT, the result is false. True when the file was stored. Any other
// failure is thrown; the caller then closes the client.
bool UploadRSSFile(TIdFTP& ftp, const Settings& settings, const QString& localPath,
                   const LogFn& log);

// Connects, logs in and disconnects again, with the test's log lines and
// reply-error lines. True when the login succeeded. Throws EPortNotANumber,
// EIdHostRequired and any failure other than a reply error.
bool TestConnection(TIdFTP& ftp, const Settings& settings, const LogFn& log);

// The log lines after a refused upload or test: the hint, then the server's
// reply text, one log line per reply line.
QStringList uploadErrorLines(const QString& replyText);
QStringList testErrorLines(const QString& replyText);

// What a cancelled run adds to the log.
inline const QString kCancelledLine = QStringLiteral("Vorgang abgebrochen.");

} // namespace FtpPublish
