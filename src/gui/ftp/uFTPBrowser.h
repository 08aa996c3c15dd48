#pragma once

#include "FtpWorker.h"
#include "ftp/RemoteSession.h"

#include <QColor>
#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>

class QAction;
class QLineEdit;
class QListWidget;
class QTreeWidget;
class UserInteraction;

// The FTP folder browser: walks the server's folders with the main window's
// connection settings, whichever protocol, and hands the chosen path back
// (modal result OK, SelectedPath). Its status list shows the session's
// progress reports and every line of the control connection (SFTP: its
// requests), the password masked. Each FTP step
// runs on the window's worker thread; "Abbrechen" in the progress box ends
// a hanging one.
class TfrmFTPBrowser : public QDialog
{
    Q_OBJECT

public:
    TfrmFTPBrowser(UserInteraction& ui, QWidget* owner);
    ~TfrmFTPBrowser() override;

    // Set before the window is shown.
    RemoteProtocol Protocol = RemoteProtocol::Ftp;
    QString ServerName;
    std::int32_t ServerPort = 21;
    QString Username;
    QString Password;
    bool Passiv = false;
    // The path taken over; valid after the result OK.
    QString SelectedPath;

    void actConnectExecute();
    void actFolderUpExecute();
    void actOvertakeExecute();
    void actExitExecute();
    void lstDirectoryDblClick();
    void lstDirectoryKeyDown(int key);

    void ChangeFolder(const QString& path);
    void CloseConnection();
    // Adds the text's lines to the status list, each after `prefix`.
    void AddWireLines(const QString& prefix, QString text);
    bool isConnected() const { return m_connected; }

    // How a status line is drawn: its colours and the text shown, which for
    // a PASS line hides the password.
    struct StatusLook
    {
        QColor background;
        QColor text;
        QString shownText;
    };
    static StatusLook statusLook(const QString& itemText, bool selected, const QPalette& palette);

    // Closing in any way ends a connection first.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addStatusItem(const QString& text);
    // Runs one FTP step on the worker; false when it failed or was cancelled
    // (a cancel is logged in the status list).
    FtpWorker::Outcome runStep(const std::function<void()>& step);
    void folderFailed(const FtpWorker::Outcome& outcome);
    void reloadFolder();

    UserInteraction& m_ui;
    std::unique_ptr<RemoteSession> m_session;       // made on connecting
    std::atomic<RemoteSession*> m_running{nullptr}; // what "Abbrechen" aborts
    FtpWorker m_worker;
    bool m_connected = false;

    QAction* actConnect;
    QAction* actFolderUp;
    QAction* actOvertake;
    QAction* actExit;
    QLineEdit* edtVerzeichnis;
    QTreeWidget* lstDirectory;
    QListWidget* lstStatus;
};
