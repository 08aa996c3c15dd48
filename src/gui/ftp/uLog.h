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
// It is kept above its owner (the main window), and destroyed with it.
// While a dialog is modal to the owner (the profile editor testing a
// connection) it is kept above that dialog instead, as a window of the owner
// would be blocked by it; when the dialog goes it returns to the owner.
class TfrmFTPLog : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmFTPLog(QWidget* owner);

    // Shows the window (centred on its owner the first time), raises and
    // activates it. Runs call it for every line they write.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keepAbove(QWidget* window);

    QPlainTextEdit* memoLog;
    QPushButton* SpeedButton1;
    QPointer<QWidget> m_owner;
    bool m_placed = false;
};
