#pragma once

#include "RemoteSession.h"
#include "platform/Error.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class FeedDocument;

// The two runs that write the FTP log, the upload of the RSS file and the
// connection test, with their settings and checks. Shared by the windows (on
// a worker thread) and the headless --upload, so the log reads the same
// everywhere, whichever protocol.
namespace FtpPublish {

// One log line. Called on the thread that runs the job.
using LogFn = std::function<void(const QString& line)>;

struct Settings
{
    RemoteProtocol protocol = RemoteProtocol::Ftp;
    QString host;
    QString port; // whole-number text
    QString username;
    QString password;
    bool passive = false;
    QString folder;     // upload only; empty: the login folder
    QString remoteName; // upload only
};

// The project's FTP fields.
Settings settingsFromDocument(const FeedDocument& document);

// What keeps an upload from starting (no server, no RSS file name, a port
// that is no number), as the German message shown to the user; empty when
// the settings will do.
QString uploadSettingsProblem(const Settings& settings);

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

// The server name is empty (only an empty one: blanks fail at the name's
// resolution, with its text).
class EHostRequired : public Error
{
public:
    EHostRequired() : Error(QStringLiteral("Bitte geben Sie einen gültigen Servernamen an.")) {}
};

// The session settings; throws EPortNotANumber, and Error for port 0.
RemoteSettings remoteSettings(const Settings& settings);

// The log lines after a refused upload or test: the hint, then the server's
// reply text, one log line per reply line.
QStringList uploadErrorLines(const QString& replyText);
QStringList testErrorLines(const QString& replyText);

// What a cancelled run adds to the log.
inline const QString kCancelledLine = QStringLiteral("Vorgang abgebrochen.");
// Appended to the RSS file name for the upload before it replaces the feed.
inline const QString kUploadSuffix = QStringLiteral(".tavistrel-upload");

} // namespace FtpPublish

// One upload or connection test: makes its own session, logs each step and
// can be aborted from another thread.
//
// The upload replaces the live feed in one step: it stores the file under a
// temporary name beside it, compares the size on the server, and renames it
// over the feed. On any failure, cancel included, the temporary file is
// deleted (best effort) and the old feed stays untouched. Only when the
// server refuses the temporary name or the rename does it store the final
// name directly, and says so in the log.
class PublishJob
{
public:
    using SessionFactory =
        std::function<std::unique_ptr<RemoteSession>(const RemoteSettings&, RemoteHooks)>;

    // hooks.askTrust answers trust questions (none: untrusted servers are
    // refused); wire and status reach the session.
    PublishJob(FtpPublish::Settings settings, FtpPublish::LogFn log, RemoteHooks hooks = {},
               SessionFactory factory = makeRemoteSession);
    ~PublishJob();

    // True when the file was stored. A refusal by the server is logged with
    // its lines and gives false; everything else (no connection, untrusted
    // server, abort) is thrown after the clean-up, with EPortNotANumber
    // before anything is logged.
    bool upload(const QString& localPath);
    // Connects, logs in and disconnects again. True when the login
    // succeeded; a refusal is logged and gives false; the rest is thrown.
    bool testConnection();

    // Thread-safe: the running step fails soon; the clean-up still runs.
    void abort();
    bool aborted() const { return m_aborted.load(); }

private:
    void connectAndLogin();
    void storeReplacing(const QString& localPath);
    // Runs the steps of a run and closes its session; a refusal goes to the
    // log as `errorLines` makes it and gives false, any other failure is thrown.
    bool runClosing(const std::function<void()>& steps,
                    QStringList (*errorLines)(const QString& replyText));
    void storeDirectly(const QString& localPath);
    void removeTemporary(const QString& name);
    void setSession(std::unique_ptr<RemoteSession> session);

    FtpPublish::Settings m_settings;
    FtpPublish::LogFn m_log;
    RemoteHooks m_hooks;
    SessionFactory m_factory;
    std::mutex m_sessionMutex; // guards m_session against abort()
    std::unique_ptr<RemoteSession> m_session;
    std::atomic<bool> m_aborted{false};
};
