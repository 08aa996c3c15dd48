// FTP publishing commands of the main window: the upload with its log, the
// profiles window and the folder browser.
#include "ftp/FtpProfileStore.h"
#include "ftp/FtpPublish.h"
#include "ftp/uFTPBrowser.h"
#include "ftp/uFTPProfiles.h"
#include "ftp/uLog.h"
#include "output/Rss20.h"
#include "platform/Folders.h"
#include "platform/WholeNumber.h"
#include "Controls.h"
#include "uMain.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

int runModal(const TForm1::FtpDialogRunner& runner, QDialog& dialog)
{
    return runner ? runner(dialog) : dialog.exec();
}

} // namespace

TfrmFTPLog& TForm1::ftpLog()
{
    if (!frmFTPLog)
        frmFTPLog = new TfrmFTPLog(this);
    return *frmFTPLog;
}

void TForm1::actUploadExecute()
{
    // Private per-user folder: no other user can plant or read the file.
    const QString path = Folders::privateTempFolder() + QStringLiteral("tvst_temp.xml");
    Rss20::GenerateRSS20(documentFromControls(), path);
    UploadRSSFile(path);
}

bool TForm1::CheckFTPSettings()
{
    if (textControl(u"edtFTPServer")->text().isEmpty()) {
        m_ui.showMessage(this, QStringLiteral("Fehler: Kein FTP-Server angegeben. Bitte geben Sie "
                                              "einen FTP-Server an."));
        return false;
    }
    if (textControl(u"edtFileNameRSS")->text().isEmpty()) {
        m_ui.showMessage(this, QStringLiteral("Fehler: Kein RSS-Dateiname angeben. Bitte geben Sie "
                                              "eine RSS-Datei für den FTP-Upload an."));
        return false;
    }
    if (!WholeNumber::isWholeNumber(textControl(u"edtFTPPort")->text())) {
        m_ui.showMessage(
            this, QStringLiteral("Fehler: FTP-Port muss eine Zahl sein. Standardport ist 21."));
        textControl(u"edtFTPPort")->setText(QStringLiteral("21"));
        return false;
    }
    return true;
}

bool TForm1::UploadRSSFile(const QString& localPath)
{
    if (!CheckFTPSettings())
        return false;
    FtpPublish::Settings settings;
    settings.host = textControl(u"edtFTPServer")->text();
    settings.port = textControl(u"edtFTPPort")->text();
    settings.username = textControl(u"edtFTPUserName")->text();
    settings.password = textControl(u"edtFTPPassword")->text();
    settings.passive = checkControl(u"chkFTPPassive")->isChecked();
    settings.folder = textControl(u"edtFTPFolder")->text();
    settings.remoteName = textControl(u"edtFileNameRSS")->text();
    try {
        return ftpLog().runLogged(this, [&](TIdFTP& ftp, const FtpPublish::LogFn& log) {
            return FtpPublish::UploadRSSFile(ftp, settings, localPath, log);
        });
    } catch (const FtpPublish::EPortNotANumber& e) {
        m_ui.showMessage(this, e.message());
        return false;
    }
}

void TForm1::actFTPProfilesExecute()
{
    TftpProfiles profiles(m_ui, ftpLog(), FtpProfileStore::defaultPath(), this);
    profiles.SelectMode = true;
    const int result = runModal(m_runFtpDialog, profiles);
    const int index = profiles.selectedIndex();
    if (result != QDialog::Accepted || index < 0)
        return;
    // A profile has no folder: the folder field stays as it is.
    const TFtpProfile& profile = profiles.ServerList[size_t(index)];
    // The protocol first: its change must not move the profile's port.
    Controls::setProtocol(choiceControl(u"cboFTPProtocol"), profile.protokoll);
    textControl(u"edtFTPServer")->setText(profile.server);
    textControl(u"edtFTPPort")->setText(profile.port);
    textControl(u"edtFTPUserName")->setText(profile.benutzername);
    textControl(u"edtFTPPassword")->setText(profile.passwort);
    checkControl(u"chkFTPPassive")->setChecked(profile.passiv);
}

void TForm1::btFTPBrowseClick()
{
    TfrmFTPBrowser browser(m_ui, this);
    browser.ServerName = textControl(u"edtFTPServer")->text();
    browser.Password = textControl(u"edtFTPPassword")->text();
    browser.Username = textControl(u"edtFTPUserName")->text();
    browser.Passiv = checkControl(u"chkFTPPassive")->isChecked();
    const auto port = WholeNumber::parse(textControl(u"edtFTPPort")->text());
    if (!port) {
        m_ui.showMessage(this, QStringLiteral("Port muss eine Zahl sein. Standardport ist 21."));
        textControl(u"edtFTPPort")->setText(QStringLiteral("21"));
        return;
    }
    browser.ServerPort = *port;
    if (runModal(m_runFtpDialog, browser) == QDialog::Accepted)
        textControl(u"edtFTPFolder")->setText(browser.SelectedPath);
}
