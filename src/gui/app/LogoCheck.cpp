#include "LogoCheck.h"

#include "UserInteraction.h"
#include "ftp/FtpWorker.h"
#include "output/LogoFetch.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QPixmap>
#include <QSpinBox>
#include <climits>
#include <mutex>

namespace {

const QString kNoAddress = QStringLiteral("Bitte geben Sie eine Logo-URL ein.");
const QString kNotFound =
    QStringLiteral("Das Logo wurde nicht gefunden. Bitte prüfen Sie die URL.");
const QString kTooWide = QStringLiteral("Hinweis: Bild ist breiter als 144 Pixel.");
const QString kTooHigh = QStringLiteral("Hinweis: Bild ist höher als 400 Pixel.");

// By content, not by name: logos are served under any name.
QImage decode(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

} // namespace

LogoCheck::LogoCheck(QWidget* window, UserInteraction& ui, QLineEdit* edtLogoUrl,
                     QSpinBox* edtLogoWidth, QSpinBox* edtLogoHeight, QLabel* logoPicture)
    : m_window(window), m_ui(ui), m_edtLogoUrl(edtLogoUrl), m_edtLogoWidth(edtLogoWidth),
      m_edtLogoHeight(edtLogoHeight), m_logoPicture(logoPicture)
{
    m_edtLogoWidth->setRange(INT_MIN, INT_MAX);
    m_edtLogoHeight->setRange(INT_MIN, INT_MAX);
}

LogoFetch::Result LogoCheck::fetchOffThread(const QString& address, bool& cancelled)
{
    // The download runs on the worker's thread with a network access of its
    // own; the run's cookies are shared with every other check.
    std::mutex lock;
    QNetworkAccessManager* active = nullptr;
    bool abortAsked = false;
    LogoFetch::Result result;
    QNetworkCookieJar& jar = LogoFetch::sharedCookieJar(); // made on this thread
    FtpWorker worker(m_window, QStringLiteral("Logo"),
                     QStringLiteral("Bitte warten, das Logo wird geladen..."));
    const FtpWorker::Outcome outcome = worker.run(
        [&] {
            QNetworkAccessManager network;
            network.setCookieJar(&jar); // not taken over: it lives on another thread
            {
                const std::lock_guard guard(lock);
                if (abortAsked)
                    return;
                active = &network;
            }
            result = LogoFetch::fetch(address, network);
            const std::lock_guard guard(lock);
            active = nullptr;
        },
        [&] {
            const std::lock_guard guard(lock);
            abortAsked = true;
            // Runs in the download's own event loop; its replies are the
            // manager's children.
            if (active)
                QMetaObject::invokeMethod(
                    active,
                    [network = active] {
                        for (QNetworkReply* reply : network->findChildren<QNetworkReply*>())
                            reply->abort();
                    },
                    Qt::QueuedConnection);
        });
    cancelled = outcome.cancelled;
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    return result;
}

void LogoCheck::btReadPictureClick()
{
    runCommand(m_ui, m_window, [this] { readPicture(); });
}

QImage LogoCheck::previewImage(const QImage& picture, const QSize& area)
{
    if (picture.width() <= area.width() && picture.height() <= area.height())
        return picture;
    // Smooth scaling of a palette picture (1-bit above all) gives dither
    // noise; scale its true-colour form.
    const QImage trueColour = picture.convertToFormat(
        picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    return trueColour.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void LogoCheck::readPicture()
{
    const QString address = m_edtLogoUrl->text();
    if (address.isEmpty()) {
        m_ui.showMessage(m_window, kNoAddress);
        m_edtLogoUrl->setFocus();
        return;
    }

    bool cancelled = false;
    const LogoFetch::Result download = fetchOffThread(address, cancelled);
    if (cancelled)
        return; // the user's choice: fields and preview stay
    const QImage picture = download.ok ? decode(download.tempFile) : QImage();
    if (picture.isNull()) {
        m_ui.showMessage(m_window, kNotFound);
        return;
    }

    m_edtLogoWidth->setValue(picture.width());
    m_edtLogoHeight->setValue(picture.height());
    m_logoPicture->setPixmap(
        QPixmap::fromImage(previewImage(picture, m_logoPicture->contentsRect().size())));

    if (picture.width() > kMaxWidth)
        m_ui.showMessage(m_window, kTooWide);
    if (picture.height() > kMaxHeight)
        m_ui.showMessage(m_window, kTooHigh);
}
