#include "app/LogoCheck.h"
#include "app/uEntryDlg.h"
#include "ftp/uFTPEdit.h"
#include "gui/ftp/FtpGuiFixture.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>
#include <QTimer>

// How the windows behave towards a person: where the focus starts, what
// Escape does, which window stays in front, and that the program ends.
namespace {

void pressEscape(QWidget* dialog)
{
    QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

using WindowsTest = FtpGuiTest;
using Answer = UserInteraction::Answer;

TEST_F(WindowsTest, EntryDialogStartsInTheTitleAndEscapeCancels)
{
    TfrmEntry dialog(form.get(), ui, &fixedNow);
    dialog.show();
    QWidget* title = dialog.findChild<QWidget*>(QStringLiteral("edtTitel"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(dialog.focusWidget(), title);

    pressEscape(&dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(WindowsTest, ProfileEditorEscapeCancelsWithoutAQuestion)
{
    TfrmFTPEdit editor(ui, form->ftpLog(), form.get());
    editor.show();
    pressEscape(&editor);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_TRUE(ui.questions.empty());
}

// The log belongs to the main window (kept above it by the window manager);
// while a dialog is modal to the main window it is kept above that dialog,
// and goes back to the main window, still shown, when the dialog closes.
TEST_F(WindowsTest, LogIsKeptAboveItsOwnerOrTheDialogModalToIt)
{
    form->show();
    TfrmFTPLog& log = form->ftpLog();
    log.showLog();
    EXPECT_EQ(log.parentWidget(), form.get());
    EXPECT_TRUE(log.isWindow());
    EXPECT_TRUE(log.isVisible());
    {
        QDialog editor(form.get());
        editor.setWindowModality(Qt::WindowModal);
        editor.show();
        log.showLog();
        EXPECT_EQ(log.parentWidget(), &editor);
        EXPECT_TRUE(log.isVisible());
        editor.hide();
        EXPECT_EQ(log.parentWidget(), form.get());
        EXPECT_TRUE(log.isVisible());
    }
    log.hide();
    form->hide();
}

// A run that fails shows its lines in the log, which is brought up again
// once the cancel box has gone.
TEST_F(WindowsTest, FailedUploadBringsUpTheLog)
{
    form->show();
    setFtpFields(QStringLiteral("127.0.0.1"), QStringLiteral("1"), QStringLiteral("u"),
                 QStringLiteral("p"));
    form->textControl(u"edtFileNameRSS")->setText(QStringLiteral("rss.xml"));
    trigger("actUpload");
    TfrmFTPLog& log = form->ftpLog();
    EXPECT_TRUE(log.isVisible());
    EXPECT_EQ(log.parentWidget(), form.get());
    EXPECT_FALSE(log.lines().isEmpty());
    log.hide();
    form->hide();
}

TEST_F(WindowsTest, ClosingTheMainWindowEndsTheProgramWithTheLogOpen)
{
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    form->show();
    form->ftpLog().showLog();
    QPointer<TfrmFTPLog> log = &form->ftpLog();
    ui.answers = {Answer::No};
    QTimer::singleShot(0, form.get(), [this] { trigger("actExit"); });
    // Fails the test instead of hanging when the program would run on.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(form->isVisible());
    ASSERT_FALSE(log.isNull());
    EXPECT_FALSE(log->isVisible());
}

TEST_F(WindowsTest, NewAndOpenClearTheLogoPreview)
{
    auto* preview = form->findChild<QLabel*>(QStringLiteral("logoPicture"));
    ASSERT_NE(preview, nullptr);
    QPixmap old(20, 20);
    old.fill(Qt::red);
    preview->setPixmap(old);
    ui.answers = {Answer::No};
    trigger("actNew");
    EXPECT_TRUE(preview->pixmap().isNull());

    preview->setPixmap(old);
    ui.answers = {Answer::No};
    ui.openFileNames = {writeProject(QStringLiteral("p.tvst"), QStringLiteral("P"))};
    trigger("actOpen");
    EXPECT_TRUE(preview->pixmap().isNull());
}

TEST_F(WindowsTest, SmallControlsFitAndExplainThemselves)
{
    EXPECT_EQ(form->findChild<QWidget*>(QStringLiteral("btFtpProfiles"))->toolTip(),
              QString::fromUtf8("FTP-Profile..."));
    EXPECT_EQ(form->findChild<QWidget*>(QStringLiteral("btFTPBrowse"))->toolTip(),
              QString::fromUtf8("Ordner auf dem Server wählen..."));

    form->show();
    QLineEdit* guid = form->textControl(u"edtGUID");
    EXPECT_GE(guid->width(), guid->fontMetrics().horizontalAdvance(guid->text()) + 8)
        << guid->width() << " for " << guid->text().toStdString();

    QTableView* list = entryView();
    EXPECT_TRUE(list->horizontalHeader()->stretchLastSection());
    EXPECT_LT(list->verticalHeader()->defaultSectionSize(), 30);
    ui.answers = {Answer::No};
    ui.openFileNames = {
        writeProject(QStringLiteral("e.tvst"), QStringLiteral("E"), {QString(200, u'x')})};
    trigger("actOpen");
    ASSERT_EQ(rowCount(list), 1);
    EXPECT_EQ(cellText(list, 0, 0, Qt::ToolTipRole), QString(200, u'x'));
    form->hide();
}

// A 1-bit checker pattern shrunk to half is an even grey, not black and
// white dots.
TEST(LogoPreview, OneBitPicturesScaleSmoothly)
{
    QImage checker(200, 800, QImage::Format_Mono);
    checker.setColor(0, qRgb(0, 0, 0));
    checker.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < checker.height(); ++y)
        for (int x = 0; x < checker.width(); ++x)
            checker.setPixel(x, y, (x + y) % 2);
    const QImage preview = LogoCheck::previewImage(checker, QSize(183, 95));
    ASSERT_FALSE(preview.isNull());
    EXPECT_LE(preview.height(), 95);
    int outliers = 0;
    for (int y = 1; y < preview.height() - 1; ++y)
        for (int x = 1; x < preview.width() - 1; ++x)
            if (qAbs(qGray(preview.pixel(x, y)) - 127) > 40)
                ++outliers;
    EXPECT_EQ(outliers, 0);
}

// A server that accepts and never answers: the check runs off the window's
// thread and "Abbrechen" ends it at once, leaving fields and preview alone.
TEST_F(WindowsTest, LogoCheckCanBeCancelled)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    form->textControl(u"edtLogoUrl")
        ->setText(QStringLiteral("http://127.0.0.1:%1/logo.png").arg(silent.serverPort()));
    form->spinControl(u"edtLogoWidth")->setValue(88);
    bool accepted = false;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] { accepted = true; });
    cancelWhenBoxShows([&] { return accepted; });
    QElapsedTimer timer;
    timer.start();
    form->btReadPictureClick();
    EXPECT_LT(timer.elapsed(), 20000); // the download's own limit is 30 s
    EXPECT_TRUE(accepted);
    EXPECT_EQ(form->spinControl(u"edtLogoWidth")->value(), 88);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join('|').toStdString();
    EXPECT_TRUE(ui.errors.isEmpty());
}

} // namespace
