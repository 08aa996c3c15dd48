#pragma once

// The main window with helpers for the FTP windows: FTP fields, real and
// scripted servers, and a click on the cancel box once it shows.

#include "ftp/FtpWorker.h"
#include "ftp/uLog.h"
#include "gui/app/MainWindowFixture.h"
#include "support/FtpServerProcess.h"
#include "support/ScriptedFtpServer.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <unistd.h>

// Presses "Abbrechen" in the cancel box as soon as it is shown.
// Presses "Abbrechen" in the progress box once it shows and `ready` says the
// operation to cancel is under way (a run of several steps shows a box for
// each step).
inline void cancelWhenBoxShows(std::function<bool()> ready = {})
{
    FtpWorker::setCancelBoxDelay(0);
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, ready] {
        if (ready && !ready())
            return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == u"frmFTPProgress" && w->isVisible()) {
                if (auto* b = w->findChild<QPushButton*>(QStringLiteral("btAbbrechen"))) {
                    b->click();
                    poll->deleteLater();
                    return;
                }
            }
        }
    });
    poll->start(20);
}

class FtpGuiTest : public MainWindowTest
{
protected:
    void TearDown() override
    {
        FtpWorker::setCancelBoxDelay(400);
        MainWindowTest::TearDown();
    }

    void setFtpFields(const QString& server, const QString& port, const QString& user,
                      const QString& password, const QString& folder = {}, bool passive = true)
    {
        form->textControl(u"edtFTPServer")->setText(server);
        form->textControl(u"edtFTPPort")->setText(port);
        form->textControl(u"edtFTPUserName")->setText(user);
        form->textControl(u"edtFTPPassword")->setText(password);
        form->textControl(u"edtFTPFolder")->setText(folder);
        form->checkControl(u"chkFTPPassive")->setChecked(passive);
    }
    QString field(const char* key) const
    {
        return form->textControl(QString::fromLatin1(key))->text();
    }

    // pyftpdlib serving `home` to anna / geheim.
    void startPyftpdlib(FtpServerProcess& server, const QString& home)
    {
        QString failure;
        ASSERT_TRUE(
            server.startPyftpdlib(home, QStringLiteral("anna"), QStringLiteral("geheim"), &failure))
            << failure.toStdString();
    }

    static QByteArray fileBytes(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

// The log of an upload that stored `bytes` as `remoteName`: under the
// temporary name, size checked, renamed over the old file.
inline QStringList successLog(const QString& user, const QString& folder, const QString& remoteName,
                              qint64 bytes)
{
    return {QStringLiteral("Versuche Verbindung aufzunehmen..."),
            QStringLiteral("Username: ") + user,
            QStringLiteral("Passwort: ********"),
            QStringLiteral("Verbindung hergestellt!"),
            QStringLiteral("Verzeichniswechsel nach: ") + folder,
            QStringLiteral("Übertrage die Datei als %1.tavistrel-upload...").arg(remoteName),
            QStringLiteral("Größe auf dem Server geprüft: %1 Bytes.").arg(bytes),
            QStringLiteral("Umbenannt in %1: die neue Datei ersetzt die alte.").arg(remoteName),
            QStringLiteral("Dateien erfolgreich übertragen!")};
}

inline QStringList uploadErrorHint()
{
    return {QString(),
            QStringLiteral("Fehler bei FTP-Übertragung."),
            QString(),
            QStringLiteral("Bitte überprüfen Sie Benutzername/Passwort"),
            QStringLiteral("sowie das angegebene Verzeichnis auf dem"),
            QStringLiteral("Server existiert."),
            QString(),
            QStringLiteral("Fehlermeldung des Servers:")};
}
