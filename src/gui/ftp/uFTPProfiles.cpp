#include "uFTPProfiles.h"

#include "app/Controls.h"
#include "app/UserInteraction.h"
#include "platform/Error.h"
#include "uFTPEdit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

struct Column
{
    const char* caption;
    int width;
};

// A port is a few digits and a protocol code a word; with narrow columns for
// them all seven columns fit the window's width.
const Column kColumns[] = {
    {"Profilname", 120}, {"Server", 120},      {"Port", 50},      {"Benutzername", 120},
    {"Passwort", 100},   {"Passivmodus?", 90}, {"Protokoll", 70},
};

QStringList rowTexts(const TFtpProfile& p)
{
    return {p.profilname,
            p.server,
            p.port,
            p.benutzername,
            p.passwort.isEmpty() ? QString() : QStringLiteral("******"),
            p.passiv ? QStringLiteral("x") : QString(),
            protocolCode(p.protokoll)};
}

} // namespace

TftpProfiles::TftpProfiles(UserInteraction& ui, TfrmFTPLog& log, const QString& storePath,
                           QWidget* owner)
    : QDialog(owner), m_ui(ui), m_log(log), m_storePath(storePath)
{
    setObjectName(QStringLiteral("ftpProfiles"));
    setWindowTitle(QStringLiteral("FTP-Profile"));
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::WindowModal);
    m_runEditor = [](TfrmFTPEdit& editor) { return editor.exec(); };

    auto makeAction = [this](const char* name, const QString& caption, QStyle::StandardPixmap icon,
                             void (TftpProfiles::*handler)()) {
        return commandAction(this, m_ui, name, caption, style()->standardIcon(icon),
                             [this, handler] { (this->*handler)(); });
    };
    QAction* actNew = makeAction("actNew", QStringLiteral("Neu"), QStyle::SP_FileIcon,
                                 &TftpProfiles::actNewExecute);
    QAction* actEdit = makeAction("actEdit", QStringLiteral("Bearbeiten"),
                                  QStyle::SP_FileDialogDetailedView, &TftpProfiles::actEditExecute);
    QAction* actDelete = makeAction("actDelete", QStringLiteral("Löschen"), QStyle::SP_TrashIcon,
                                    &TftpProfiles::actDeleteExecute);
    QAction* actOvertake =
        makeAction("actOvertake", QStringLiteral("Übernehmen"), QStyle::SP_DialogApplyButton,
                   &TftpProfiles::actOvertakeExecute);
    QAction* actExit = makeAction("actExit", QStringLiteral("Verlassen"),
                                  QStyle::SP_DialogCloseButton, &TftpProfiles::actExitExecute);

    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(QStringLiteral("&Datei"));
    file->addActions({actNew, actEdit, actDelete});
    file->addSeparator();
    file->addAction(actExit);

    auto* toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->addActions({actNew, actEdit, actDelete});
    toolBar->addSeparator();
    toolBar->addAction(actOvertake);
    toolBar->addSeparator();
    toolBar->addAction(actExit);
    for (QAction* action : toolBar->actions())
        if (QWidget* w = toolBar->widgetForAction(action); w && !action->isSeparator())
            w->setMinimumSize(68, 36);

    lstFTP = new QTableWidget(0, int(std::size(kColumns)), this);
    lstFTP->setObjectName(QStringLiteral("lstFTP"));
    lstFTP->setShowGrid(true);
    lstFTP->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstFTP->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFTP->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstFTP->setSortingEnabled(false);
    lstFTP->verticalHeader()->hide();
    lstFTP->horizontalHeader()->setSectionsClickable(false);
    lstFTP->horizontalHeader()->setHighlightSections(false);
    lstFTP->setWordWrap(false);
    for (int c = 0; c < int(std::size(kColumns)); ++c) {
        lstFTP->setHorizontalHeaderItem(
            c, new QTableWidgetItem(QString::fromUtf8(kColumns[c].caption)));
        lstFTP->setColumnWidth(c, kColumns[c].width);
    }
    connect(lstFTP, &QTableWidget::itemDoubleClicked, this,
            [this] { runCommand(m_ui, this, [this] { lstFTPDblClick(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(toolBar);
    layout->addWidget(lstFTP, 1);
    resize(720, 408 + menuBar->sizeHint().height());

    FormCreate();
}

void TftpProfiles::FormCreate()
{
    SelectMode = false;
    FtpProfileStore::LoadResult result = FtpProfileStore::load(m_storePath);
    ServerList = std::move(result.profiles);
    m_storeIncomplete = !result.complete();
    RefreshProfileList();
    if (m_storeIncomplete)
        m_ui.showError(parentWidget(),
                       QStringLiteral("Die FTP-Profile konnten nicht vollständig gelesen werden:\n"
                                      "%1\n\nDie bisherige Datei wird beim Schließen des Fensters "
                                      "als \"profiles.xml.bak\" aufbewahrt.")
                           .arg(result.error));
}

bool TftpProfiles::FormClose()
{
    try {
        FtpProfileStore::save(ServerList, m_storePath, m_storeIncomplete);
    } catch (const FtpProfileStore::EBackupFailed& e) {
        // The unreadable store is left alone, and the window closes all the
        // same: the backup would fail on every later try too. Said once.
        m_ui.showError(this,
                       withFullStop(e.message()) +
                           QStringLiteral(" Die FTP-Profile wurden daher nicht gespeichert."));
        m_storeIncomplete = false;
        return true;
    } catch (const Error& e) {
        m_ui.showError(this, withFullStop(e.message()));
        return false;
    }
    // The backup holds the unreadable original now; a second close must not
    // replace it with what this window wrote.
    m_storeIncomplete = false;
    return true;
}

void TftpProfiles::done(int result)
{
    if (!FormClose())
        return;
    QDialog::done(result);
}

void TftpProfiles::RefreshProfileList()
{
    lstFTP->clearSelection();
    lstFTP->setRowCount(0);
    lstFTP->setRowCount(int(ServerList.size()));
    for (int row = 0; row < int(ServerList.size()); ++row) {
        const QStringList texts = rowTexts(ServerList[size_t(row)]);
        for (int c = 0; c < texts.size(); ++c)
            lstFTP->setItem(row, c, new QTableWidgetItem(texts[c]));
    }
    lstFTP->setCurrentCell(-1, -1);
}

int TftpProfiles::selectedIndex() const
{
    const QList<QTableWidgetSelectionRange> ranges = lstFTP->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void TftpProfiles::selectRow(int row)
{
    lstFTP->selectRow(row);
}

bool TftpProfiles::editProfile(TFtpProfile& profile)
{
    TfrmFTPEdit editor(m_ui, m_log, this);
    // The protocol first: its change must not move the profile's port.
    Controls::setProtocol(editor.cboProtokoll, profile.protokoll);
    editor.edtProfilName->setText(profile.profilname);
    editor.edtServername->setText(profile.server);
    editor.edtPort->setText(profile.port);
    editor.edtBenutzername->setText(profile.benutzername);
    editor.edtPasswort->setText(profile.passwort);
    editor.chkPassiv->setChecked(profile.passiv);
    if (m_runEditor(editor) != QDialog::Accepted)
        return false;
    profile.profilname = editor.edtProfilName->text();
    profile.server = editor.edtServername->text();
    profile.port = editor.edtPort->text();
    profile.benutzername = editor.edtBenutzername->text();
    profile.passwort = editor.edtPasswort->text();
    profile.passiv = editor.chkPassiv->isChecked();
    profile.protokoll = Controls::protocolOf(editor.cboProtokoll);
    return true;
}

void TftpProfiles::actNewExecute()
{
    TFtpProfile profile;
    profile.port = QStringLiteral("21");
    if (!editProfile(profile))
        return;
    ServerList.push_back(std::move(profile));
    RefreshProfileList();
}

void TftpProfiles::actEditExecute()
{
    const int index = selectedIndex();
    if (index < 0)
        return;
    TFtpProfile changed = ServerList[size_t(index)];
    if (!editProfile(changed))
        return;
    ServerList[size_t(index)] = std::move(changed);
    RefreshProfileList();
}

void TftpProfiles::actDeleteExecute()
{
    const int index = selectedIndex();
    if (index < 0) {
        m_ui.showMessage(
            this,
            QStringLiteral("Bitte wählen Sie zuerst das Profil aus, welches Sie löschen wollen."));
        return;
    }
    ServerList.erase(ServerList.begin() + index);
    RefreshProfileList();
}

void TftpProfiles::actOvertakeExecute()
{
    if (selectedIndex() < 0) {
        m_ui.showMessage(
            this, QStringLiteral(
                      "Bitte markieren Sie zuerst das Profil, welches Sie übernehmen wollen."));
        return;
    }
    accept();
}

void TftpProfiles::actExitExecute()
{
    reject();
}

void TftpProfiles::lstFTPDblClick()
{
    if (!SelectMode)
        actEditExecute();
    else if (selectedIndex() >= 0)
        accept();
}
