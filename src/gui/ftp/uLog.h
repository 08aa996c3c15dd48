#pragma once

#include "ftp/PublishJob.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QPlainTextEdit;
class UserInteraction;
class QPushButton;

// The FTP log window: one for the whole program, shared by the upload and
// the profile editor's connection test. Shown without being modal; each run
// clears it and adds its lines as they happen.
//
// It is a window of its own rather than a child window of its owner: a child
// would be blocked by every dialog that is modal to the owner (the profiles
// window, the profile editor), and the log of a connection test could then
// not be closed while the editor is open. It is destroyed with its owner.
class TfrmFTPLog : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmFTPLog(QWidget* owner);

    // Shows the window (centred on its owner the first time) and brings it up.
    void showLog();
    void clear();
    void addLine(const QString& line);
    // The log's lines, for the tests and the callers' checks.
    QStringList lines() const;

    void SpeedButton1Click();

    // One logged run (upload or connection test): shows and clears the log,
    // makes a job for `settings` and runs `steps` with it off the GUI
    // thread, owner taking no input meanwhile; each line shows as it is
    // logged, trust questions go to `ui`. The connection is closed when
    // this returns. A cancelled run logs so and gives false; other failures
    // are thrown.
    using Steps = std::function<bool(PublishJob& job)>;
    bool runLogged(QWidget* owner, UserInteraction& ui, const FtpPublish::Settings& settings,
                   const Steps& steps);

private:
    QPlainTextEdit* memoLog;
    QPushButton* SpeedButton1;
    QPointer<QWidget> m_owner;
    bool m_placed = false;
};
