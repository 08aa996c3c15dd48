#include "uLog.h"

#include "FtpWorker.h"

#include <QApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFTPLog::TfrmFTPLog(QWidget* owner)
    : QDialog(owner ? owner->window() : nullptr), m_owner(owner ? owner->window() : nullptr)
{
    setObjectName(QStringLiteral("frmFTPLog"));
    setWindowTitle(QStringLiteral("FTP-Log"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(392, 322);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    memoLog = new QPlainTextEdit(this);
    memoLog->setObjectName(QStringLiteral("memoLog"));
    memoLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(memoLog, 1);

    SpeedButton1 = new QPushButton(QStringLiteral("&Schließen"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setFlat(true);
    SpeedButton1->setFixedHeight(33);
    SpeedButton1->setAutoDefault(false);
    layout->addWidget(SpeedButton1);
    connect(SpeedButton1, &QPushButton::clicked, this, &TfrmFTPLog::SpeedButton1Click);
}

void TfrmFTPLog::showLog()
{
    // Above the dialog that is modal to the owner (the profile editor
    // testing a connection), else above the owner: a window of the owner
    // itself would be blocked by that dialog.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this && modal->windowModality() == Qt::WindowModal)
        keepAbove(modal);
    else if (!parentWidget() || !parentWidget()->isVisible())
        keepAbove(m_owner);
    if (!m_placed && m_owner) {
        move(m_owner->geometry().center() - rect().center());
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
}

void TfrmFTPLog::keepAbove(QWidget* window)
{
    if (!window || parentWidget() == window)
        return;
    if (parentWidget() && parentWidget() != m_owner)
        parentWidget()->removeEventFilter(this);
    const bool shown = isVisible();
    const QPoint at = pos();
    setParent(window, windowFlags());
    move(at);
    if (window != m_owner)
        window->installEventFilter(this);
    if (shown)
        show();
}

bool TfrmFTPLog::eventFilter(QObject* watched, QEvent* event)
{
    // The dialog it was kept above goes: back to the owner, staying open.
    if (event->type() == QEvent::Hide && watched == parentWidget() && watched != m_owner)
        keepAbove(m_owner);
    return QDialog::eventFilter(watched, event);
}

void TfrmFTPLog::clear()
{
    memoLog->clear();
}

void TfrmFTPLog::addLine(const QString& line)
{
    memoLog->appendPlainText(line);
    // The window has no scroll bars: keep the newest line in view.
    memoLog->moveCursor(QTextCursor::End);
    memoLog->ensureCursorVisible();
}

QStringList TfrmFTPLog::lines() const
{
    const QString text = memoLog->toPlainText();
    return text.isEmpty() && memoLog->document()->blockCount() <= 1 ? QStringList()
                                                                    : text.split(u'\n');
}

void TfrmFTPLog::SpeedButton1Click()
{
    hide();
}

bool TfrmFTPLog::runLogged(QWidget* owner, UserInteraction& ui,
                           const FtpPublish::Settings& settings, const Steps& steps)
{
    showLog();
    clear();
    bool result = false;
    // Every line brings the log up, so an error is seen when the run ends.
    const FtpPublish::LogFn log = [this](const QString& line) {
        FtpWorker::post(this, [this, line] {
            addLine(line);
            showLog();
        });
    };
    RemoteHooks hooks;
    hooks.askTrust = FtpWorker::trustAsker(ui, owner);
    PublishJob job(settings, log, hooks);
    FtpWorker worker(owner);
    // The job's sessions live and die on the worker thread.
    const FtpWorker::Outcome outcome =
        worker.run([&] { result = steps(job); }, [&job] { job.abort(); });
    // The cancel box took the focus and handed it back to its owner.
    showLog();
    if (!outcome.error)
        return result;
    if (outcome.cancelled) {
        addLine(FtpPublish::kCancelledLine);
        return false;
    }
    std::rethrow_exception(outcome.error);
}
