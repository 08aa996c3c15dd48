// The folder browser: connect, list, walk, take over, its status list and
// how it fails.

#include "FtpGuiFixture.h"
#include "app/Controls.h"
#include "ftp/uFTPBrowser.h"
#include "support/SshServerProcess.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

using namespace ftpact;

namespace {

class BrowserTest : public FtpGuiTest
{
protected:
    // Opens the browser from the main window and runs `script` in it.
    void browse(const std::function<void(TfrmFTPBrowser&)>& script)
    {
        form->setFtpDialogRunner([&](QDialog& dialog) {
            auto& browser = dynamic_cast<TfrmFTPBrowser&>(dialog);
            browser.show();
            script(browser);
            return browser.result();
        });
        form->btFTPBrowseClick();
    }

    static QString path(TfrmFTPBrowser& b)
    {
        return b.findChild<QLineEdit*>(QStringLiteral("edtVerzeichnis"))->text();
    }
    static QTreeWidget* list(TfrmFTPBrowser& b)
    {
        return b.findChild<QTreeWidget*>(QStringLiteral("lstDirectory"));
    }
    static QTreeWidgetItem* row(TfrmFTPBrowser& b, const QString& name)
    {
        const auto found = list(b)->findItems(name, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }
    static QStringList names(TfrmFTPBrowser& b)
    {
        QStringList n;
        for (int i = 0; i < list(b)->topLevelItemCount(); ++i)
            n << list(b)->topLevelItem(i)->text(0);
        n.sort();
        return n;
    }
    static void select(TfrmFTPBrowser& b, const QString& name)
    {
        QTreeWidgetItem* item = row(b, name);
        ASSERT_TRUE(item) << name.toStdString();
        list(b)->setCurrentItem(item);
    }
    static void key(TfrmFTPBrowser& b, int k)
    {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(list(b), &press);
    }
    static QStringList status(TfrmFTPBrowser& b)
    {
        auto* l = b.findChild<QListWidget*>(QStringLiteral("lstStatus"));
        QStringList items;
        for (int i = 0; i < l->count(); ++i)
            items << l->item(i)->text();
        return items;
    }
    static bool canConnect(TfrmFTPBrowser& b)
    {
        return b.findChild<QAction*>(QStringLiteral("actConnect"))->isEnabled();
    }
};

class BrowsePyftpdlib : public BrowserTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(BrowsePyftpdlib, WalksFoldersAndTakesOverATypedPath)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("sub/inner")));
    writeAll(home.filePath(QStringLiteral("readme.txt")), "hello\n");
    const QDateTime modified(QDate(2010, 12, 24), QTime(13, 45, 0), Qt::UTC);
    {
        QFile f(home.filePath(QStringLiteral("readme.txt")));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    FtpServerProcess server;
    startPyftpdlib(server, home.path());
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("geheim"), QStringLiteral("/alt"),
                 GetParam());

    browse([&](TfrmFTPBrowser& b) {
        EXPECT_EQ(path(b), QString());
        b.actConnectExecute();
        ASSERT_TRUE(b.isConnected()) << ui.errors.join('\n').toStdString();
        EXPECT_FALSE(canConnect(b));
        EXPECT_EQ(path(b), QStringLiteral("/"));
        // "." and ".." are listed as folders, first.
        EXPECT_EQ(names(b), QStringList({".", "..", "readme.txt", "sub"}));
        EXPECT_EQ(list(b)->topLevelItem(0)->text(0), QStringLiteral("."));
        EXPECT_EQ(list(b)->topLevelItem(1)->text(0), QStringLiteral(".."));
        EXPECT_EQ(row(b, "..")->text(3), QStringLiteral("<DIR>"));
        const QTreeWidgetItem* sub = row(b, "sub");
        const QTreeWidgetItem* file = row(b, "readme.txt");
        EXPECT_EQ(sub->text(1), QString());
        EXPECT_EQ(sub->text(3), QStringLiteral("<DIR>"));
        EXPECT_EQ(file->text(1), QStringLiteral("6"));
        EXPECT_EQ(file->text(3), QString());
        const QDateTime local = modified.toLocalTime();
        EXPECT_EQ(file->text(2), RegionalSettings::current().formatDate(local.date()) +
                                     QStringLiteral("     ") +
                                     RegionalSettings::current().formatTime(local.time()));
        EXPECT_FALSE(sub->icon(0).isNull());
        EXPECT_NE(sub->icon(0).cacheKey(), file->icon(0).cacheKey());

        // A file row does nothing; Enter and a double-click open folders.
        select(b, "readme.txt");
        b.lstDirectoryDblClick();
        EXPECT_EQ(path(b), QStringLiteral("/"));
        select(b, "sub");
        key(b, Qt::Key_Return);
        EXPECT_EQ(path(b), QStringLiteral("/sub"));
        EXPECT_EQ(names(b), QStringList({".", "..", "inner"}));
        select(b, "inner");
        b.lstDirectoryDblClick();
        EXPECT_EQ(path(b), QStringLiteral("/sub/inner"));
        key(b, Qt::Key_F5);
        EXPECT_EQ(path(b), QStringLiteral("/sub/inner"));
        b.actFolderUpExecute();
        EXPECT_EQ(path(b), QStringLiteral("/sub"));
        select(b, ".");
        b.lstDirectoryDblClick();
        EXPECT_EQ(path(b), QStringLiteral("/sub"));
        select(b, "..");
        b.lstDirectoryDblClick();
        EXPECT_EQ(path(b), QStringLiteral("/"));

        // The take-over copies what the path field holds, after the question.
        b.findChild<QLineEdit*>(QStringLiteral("edtVerzeichnis"))
            ->setText(QStringLiteral("/von/hand"));
        ui.answers = {UserInteraction::Answer::No, UserInteraction::Answer::Yes};
        b.actOvertakeExecute();
        EXPECT_TRUE(b.isVisible());
        b.actOvertakeExecute();
        EXPECT_EQ(b.result(), QDialog::Accepted);
        ASSERT_EQ(ui.questions.size(), 2u);
        EXPECT_EQ(
            ui.questions[0].text,
            QStringLiteral("Soll der Pfad \"/von/hand\" in das Hauptfenster übernommen werden?"));
        EXPECT_FALSE(b.isConnected()); // closing ends the connection

        const QStringList lines = status(b);
        EXPECT_TRUE(lines.contains(QStringLiteral(">> USER anna")));
        EXPECT_TRUE(lines.contains(QStringLiteral(">> PASS *********"))); // masked by the session
        EXPECT_FALSE(lines.join('\n').contains(QStringLiteral("geheim")));
        EXPECT_TRUE(lines.contains(QStringLiteral("Connected.")));
        EXPECT_TRUE(lines.contains(QStringLiteral(">> QUIT")));
    });
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(field("edtFTPFolder"), QStringLiteral("/von/hand"));
}

INSTANTIATE_TEST_SUITE_P(Modes, BrowsePyftpdlib, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "passive" : "active"; });

// An SFTP server: the host key question comes first ("Nein" sends no
// password, "Ja" connects), then the same walk through the folders.
TEST_F(BrowserTest, WalksAnSftpServerAfterTheHostKeyQuestion)
{
    QTemporaryDir root, work;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("sub/inner")));
    writeAll(root.filePath(QStringLiteral("readme.txt")), "hello\n");
    SshServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startAsyncssh(root.path(), QStringLiteral("anna"), QStringLiteral("geheim"),
                                     work.path(), &failure))
        << failure.toStdString();
    Controls::setProtocol(form->choiceControl(u"cboFTPProtocol"), RemoteProtocol::Sftp);
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("geheim"));
    ui.trustAnswers = {false, true};

    browse([&](TfrmFTPBrowser& b) {
        b.actConnectExecute();
        EXPECT_FALSE(b.isConnected());
        EXPECT_EQ(ui.errors.size(), 1);
        EXPECT_FALSE(server.output().contains(QStringLiteral("auth "))) << "a login was tried";
        ui.errors.clear();

        b.actConnectExecute();
        ASSERT_TRUE(b.isConnected()) << ui.errors.join('\n').toStdString();
        EXPECT_EQ(path(b), QStringLiteral("/"));
        EXPECT_EQ(names(b), QStringList({".", "..", "readme.txt", "sub"}));
        EXPECT_EQ(row(b, "readme.txt")->text(1), QStringLiteral("6"));
        EXPECT_EQ(row(b, "sub")->text(3), QStringLiteral("<DIR>"));
        select(b, "sub");
        key(b, Qt::Key_Return);
        EXPECT_EQ(path(b), QStringLiteral("/sub"));
        EXPECT_EQ(names(b), QStringList({".", "..", "inner"}));
        select(b, "..");
        b.lstDirectoryDblClick();
        EXPECT_EQ(path(b), QStringLiteral("/"));

        const QStringList lines = status(b);
        EXPECT_TRUE(lines.contains(QStringLiteral(">> login anna (Passwort)")));
        EXPECT_TRUE(lines.contains(QStringLiteral(">> ls /sub")));
        EXPECT_FALSE(lines.join('\n').contains(QStringLiteral("geheim")));
        b.actExitExecute();
    });
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    ASSERT_EQ(ui.trustQuestions.size(), 2u);
    EXPECT_EQ(ui.trustQuestions[0].kind, TrustQuestion::Kind::HostKey);
    EXPECT_EQ(ui.trustQuestions[0].fingerprint, server.fingerprint());
}

TEST_F(BrowserTest, RefusedFolderDisconnectsAndAllowsANewConnection)
{
    ScriptedFtpServer server;
    server.on("CWD gibtsnicht", {reply("550 Kein solches Verzeichnis\r\n")});
    server.start();
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("pw"));
    browse([&](TfrmFTPBrowser& b) {
        b.actConnectExecute();
        ASSERT_TRUE(b.isConnected());
        b.ChangeFolder(QStringLiteral("gibtsnicht"));
        EXPECT_EQ(ui.errors,
                  QStringList{"Die Verbindung wurde unterbrochen, bitte verbinden Sie neu."});
        EXPECT_EQ(path(b), QStringLiteral("/"));
        EXPECT_EQ(list(b)->topLevelItemCount(), 0);
        EXPECT_TRUE(canConnect(b));
        EXPECT_FALSE(b.isConnected());
        // Navigation does nothing now; the take-over says why.
        b.actFolderUpExecute();
        b.actOvertakeExecute();
        EXPECT_EQ(ui.messages, QStringList{"Sie sind nicht verbunden, verbinden Sie sich mit dem "
                                           "Server und wählen Sie dann den Ordner aus."});
        b.actConnectExecute();
        EXPECT_TRUE(b.isConnected());
        b.actExitExecute();
    });
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(field("edtFTPFolder"), QString());
}

TEST_F(BrowserTest, ConnectFailures)
{
    ScriptedFtpServer server;
    server.on("PASS", {reply("530 Login incorrect.\r\n")});
    server.start();
    for (const QString& host : {QString(), QStringLiteral("127.0.0.1")}) {
        ui.errors.clear();
        setFtpFields(host, QString::number(server.port()), QStringLiteral("anna"),
                     QStringLiteral("pw"));
        browse([&](TfrmFTPBrowser& b) {
            b.actConnectExecute();
            EXPECT_EQ(ui.errors, QStringList{"Fehler beim Verbinden, bitte prüfen Sie die "
                                             "Zugangsdaten im Hauptfenster."});
            EXPECT_TRUE(canConnect(b));
            EXPECT_FALSE(b.isConnected());
            if (host.isEmpty())
                EXPECT_TRUE(status(b).isEmpty()); // no network activity
            else
                EXPECT_EQ(status(b).back(), QStringLiteral("<< 530 Login incorrect."));
            b.actExitExecute();
        });
    }
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(BrowserTest, PortThatIsNoNumberOpensNoBrowser)
{
    setFtpFields(QStringLiteral("127.0.0.1"), QStringLiteral("abc"), QStringLiteral("anna"),
                 QString());
    browse([](TfrmFTPBrowser&) { ADD_FAILURE() << "browser shown"; });
    EXPECT_EQ(ui.messages, QStringList{"Port muss eine Zahl sein. Standardport ist 21."});
    EXPECT_EQ(field("edtFTPPort"), QStringLiteral("21"));
}

TEST_F(BrowserTest, CancelEndsAHangingListing)
{
    ScriptedFtpServer server;
    server.on("LIST", {}); // never answers
    server.start();
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("pw"));
    browse([&](TfrmFTPBrowser& b) {
        cancelWhenBoxShows([&server] {
            const QStringList sent = server.transcript();
            return !sent.isEmpty() && sent.back().startsWith(QStringLiteral("LIST"));
        });
        b.actConnectExecute();
        EXPECT_TRUE(ui.errors.isEmpty());
        EXPECT_TRUE(status(b).contains(QStringLiteral("Vorgang abgebrochen.")));
        EXPECT_FALSE(b.isConnected());
        EXPECT_TRUE(canConnect(b));
        EXPECT_EQ(path(b), QStringLiteral("/"));
        b.actExitExecute();
    });
}

// --- The status list ---------------------------------------------------------

TEST(BrowserStatus, WireChunksBecomeOneItemPerLine)
{
    FakeInteraction ui;
    TfrmFTPBrowser b(ui, nullptr);
    b.AddWireLines("<< ", "220-Willkommen\r\n220 Bereit\r\n");
    b.AddWireLines("<< ", "331 Pass"); // a chunk ending inside a line
    b.AddWireLines("<< ", "wort bitte\r\n");
    b.AddWireLines(">> ", "A\rB\n\r\n"); // a bare CR ends a line; a LF not after CR stays
    b.AddWireLines(">> ", "");
    const QStringList expected = {"<< 220-Willkommen", "<< 220 Bereit", "<< 331 Pass",
                                  "<< wort bitte",     ">> A",          ">> B\n"};
    auto* l = b.findChild<QListWidget*>(QStringLiteral("lstStatus"));
    QStringList items;
    for (int i = 0; i < l->count(); ++i)
        items << l->item(i)->text();
    EXPECT_EQ(items, expected);
    EXPECT_EQ(l->currentRow(), l->count() - 1); // the newest line is selected
}

TEST(BrowserStatus, LookOfALine)
{
    QPalette palette;
    palette.setColor(QPalette::Text, QColor(1, 2, 3));
    palette.setColor(QPalette::Base, QColor(250, 250, 250));
    struct Case
    {
        const char* text;
        bool selected;
        QColor background, foreground;
        const char* shown;
    };
    const QColor red(255, 0, 0), blue(0, 0, 255), normal(1, 2, 3), base(250, 250, 250);
    const Case cases[] = {
        {">> USER anna", false, base, red, ">> USER anna"},
        {"<< 230 Ok", false, base, blue, "<< 230 Ok"},
        {"<< echo >>", false, base, blue, "<< echo >>"}, // blue wins
        {"Connected.", false, base, normal, "Connected."},
        {">> PASS ein-langes-geheimnis", false, base, red, ">> PASS *********"},
        {">> PASS x", true, QColor(0, 110, 155), Qt::white, ">> PASS *********"},
        {"Connected.", true, QColor(0, 110, 155), Qt::white, "Connected."},
    };
    for (const Case& c : cases) {
        const auto look =
            TfrmFTPBrowser::statusLook(QString::fromUtf8(c.text), c.selected, palette);
        EXPECT_EQ(look.background, c.background) << c.text;
        EXPECT_EQ(look.text, c.foreground) << c.text;
        EXPECT_EQ(look.shownText, QString::fromUtf8(c.shown)) << c.text;
    }
}

TEST(BrowserStatus, NewestLineIsDrawnOnTheSelectionColour)
{
    FakeInteraction ui;
    TfrmFTPBrowser b(ui, nullptr);
    b.show();
    b.AddWireLines(">> ", "PASS geheim\r\n");
    b.AddWireLines("<< ", "230 Ok\r\n");
    auto* l = b.findChild<QListWidget*>(QStringLiteral("lstStatus"));
    QApplication::processEvents();
    const QImage image = l->viewport()->grab().toImage();
    const QRect newest = l->visualItemRect(l->item(1));
    const QRect first = l->visualItemRect(l->item(0));
    EXPECT_EQ(newest.height(), 14);
    EXPECT_EQ(QColor(image.pixel(newest.right() - 2, newest.center().y())), QColor(0, 110, 155));
    // The PASS line: red text on the window colour, and no longer than the mask.
    bool red = false;
    for (int x = 0; x < image.width() && !red; ++x)
        for (int y = first.top(); y <= first.bottom() && !red; ++y)
            red = QColor(image.pixel(x, y)) == QColor(255, 0, 0);
    EXPECT_TRUE(red);
    EXPECT_EQ(QColor(image.pixel(first.right() - 2, first.center().y())),
              l->palette().color(QPalette::Base));
}

} // namespace
