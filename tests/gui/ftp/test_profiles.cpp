// The profiles window through the main window: new, edit, delete, take-over,
// and its store, read when the window is made and written when it closes.

#include "FtpGuiFixture.h"
#include "app/Controls.h"
#include "ftp/FtpProfileStore.h"
#include "ftp/uFTPEdit.h"
#include "ftp/uFTPProfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

namespace {

class ProfilesTest : public FtpGuiTest
{
protected:
    QString storePath() const { return FtpProfileStore::defaultPath(); }

    // Opens the profiles window from the main window and runs `script` in
    // it; the window's result is what the script left.
    void openProfiles(const std::function<void(TftpProfiles&)>& script)
    {
        form->setFtpDialogRunner([&](QDialog& dialog) {
            auto& profiles = dynamic_cast<TftpProfiles&>(dialog);
            EXPECT_TRUE(profiles.SelectMode);
            script(profiles);
            return profiles.result();
        });
        trigger("actFTPProfiles");
    }

    // The editor, filled by `fill` and then ended with OK (or Cancel).
    static void editWith(TftpProfiles& profiles, const std::function<void(TfrmFTPEdit&)>& fill,
                         bool ok = true)
    {
        profiles.setEditorRunner([fill, ok](TfrmFTPEdit& editor) {
            fill(editor);
            ok ? editor.btOKClick() : editor.btCancelClick();
            return editor.result();
        });
    }

    static QStringList row(TftpProfiles& profiles, int r)
    {
        auto* list = profiles.findChild<QTableWidget*>(QStringLiteral("lstFTP"));
        QStringList texts;
        for (int c = 0; c < list->columnCount(); ++c)
            texts << (list->item(r, c) ? list->item(r, c)->text() : QString());
        return texts;
    }
    static int rows(TftpProfiles& profiles)
    {
        return profiles.findChild<QTableWidget*>(QStringLiteral("lstFTP"))->rowCount();
    }
};

TfrmFTPEdit& fillProfile(TfrmFTPEdit& e, const QString& name, const QString& server,
                         const QString& port, const QString& user, const QString& password,
                         bool passive)
{
    e.edtProfilName->setText(name);
    e.edtServername->setText(server);
    e.edtPort->setText(port);
    e.edtBenutzername->setText(user);
    e.edtPasswort->setText(password);
    e.chkPassiv->setChecked(passive);
    return e;
}

TEST_F(ProfilesTest, NewEditDeleteAndTakeOver)
{
    form->textControl(u"edtFTPFolder")->setText(QStringLiteral("/bleibt"));
    openProfiles([&](TftpProfiles& p) {
        const QStringList headers = [&] {
            auto* list = p.findChild<QTableWidget*>(QStringLiteral("lstFTP"));
            QStringList h;
            for (int c = 0; c < list->columnCount(); ++c)
                h << list->horizontalHeaderItem(c)->text();
            return h;
        }();
        EXPECT_EQ(headers, QStringList({"Profilname", "Server", "Port", "Benutzername", "Passwort",
                                        "Passivmodus?", "Protokoll"}));
        // Neu starts with port 21 and passive off.
        p.setEditorRunner([](TfrmFTPEdit& e) {
            EXPECT_EQ(e.edtPort->text(), QStringLiteral("21"));
            EXPECT_FALSE(e.chkPassiv->isChecked());
            Controls::setProtocol(e.cboProtokoll, RemoteProtocol::Ftps);
            fillProfile(e, "Heim", "ftp.heim.example", "021", "anna", "a&b<c>\"x", true);
            e.btOKClick();
            return e.result();
        });
        p.actNewExecute();
        editWith(p, [](TfrmFTPEdit& e) {
            fillProfile(e, "Büro", "ftp.buero", "2121", "bob", "", false);
        });
        p.actNewExecute();
        // A cancelled editor adds nothing.
        editWith(
            p, [](TfrmFTPEdit& e) { fillProfile(e, "X", "x", "21", "x", "x", true); }, false);
        p.actNewExecute();
        ASSERT_EQ(rows(p), 2);
        EXPECT_EQ(row(p, 0),
                  QStringList({"Heim", "ftp.heim.example", "021", "anna", "******", "x", "FTPS"}));
        EXPECT_EQ(row(p, 1), QStringList({"Büro", "ftp.buero", "2121", "bob", "", "", "FTP"}));

        // Bearbeiten without a selection does nothing; with one it shows the profile.
        p.actEditExecute();
        p.selectRow(1);
        editWith(p, [](TfrmFTPEdit& e) {
            EXPECT_EQ(e.edtServername->text(), QStringLiteral("ftp.buero"));
            e.edtServername->setText(QStringLiteral("ftp.neu"));
        });
        p.actEditExecute();
        EXPECT_EQ(row(p, 1)[1], QStringLiteral("ftp.neu"));
        EXPECT_EQ(p.selectedIndex(), -1); // the list was refilled
        p.selectRow(1);
        editWith(
            p, [](TfrmFTPEdit& e) { e.edtServername->setText(QStringLiteral("verworfen")); },
            false);
        p.actEditExecute();
        EXPECT_EQ(row(p, 1)[1], QStringLiteral("ftp.neu"));

        // Löschen and Übernehmen need a selection.
        p.RefreshProfileList();
        p.actDeleteExecute();
        p.actOvertakeExecute();
        EXPECT_EQ(
            ui.messages,
            QStringList({"Bitte wählen Sie zuerst das Profil aus, welches Sie löschen wollen.",
                         "Bitte markieren Sie zuerst das Profil, welches Sie übernehmen wollen."}));
        p.selectRow(1);
        p.actDeleteExecute();
        ASSERT_EQ(rows(p), 1);
        p.selectRow(0);
        p.actOvertakeExecute();
    });
    EXPECT_EQ(field("edtFTPServer"), QStringLiteral("ftp.heim.example"));
    EXPECT_EQ(field("edtFTPPort"), QStringLiteral("021"));
    EXPECT_EQ(field("edtFTPUserName"), QStringLiteral("anna"));
    EXPECT_EQ(field("edtFTPPassword"), QStringLiteral("a&b<c>\"x"));
    EXPECT_TRUE(form->checkControl(u"chkFTPPassive")->isChecked());
    EXPECT_EQ(field("edtFTPFolder"), QStringLiteral("/bleibt"));
    EXPECT_EQ(Controls::protocolOf(form->choiceControl(u"cboFTPProtocol")), RemoteProtocol::Ftps);

    // The next window reads what this one wrote.
    openProfiles([&](TftpProfiles& p) {
        ASSERT_EQ(p.ServerList.size(), 1u);
        EXPECT_EQ(p.ServerList[0], (TFtpProfile{"Heim", "ftp.heim.example", "021", "anna",
                                                "a&b<c>\"x", true, RemoteProtocol::Ftps}));
        p.actExitExecute();
    });
    EXPECT_EQ(QFile::permissions(storePath()) & 0x0077, 0); // owner only
}

TEST_F(ProfilesTest, ExitAndDoubleClick)
{
    FtpProfileStore::save({{"A", "a.example", "21", "a", "", false},
                           {"B", "b.example", "22", "b", "pw", true, RemoteProtocol::Sftp}},
                          storePath(), false);
    // Verlassen keeps the main window's fields, even with a row selected.
    form->textControl(u"edtFTPServer")->setText(QStringLiteral("vorher"));
    openProfiles([](TftpProfiles& p) {
        p.selectRow(1);
        p.actExitExecute();
    });
    EXPECT_EQ(field("edtFTPServer"), QStringLiteral("vorher"));
    // A double-click without a row does nothing; on a row it takes it over.
    openProfiles([](TftpProfiles& p) {
        p.lstFTPDblClick();
        EXPECT_EQ(p.result(), QDialog::Rejected);
        p.selectRow(1);
        p.lstFTPDblClick();
    });
    EXPECT_EQ(field("edtFTPServer"), QStringLiteral("b.example"));
    EXPECT_EQ(field("edtFTPPort"), QStringLiteral("22"));
    EXPECT_EQ(Controls::protocolOf(form->choiceControl(u"cboFTPProtocol")), RemoteProtocol::Sftp);
}

// The main window's FTP tab and the profile editor: a port at the other
// protocol's default follows the protocol, any other port stays; the passive
// box is off limits for SFTP.
TEST_F(ProfilesTest, PortAndPassiveFollowTheProtocol)
{
    struct Case
    {
        RemoteProtocol from;
        const char* portBefore;
        RemoteProtocol to;
        const char* portAfter;
    };
    const Case cases[] = {
        {RemoteProtocol::Ftp, "21", RemoteProtocol::Sftp, "22"},
        {RemoteProtocol::Sftp, "22", RemoteProtocol::Ftps, "21"},
        {RemoteProtocol::Ftps, "21", RemoteProtocol::Ftp, "21"},
        {RemoteProtocol::Ftp, "2121", RemoteProtocol::Sftp, "2121"},
        {RemoteProtocol::Sftp, "2222", RemoteProtocol::Ftp, "2222"},
        {RemoteProtocol::Ftp, "22", RemoteProtocol::Sftp, "22"},
    };
    TfrmFTPLog log(nullptr);
    TfrmFTPEdit editor(ui, log, nullptr);
    struct Window
    {
        const char* name;
        QComboBox* protocol;
        QLineEdit* port;
        QCheckBox* passive;
    };
    const Window windows[] = {
        {"main window", form->choiceControl(u"cboFTPProtocol"), form->textControl(u"edtFTPPort"),
         form->checkControl(u"chkFTPPassive")},
        {"profile editor", editor.cboProtokoll, editor.edtPort, editor.chkPassiv},
    };
    for (const Window& w : windows) {
        for (const Case& c : cases) {
            Controls::setProtocol(w.protocol, c.from);
            w.port->setText(QString::fromLatin1(c.portBefore));
            Controls::setProtocol(w.protocol, c.to);
            EXPECT_EQ(w.port->text(), QString::fromLatin1(c.portAfter))
                << w.name << ": " << c.portBefore << " -> " << protocolCode(c.to).toStdString();
            EXPECT_EQ(w.passive->isEnabled(), c.to != RemoteProtocol::Sftp) << w.name;
        }
    }
}

TEST_F(ProfilesTest, DoubleClickEditsWhenNotChoosing)
{
    FtpProfileStore::save({{"A", "a.example", "21", "a", "", false}}, storePath(), false);
    TfrmFTPLog log(nullptr);
    TftpProfiles p(ui, log, storePath(), nullptr);
    EXPECT_FALSE(p.SelectMode);
    p.selectRow(0);
    editWith(p, [](TfrmFTPEdit& e) { e.edtProfilName->setText(QStringLiteral("A2")); });
    p.lstFTPDblClick();
    EXPECT_EQ(p.ServerList[0].profilname, QStringLiteral("A2"));
}

TEST_F(ProfilesTest, HandWrittenStoreReadsAndIsRewrittenOnClose)
{
    QDir().mkpath(QFileInfo(storePath()).path());
    writeAll(storePath(), "<?xml version=\"1.0\"?>\n<daten><profiles>"
                          "<profile><profilename>P</profilename><server>s</server><port>021</port>"
                          "<benutzername>u</benutzername><passwort>&amp;x</passwort>"
                          "<passiv>true</passiv></profile>"
                          "<profile><profilename>Q</profilename></profile>"
                          "</profiles></daten>");
    openProfiles([&](TftpProfiles& p) {
        ASSERT_EQ(p.ServerList.size(), 2u);
        EXPECT_EQ(p.ServerList[0], (TFtpProfile{"P", "s", "021", "u", "&x", true}));
        EXPECT_EQ(p.ServerList[1], (TFtpProfile{"Q", "", "", "", "", false}));
        p.actExitExecute();
    });
    EXPECT_TRUE(ui.errors.isEmpty());
    const QByteArray written = readAll(storePath());
    EXPECT_TRUE(written.contains("<passiv>-1</passiv>")) << written.toStdString();
    EXPECT_TRUE(written.contains("<passwort>&amp;x</passwort>"));
    EXPECT_FALSE(QFile::exists(storePath() + QStringLiteral(".bak")));
}

struct BrokenStore
{
    const char* name;
    QByteArray content;
    size_t readable; // profiles that still load
};

class UnreadableStore : public ProfilesTest, public ::testing::WithParamInterface<BrokenStore>
{
};

TEST_P(UnreadableStore, IsKeptAsBackupBeforeItIsReplaced)
{
    QDir().mkpath(QFileInfo(storePath()).path());
    writeAll(storePath(), GetParam().content);
    openProfiles([&](TftpProfiles& p) {
        EXPECT_EQ(p.ServerList.size(), GetParam().readable);
        EXPECT_EQ(rows(p), int(GetParam().readable));
        p.actExitExecute();
        EXPECT_EQ(p.result(), QDialog::Rejected);
    });
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("\"profiles.xml.bak\"")))
        << ui.errors[0].toStdString();
    EXPECT_EQ(readAll(storePath() + QStringLiteral(".bak")), GetParam().content);
    EXPECT_EQ(FtpProfileStore::load(storePath()).profiles.size(), GetParam().readable);

    // The next window reads a complete store and leaves the backup alone.
    openProfiles([](TftpProfiles& p) { p.actExitExecute(); });
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(readAll(storePath() + QStringLiteral(".bak")), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, UnreadableStore,
    ::testing::Values(
        BrokenStore{"notXml", "<xml><profiles><profile>", 0},
        BrokenStore{
            "badPassiveFlag",
            "<xml><profiles>"
            "<profile><profilename>gut</profilename><passiv>0</passiv></profile>"
            "<profile><profilename>kaputt</profilename><passiv>vielleicht</passiv></profile>"
            "</profiles></xml>",
            1}),
    [](const auto& info) { return std::string(info.param.name); });

// An unreadable store whose backup cannot be made (a folder is in the way;
// as root a mode of 000 does not stop the copy) is left alone, and the
// window still closes, after saying so once.
TEST_F(ProfilesTest, StoreWithoutPossibleBackupIsLeftAloneAndTheWindowCloses)
{
    QDir().mkpath(storePath() + QStringLiteral(".bak/in-the-way"));
    writeAll(storePath(), "<xml><profiles><profile>");
    openProfiles([&](TftpProfiles& p) {
        p.actExitExecute();
        EXPECT_FALSE(p.isVisible());
    });
    ASSERT_EQ(ui.errors.size(), 2) << ui.errors.join('\n').toStdString();
    EXPECT_TRUE(ui.errors[1].contains(QStringLiteral("nicht gespeichert")));
    EXPECT_EQ(readAll(storePath()), QByteArray("<xml><profiles><profile>"));
}

TEST_F(ProfilesTest, StoreThatCannotBeWrittenKeepsTheWindowOpen)
{
    // A file where the store's folder should be: nothing to read (an empty
    // store, so no backup is due), and the store cannot be written.
    const QString folder = QFileInfo(storePath()).path();
    QDir(folder).removeRecursively();
    QDir().mkpath(QFileInfo(folder).path());
    writeAll(folder, "kein Ordner");
    TfrmFTPLog log(nullptr);
    TftpProfiles p(ui, log, storePath(), nullptr);
    p.show();
    const qsizetype before = ui.errors.size();
    p.actExitExecute();
    EXPECT_EQ(ui.errors.size(), before + 1);
    EXPECT_TRUE(p.isVisible());
    QFile::remove(folder);
    QDir().mkpath(folder);
    p.actExitExecute();
    EXPECT_FALSE(p.isVisible());
}

} // namespace
