#include "FtpWorker.h"

#include "app/UserInteraction.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

int g_cancelBoxDelayMs = 400;
int g_questionsOpen = 0;       // trust questions shown on behalf of a worker
QPointer<QDialog> g_cancelBox; // the running worker's box; it gives way to a question

// Keeps user input and close requests away from every widget but the cancel
// box while a run is active, so no command starts twice and no window closes
// under a running operation.
class InputBlocker : public QObject
{
public:
    explicit InputBlocker(QWidget* allowed) : m_allowed(allowed) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::Close: {
            if (g_questionsOpen > 0)
                return false;
            // Window-level events pass; the widgets they reach are filtered.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (!widget || (m_allowed && (widget == m_allowed || m_allowed->isAncestorOf(widget))))
                return false;
            event->ignore();
            return true;
        }
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> m_allowed;
};

class CancelBox : public QDialog
{
public:
    CancelBox(QWidget* owner, const QString& caption, const QString& text,
              std::function<void()> onCancel)
        : QDialog(owner), m_onCancel(std::move(onCancel))
    {
        setObjectName(QStringLiteral("frmFTPProgress"));
        setWindowTitle(caption);
        setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(this);
        m_label = new QLabel(text, this);
        layout->addWidget(m_label);
        auto* row = new QHBoxLayout;
        row->addStretch();
        m_button = new QPushButton(QStringLiteral("Abbrechen"), this);
        m_button->setObjectName(QStringLiteral("btAbbrechen"));
        m_button->setAutoDefault(false);
        row->addWidget(m_button);
        layout->addLayout(row);
        connect(m_button, &QPushButton::clicked, this, [this] { cancel(); });
    }

    void reject() override { cancel(); } // Escape and the close box cancel too

private:
    void cancel()
    {
        if (!m_button->isEnabled())
            return;
        m_button->setEnabled(false);
        m_label->setText(QStringLiteral("Wird abgebrochen..."));
        m_onCancel();
    }

    std::function<void()> m_onCancel;
    QLabel* m_label;
    QPushButton* m_button;
};

} // namespace

FtpWorker::FtpWorker(QWidget* owner, QString boxCaption, QString boxText) : FtpWorker(owner)
{
    m_boxCaption = std::move(boxCaption);
    m_boxText = std::move(boxText);
}

FtpWorker::FtpWorker(QWidget* owner) : m_owner(owner)
{
    m_thread.setObjectName(QStringLiteral("ftp"));
    m_context.moveToThread(&m_thread);
    m_thread.start();
}

FtpWorker::~FtpWorker()
{
    m_thread.quit();
    m_thread.wait();
}

void FtpWorker::setCancelBoxDelay(int ms)
{
    g_cancelBoxDelayMs = ms;
}

TrustAsker FtpWorker::trustAsker(UserInteraction& ui, QWidget* parent)
{
    QPointer<QWidget> guard(parent);
    return [&ui, guard](const TrustQuestion& question) {
        bool trusted = false;
        std::exception_ptr error;
        auto ask = [&] {
            ++g_questionsOpen;
            const bool boxShown = g_cancelBox && g_cancelBox->isVisible();
            if (boxShown)
                g_cancelBox->hide();
            try {
                trusted = ui.askTrust(guard, question);
            } catch (...) {
                error = std::current_exception();
            }
            if (boxShown && g_cancelBox)
                g_cancelBox->show();
            --g_questionsOpen;
        };
        if (QThread::currentThread() == qApp->thread())
            ask();
        else
            QMetaObject::invokeMethod(qApp, ask, Qt::BlockingQueuedConnection);
        if (error)
            std::rethrow_exception(error);
        return trusted;
    };
}

void FtpWorker::post(QObject* context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

FtpWorker::Outcome FtpWorker::run(const std::function<void()>& work,
                                  const std::function<void()>& abort)
{
    Outcome outcome;
    if (m_busy) {
        outcome.error = std::make_exception_ptr(std::logic_error("FTP operation already running"));
        return outcome;
    }
    m_busy = true;
    bool finished = false;
    QEventLoop loop;

    CancelBox box(m_owner, m_boxCaption, m_boxText, [&] {
        outcome.cancelled = true;
        abort();
    });
    InputBlocker blocker(&box);
    QTimer showBox;
    showBox.setSingleShot(true);
    connect(&showBox, &QTimer::timeout, &box, [&box, &showBox] {
        if (g_questionsOpen > 0)
            showBox.start(g_cancelBoxDelayMs); // not over a question
        else
            box.show();
    });
    g_cancelBox = &box;
    showBox.start(g_cancelBoxDelayMs);

    // The finish notice is posted after every log line the work posted, so
    // all of them are shown by the time run() returns.
    QMetaObject::invokeMethod(
        &m_context,
        [&, this] {
            std::exception_ptr error;
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            post(this, [&, error] {
                outcome.error = error;
                finished = true;
                loop.quit();
            });
        },
        Qt::QueuedConnection);
    if (!finished)
        loop.exec();
    showBox.stop();
    box.hide();
    g_cancelBox = nullptr;
    m_busy = false;
    return outcome;
}
