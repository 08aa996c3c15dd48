// FTP publishing commands of the main window: the upload with its log, the
// profiles window and the folder browser.
#include "Controls.h"
#include "ftp/FtpProfileStore.h"
#include "ftp/PublishJob.h"
#include "ftp/uFTPBrowser.h"
#include "ftp/uFTPProfiles.h"
#include "ftp/uLog.h"
#include "output/FeedVerify.h"
#include "output/Rss20.h"
#include "platform/Folders.h"
#include "platform/WholeNumber.h"
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
    if (!confirmPublishing())
        return;
    // A file of this upload's own: another running editor or a scheduled
    // --upload never overwrites it. Gone when the upload and its check end.
    const Folders::PrivateRunFile file(QStringLiteral("tvst_temp.xml"));
    withDocument(
        [&file](const FeedDocument& document) { Rss20::GenerateRSS20(document, file.path()); });
    if (UploadRSSFile(file.path()))
        verifyPublishedFeed(file.path());
}

void TForm1::verifyPublishedFeed(const QString& uploadedPath)
{
    const QString address = textControl(u"edtFeedUrl")->text();
    if (!address.isEmpty())
        ftpLog().addLine(FeedVerify::VerifyUploadedFile(address, uploadedPath).line);
}

bool TForm1::CheckFTPSettings()
{
    const FtpPublish::Settings settings = FtpPublish::settingsFromDocument(settingsFromControls());
    const QString problem = FtpPublish::uploadSettingsProblem(settings);
    if (problem.isEmpty())
        return true;
    m_ui.showMessage(this, problem);
    if (!WholeNumber::isWholeNumber(settings.port) && !settings.host.isEmpty() &&
        !settings.remoteName.isEmpty())
        textControl(u"edtFTPPort")->setText(QString::number(defaultPort(settings.protocol)));
    return false;
}

bool TForm1::UploadRSSFile(const QString& localPath)
{
    if (!CheckFTPSettings())
        return false;
    const FtpPublish::Settings settings = FtpPublish::settingsFromDocument(settingsFromControls());
    try {
        return ftpLog().runLogged(this, m_ui, settings,
                                  [&](PublishJob& job) { return job.upload(localPath); });
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
    browser.Protocol = Controls::protocolOf(choiceControl(u"cboFTPProtocol"));
    const auto port = WholeNumber::parse(textControl(u"edtFTPPort")->text());
    if (!port) {
        const quint16 standard =
            defaultPort(Controls::protocolOf(choiceControl(u"cboFTPProtocol")));
        m_ui.showMessage(
            this, QStringLiteral("Port muss eine Zahl sein. Standardport ist %1.").arg(standard));
        textControl(u"edtFTPPort")->setText(QString::number(standard));
        return;
    }
    browser.ServerPort = *port;
    if (runModal(m_runFtpDialog, browser) == QDialog::Accepted)
        textControl(u"edtFTPFolder")->setText(browser.SelectedPath);
}
