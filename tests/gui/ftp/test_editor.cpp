// The profile editor: its checks in order, how it closes, and the
// connection test's lines in the shared log window.

#include "FtpGuiFixture.h"
#include "ftp/uFTPEdit.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

using namespace ftpact;

namespace {

class EditorTest : public ::testing::Test
{
protected:
    void TearDown() override { FtpWorker::setCancelBoxDelay(400); }

    void fill(const QString& name, const QString& server, const QString& port, const QString& user)
    {
        editor.edtProfilName->setText(name);
        editor.edtServername->setText(server);
        editor.edtPort->setText(port);
        editor.edtBenutzername->setText(user);
    }

    FakeInteraction ui;
    TfrmFTPLog log{nullptr};
    TfrmFTPEdit editor{ui, log, nullptr};
};

struct CheckCase
{
    const char* label; // the test's name
    const char* name;
    const char* server;
    const char* port;
    const char* user;
    const char* message; // nullptr: accepted
    const char* focused;
};

class EditorChecks : public EditorTest, public ::testing::WithParamInterface<CheckCase>
{
};

TEST_P(EditorChecks, StopAtTheFirstFaultWithFocusOnIt)
{
    const CheckCase& c = GetParam();
    editor.show();
    fill(c.name, c.server, c.port, c.user);
    editor.btOKClick();
    if (!c.message) {
        EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join('\n').toStdString();
        EXPECT_EQ(editor.result(), QDialog::Accepted);
        return;
    }
    EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
    ASSERT_TRUE(editor.focusWidget());
    EXPECT_EQ(editor.focusWidget()->objectName(), QString::fromLatin1(c.focused));
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.edtPort->text(), QString::fromUtf8(c.port)); // left as typed
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EditorChecks,
    ::testing::Values(CheckCase{"noProfileName", "", "", "", "",
                                "Bitte einen Profilnamen eingeben.", "edtProfilName"},
                      CheckCase{"noServerName", "P", "", "x", "",
                                "Bitte einen Servernamen eingeben.", "edtServername"},
                      CheckCase{"noUserName", "P", "s", "x", "",
                                "Bitte einen Benutzernamen eingeben.", "edtBenutzername"},
                      CheckCase{"portWithLetters", "P", "s", "2x", "u",
                                "Im Feld Port bitte nur ganze Zahlen eingeben.", "edtPort"},
                      CheckCase{"portWithTrailingBlank", "P", "s", "21 ", "u",
                                "Im Feld Port bitte nur ganze Zahlen eingeben.", "edtPort"},
                      CheckCase{"portEmpty", "P", "s", "", "u",
                                "Im Feld Port bitte nur ganze Zahlen eingeben.", "edtPort"},
                      CheckCase{"portWithLeadingBlankIsTaken", "P", "s", " 21", "u", nullptr,
                                nullptr},
                      CheckCase{"portInHexIsTaken", "P", "s", "$15", "u", nullptr, nullptr},
                      // Blanks are content; the password may be empty.
                      CheckCase{"blanksAreContent", " ", " ", "21", " ", nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(EditorTest, CloseBoxCancelsWithoutAQuestion)
{
    fill("P", "s", "21", "u");
    editor.show();
    editor.close();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(EditorTest, SessionEndAsksWhetherToTakeTheSettings)
{
    struct Case
    {
        UserInteraction::Answer answer;
        const char* port;
        int result;
    };
    for (const Case& c : {Case{UserInteraction::Answer::Yes, "21", QDialog::Accepted},
                          Case{UserInteraction::Answer::Yes, "2x", QDialog::Rejected},
                          Case{UserInteraction::Answer::No, "21", QDialog::Rejected}}) {
        FakeInteraction answers;
        TfrmFTPEdit dialog(answers, log, nullptr);
        dialog.edtProfilName->setText("P");
        dialog.edtServername->setText("s");
        dialog.edtBenutzername->setText("u");
        dialog.edtPort->setText(QString::fromLatin1(c.port));
        answers.answers.push_back(c.answer);
        dialog.show();
        dialog.FormCloseQuery();
        ASSERT_EQ(answers.questions.size(), 1u);
        EXPECT_EQ(answers.questions[0].text,
                  QStringLiteral("Sollen die Einstellungen übernommen werden?"));
        EXPECT_FALSE(answers.questions[0].withCancel);
        EXPECT_EQ(dialog.result(), c.result) << c.port;
        EXPECT_FALSE(dialog.isVisible()); // never refused
    }
}

const QStringList kTestLogin = {"Versuche Verbindung aufzunehmen...", "Username: anna",
                                "Passwort: ********"};

TEST_F(EditorTest, ConnectionTestAgainstPyftpdlib)
{
    QTemporaryDir home;
    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startPyftpdlib(home.path(), "anna", "geheim", &failure))
        << failure.toStdString();
    fill("", "127.0.0.1", QString::number(server.port()), "anna"); // no profile name needed
    editor.edtPasswort->setText("geheim");
    editor.btTestClick();
    EXPECT_TRUE(ui.messages.isEmpty() && ui.errors.isEmpty());
    EXPECT_EQ(log.lines(), kTestLogin + QStringList{"Verbindung erfolgreich hergestellt!"});
    EXPECT_TRUE(log.isVisible());
    EXPECT_EQ(editor.edtProfilName->text(), QString()); // fields unchanged
}

TEST_F(EditorTest, ConnectionTestRefusedLogin)
{
    ScriptedFtpServer server;
    server.on("PASS", {reply("530 Login incorrect.\r\n")});
    server.start();
    fill("P", "127.0.0.1", QString::number(server.port()), "anna");
    editor.btTestClick();
    EXPECT_TRUE(ui.messages.isEmpty() && ui.errors.isEmpty());
    const QStringList expected =
        kTestLogin + QStringList{"",
                                 "Fehler bei FTP-Übertragung.",
                                 "",
                                 "Bitte überprüfen Sie Benutzername/Passwort",
                                 "",
                                 "Fehlermeldung des Servers:",
                                 "Login incorrect."};
    EXPECT_EQ(log.lines(), expected);
}

TEST_F(EditorTest, ConnectionTestFieldMessagesAfterThreeLines)
{
    struct Case
    {
        const char* server;
        const char* port;
        const char* message;
    };
    for (const Case& c :
         {Case{"", "21", "Bitte geben Sie einen gültigen Servernamen an."},
          Case{"127.0.0.1", "x", "Bitte einen numerischen Wert im Feld Port eintragen!"}}) {
        ui.messages.clear();
        fill("P", QString::fromLatin1(c.server), QString::fromLatin1(c.port), "anna");
        editor.btTestClick();
        EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
        EXPECT_TRUE(ui.errors.isEmpty());
        EXPECT_EQ(log.lines(), kTestLogin);
    }
}

TEST_F(EditorTest, CancelledConnectionTestSaysSo)
{
    ScriptedFtpServer server;
    server.on("USER", {}); // never answers
    server.start();
    fill("P", "127.0.0.1", QString::number(server.port()), "anna");
    cancelWhenBoxShows();
    editor.btTestClick();
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(log.lines(), kTestLogin + QStringList{"Vorgang abgebrochen."});
}

// Records whether a window is blocked by a modal dialog.
class BlockWatcher : public QObject
{
public:
    bool blocked = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::WindowBlocked)
            blocked = true;
        else if (event->type() == QEvent::WindowUnblocked)
            blocked = false;
        return false;
    }
};

// The editor is modal to the profiles window, which is modal to the main
// window; the log of a connection test must still take clicks (its
// "Schließen") while the editor is open.
TEST(FtpLogWindow, StaysUsableBesideDialogsModalToItsOwner)
{
    auto* owner = new QWidget;
    owner->show();
    QPointer<TfrmFTPLog> log = new TfrmFTPLog(owner);
    BlockWatcher watcher;
    log->installEventFilter(&watcher);
    {
        QDialog profiles(owner);
        profiles.setWindowModality(Qt::WindowModal);
        profiles.show();
        QDialog editor(&profiles);
        editor.setWindowModality(Qt::WindowModal);
        editor.show();
        log->showLog();
        QCoreApplication::processEvents();
        EXPECT_FALSE(watcher.blocked);
    }
    // It goes with its owner.
    delete owner;
    EXPECT_TRUE(log.isNull());
}

} // namespace
