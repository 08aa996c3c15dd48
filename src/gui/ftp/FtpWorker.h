#pragma once

#include "ftp/RemoteSession.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <exception>
#include <functional>

class QWidget;
class UserInteraction;

// Runs FTP operations off the GUI thread. run() returns when the operation
// has ended; meanwhile the windows repaint and queued calls (log lines) are
// delivered, but user input and close requests are held off everywhere
// except in a small modal box with "Abbrechen", which appears after a short
// delay and calls the given abort function.
//
// All runs of one worker use the same thread, so a client kept across runs
// (the folder browser's) keeps its sockets on one thread.
class FtpWorker : public QObject
{
    Q_OBJECT

public:
    explicit FtpWorker(QWidget* owner);
    // For other slow network work (the logo download): the box's caption
    // and text name it.
    FtpWorker(QWidget* owner, QString boxCaption, QString boxText);
    ~FtpWorker() override; // ends the thread; no run may be active

    struct Outcome
    {
        bool cancelled = false;   // the user asked to cancel
        std::exception_ptr error; // what the work threw, if anything
    };

    Outcome run(const std::function<void()>& work, const std::function<void()>& abort);

    // Runs fn on the GUI thread, after everything posted before it; callable
    // from the worker thread. Nothing runs once context is gone.
    static void post(QObject* context, std::function<void()> fn);

    // Answers a session's trust question from the worker thread: the worker
    // waits while the question is asked on the GUI thread, where user input
    // reaches it despite the running operation.
    static TrustAsker trustAsker(UserInteraction& ui, QWidget* parent);

    // How long a run may take before the cancel box shows (tests use 0).
    static void setCancelBoxDelay(int ms);

private:
    QWidget* m_owner;
    QString m_boxCaption = QStringLiteral("FTP");
    QString m_boxText = QStringLiteral("Bitte warten, der FTP-Server antwortet...");
    QThread m_thread;
    QObject m_context; // lives on m_thread; queued work runs there
    bool m_busy = false;
};
