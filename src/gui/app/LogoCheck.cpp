#include "LogoCheck.h"

#include "UserInteraction.h"
#include "output/LogoFetch.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QSpinBox>
#include <climits>

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

class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

LogoCheck::LogoCheck(QWidget* window, UserInteraction& ui, QLineEdit* edtLogoUrl,
                     QSpinBox* edtLogoWidth, QSpinBox* edtLogoHeight, QLabel* logoPicture)
    : m_window(window), m_ui(ui), m_edtLogoUrl(edtLogoUrl), m_edtLogoWidth(edtLogoWidth),
      m_edtLogoHeight(edtLogoHeight), m_logoPicture(logoPicture)
{
    m_edtLogoWidth->setRange(INT_MIN, INT_MAX);
    m_edtLogoHeight->setRange(INT_MIN, INT_MAX);
}

void LogoCheck::btReadPictureClick()
{
    runCommand(m_ui, m_window, [this] { readPicture(); });
}

QImage LogoCheck::previewImage(const QImage& picture, const QSize& area)
{
    if (picture.width() <= area.width() && picture.height() <= area.height())
        return picture;
    return picture.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void LogoCheck::readPicture()
{
    const QString address = m_edtLogoUrl->text();
    if (address.isEmpty()) {
        m_ui.showMessage(m_window, kNoAddress);
        m_edtLogoUrl->setFocus();
        return;
    }

    QImage picture;
    {
        WaitCursor wait;
        const LogoFetch::Result download = LogoFetch::fetch(address);
        if (download.ok)
            picture = decode(download.tempFile);
    }
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
