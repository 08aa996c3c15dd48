#pragma once

#include "output/LogoFetch.h"

#include <QImage>
#include <QSize>
#include <QString>

class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;
class UserInteraction;

// The logo check of the page "Sonstige Einstellungen": downloads the picture
// at the logo address, shows it in the preview and writes its size into the
// width and height fields, with hints where it exceeds the RSS 2.0 limits for
// channel images (144 by 400 pixels).
//
// The main window keeps one instance for its controls and calls
// btReadPictureClick from its own TForm1::btReadPictureClick:
//
//     m_logoCheck = std::make_unique<LogoCheck>(this, ui, edtLogoUrl, edtLogoWidth,
//                                               edtLogoHeight, logoPicture);
//     void TForm1::btReadPictureClick() { m_logoCheck->btReadPictureClick(); }
//
// The constructor opens the spin fields to the whole int range (the fields
// set no bounds; a picture of 600 pixels must not be clamped). logoPicture is
// the 183 by 95 preview; give it a fixed size: its contents rectangle is the
// area a picture must fit into.
class LogoCheck
{
public:
    static constexpr int kMaxWidth = 144;
    static constexpr int kMaxHeight = 400;

    LogoCheck(QWidget* window, UserInteraction& ui, QLineEdit* edtLogoUrl, QSpinBox* edtLogoWidth,
              QSpinBox* edtLogoHeight, QLabel* logoPicture);

    // Runs the whole check as one command: an empty address gives "Bitte geben
    // Sie eine Logo-URL ein." and the focus moves to the address field; any
    // failure of download or decoding gives "Das Logo wurde nicht gefunden.
    // Bitte prüfen Sie die URL." and leaves fields and preview as they were.
    // The download runs off the window's thread: the window stays painted
    // but takes no input, and after a short wait a box with "Abbrechen"
    // ends it (fields and preview then stay as they were).
    void btReadPictureClick();

    // The picture as the preview shows it: scaled down into `area` with its
    // proportions kept when it is wider or taller than the area, else unchanged.
    static QImage previewImage(const QImage& picture, const QSize& area);

private:
    void readPicture();
    // The download off the window's thread, with the "Abbrechen" box of the
    // FTP steps after a short wait.
    LogoFetch::Result fetchOffThread(const QString& address, bool& cancelled);

    QWidget* m_window;
    UserInteraction& m_ui;
    QLineEdit* m_edtLogoUrl;
    QSpinBox* m_edtLogoWidth;
    QSpinBox* m_edtLogoHeight;
    QLabel* m_logoPicture;
};
