#include "MainWindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTimeEdit>
#include <QUrl>

using Answer = UserInteraction::Answer;
using Icon = UserInteraction::Icon;

namespace {

void expectSaveQuestion(const FakeInteraction::Question& q)
{
    EXPECT_EQ(q.caption, "Speichern?");
    EXPECT_EQ(q.text, "Soll die aktuelle Datei gespeichert werden?");
    EXPECT_EQ(q.icon, Icon::Information);
    EXPECT_TRUE(q.withCancel);
}

void expectOverwriteQuestion(const FakeInteraction::Question& q)
{
    EXPECT_EQ(q.caption, QString::fromUtf8("Überschreiben bestätigen"));
    EXPECT_EQ(q.text, "Soll die bestehende Datei überschrieben werden?");
    EXPECT_EQ(q.icon, Icon::Question);
    EXPECT_FALSE(q.withCancel);
}

} // namespace

TEST_F(MainWindowTest, StartsUnnamedFromTemplateWithFreshDatesAndGuid)
{
    EXPECT_EQ(form->statusText(), "unbenannt.tvst");
    EXPECT_FALSE(form->isSaved());
    EXPECT_EQ(form->windowTitle(), "Tavistrel 1.1");
    EXPECT_EQ(title(), kTemplateTitle);
    // The template's check box stays; dates, times and GUID are renewed.
    EXPECT_TRUE(form->checkControl(u"chkPublish")->isChecked());
    for (const char* key : {"datePublish", "dateLastChange"})
        EXPECT_EQ(form->dateControl(QString::fromLatin1(key))->date(), QDate(2009, 2, 20)) << key;
    for (const char* key : {"publishTime", "timeLastChange"})
        EXPECT_EQ(form->timeControl(QString::fromLatin1(key))->time(), QTime(18, 48, 5)) << key;
    const QString guid = form->textControl(u"edtGUID")->text();
    EXPECT_EQ(guid.size(), 38);
    EXPECT_NE(guid, kTemplateGuid);

    QComboBox* language = form->choiceControl(u"cboLanguage");
    EXPECT_EQ(language->count(), 96);
    EXPECT_FALSE(language->isEditable());
    EXPECT_EQ(language->currentText(), "German (Germany) [de-de]");
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(MainWindowTest, MissingTemplateStillMakesAnUnnamedProjectWithFreshValues)
{
    QFile::remove(path("default.tvst"));
    setTitle(QStringLiteral("Bisher"));
    ui.answers = {Answer::No};
    trigger("actNew");
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains(u"default.tvst") &&
                ui.messages[0].contains(u"existiert nicht"))
        << ui.messages[0].toStdString();
    EXPECT_EQ(title(), "Bisher");
    EXPECT_EQ(form->statusText(), "unbenannt.tvst");
    EXPECT_NE(form->textControl(u"edtGUID")->text(), kTemplateGuid);
}

TEST_F(MainWindowTest, SaveOnUnnamedProjectAsksForNameThenWritesSilently)
{
    const QString file = path("neu.tvst");
    ui.saveFileNames = {file};
    setTitle(QStringLiteral("Erster Stand"));
    trigger("actSave");
    EXPECT_EQ(ui.saveFilters, QStringList{kProjectFilter});
    EXPECT_EQ(ui.saveSuffixes, QStringList{"tvst"});
    EXPECT_TRUE(form->isSaved());
    EXPECT_EQ(form->statusText(), file);
    EXPECT_EQ(ProjectFile::LoadProjectFile(file).text(u"edtFeedTitle"), "Erster Stand");

    // Named: no dialog and no question, even when the file has gone meanwhile.
    QFile::remove(file);
    setTitle(QStringLiteral("Zweiter Stand"));
    trigger("actSave");
    EXPECT_EQ(ProjectFile::LoadProjectFile(file).text(u"edtFeedTitle"), "Zweiter Stand");
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(MainWindowTest, SaveAsOntoExistingFileAsksBeforeOverwriting)
{
    struct Case
    {
        Answer answer;
        bool overwritten;
    };
    for (const Case c : {Case{Answer::No, false}, Case{Answer::Yes, true}}) {
        SCOPED_TRACE(c.overwritten ? "Yes" : "No");
        const QString file = writeProject(QStringLiteral("da.tvst"), QStringLiteral("Alt"));
        const QByteArray before = readAll(file);
        ui.questions.clear();
        ui.saveFileNames = {file};
        ui.answers = {c.answer};
        setTitle(QStringLiteral("Neu"));
        trigger("actSaveAs");

        ASSERT_EQ(ui.questions.size(), 1u);
        expectOverwriteQuestion(ui.questions[0]);
        EXPECT_EQ(readAll(file) != before, c.overwritten);
        EXPECT_EQ(form->isSaved(), c.overwritten);
        EXPECT_EQ(form->statusText(), c.overwritten ? file : QStringLiteral("unbenannt.tvst"));
    }
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowTest, SaveAsCancelledChangesNothing)
{
    const QString named = writeProject(QStringLiteral("a.tvst"), QStringLiteral("A"));
    ui.answers = {Answer::No};
    ui.openFileNames = {named};
    trigger("actOpen");
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join('|').toStdString();
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join('|').toStdString();
    const QByteArray before = readAll(named);
    ui.questions.clear();

    ui.saveFileNames = {QString()};
    setTitle(QStringLiteral("geändert"));
    trigger("actSaveAs");
    EXPECT_EQ(form->statusText(), named);
    EXPECT_EQ(form->currentFileName(), named);
    EXPECT_EQ(readAll(named), before);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(MainWindowTest, FailedWriteKeepsNameStateAndReportsTheError)
{
    ui.saveFileNames = {path("fehlt/x.tvst")};
    trigger("actSaveAs");
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_FALSE(form->isSaved());
    EXPECT_EQ(form->statusText(), "unbenannt.tvst");
}

// Open replaces the project: the save question comes first, as for New.
TEST_F(MainWindowTest, OpenAsksToSaveFirstAndTakesTheName)
{
    const QString file =
        writeProject(QStringLiteral("b.tvst"), QStringLiteral("Geöffnet"), {"eins", "zwei"});
    ui.answers = {Answer::No};
    ui.openFileNames = {file};
    trigger("actOpen");
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, "Soll die aktuelle Datei gespeichert werden?");
    EXPECT_TRUE(ui.questions[0].withCancel);
    EXPECT_EQ(ui.openFilters, QStringList{kProjectFilter});
    EXPECT_EQ(title(), QString::fromUtf8("Geöffnet"));
    EXPECT_EQ(form->entries().size(), 2);
    EXPECT_EQ(rowCount(entryView()), 2);
    EXPECT_TRUE(form->isSaved());
    EXPECT_EQ(form->statusText(), file);

    ui.answers = {Answer::No};
    ui.openFileNames = {QString()};
    trigger("actOpen");
    EXPECT_EQ(form->statusText(), file);

    // Cancel keeps the project and opens no dialog; Yes saves it first.
    setTitle(QStringLiteral("ungespeichert"));
    ui.answers = {Answer::Cancel};
    trigger("actOpen");
    EXPECT_EQ(title(), "ungespeichert");
    const QString other = writeProject(QStringLiteral("c.tvst"), QStringLiteral("Anderes"));
    ui.answers = {Answer::Yes};
    ui.openFileNames = {other};
    trigger("actOpen");
    EXPECT_EQ(ProjectFile::LoadProjectFile(file).text(u"edtFeedTitle"), "ungespeichert");
    EXPECT_EQ(title(), "Anderes");
    EXPECT_TRUE(ui.allAnswersUsed());
}

// Open, a drop and the start-up argument read a bad file the same way: the
// message, and the window exactly as before (values, entries, list, name).
TEST_F(MainWindowTest, FailedReadLeavesEverythingUnchanged)
{
    const QString good = writeProject(QStringLiteral("gut.tvst"), QStringLiteral("Gut"), {"e1"});
    const QString notXml = path("kaputt.tvst");
    writeAll(notXml, "kein XML");
    const QString foreign = path("fremd.tvst");
    writeAll(foreign, "<xml><FileInfo><Prog>tavistrel</Prog></FileInfo><FileContent>"
                      "<ItemList/></FileContent></xml>");
    // Readable up to the day boxes: a partial read must not show either.
    QByteArray partial = readAll(good);
    partial.replace("<chkMonday>0</chkMonday>", "");
    const QString late = path("spaet.tvst");
    writeAll(late, partial);

    QDir(path(QString())).mkdir(QStringLiteral("ordner.tvst"));
    const struct
    {
        QString file;
        QString message; // empty: the fixed message
    } bads[] = {
        {notXml, {}},
        {foreign, {}},
        {late, {}},
        {path("gibtsnicht.tvst"), "existiert nicht"},
        {path("ordner.tvst"), "ist ein Ordner"},
    };
    for (const auto& [bad, message] : bads) {
        SCOPED_TRACE(bad.toStdString());
        ui.answers = {Answer::No};
        ui.openFileNames = {good};
        trigger("actOpen");
        form->textControl(u"edtOwnerName")->setText(QStringLiteral("ungespeichert"));
        form->selectEntry(0);
        const FeedDocument before = form->documentFromControls();
        ui.messages.clear();

        ui.answers = {Answer::No, Answer::No};
        ui.openFileNames = {bad};
        trigger("actOpen");
        form->openDroppedFiles({bad});

        ASSERT_EQ(ui.messages.size(), 2);
        for (const QString& shown : ui.messages) {
            if (message.isEmpty())
                EXPECT_EQ(shown, kNotAProjectFileMessage);
            else
                EXPECT_TRUE(shown.contains(bad) && shown.contains(message)) << shown.toStdString();
        }
        EXPECT_TRUE(form->documentFromControls() == before);
        EXPECT_EQ(rowCount(entryView()), 1);
        EXPECT_EQ(form->statusText(), good);
        EXPECT_EQ(form->currentFileName(), good);
    }
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowTest, StartupArgumentIsShownAsTypedOrIgnoredWhenUnreadable)
{
    writeProject(QStringLiteral("start.tvst"), QStringLiteral("Vom Start"));
    writeAll(path("kaputt.tvst"), "nichts");
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(path(QString()));

    form = makeForm(QStringLiteral("start.tvst"));
    form->show();
    EXPECT_EQ(title(), "Vom Start");
    EXPECT_EQ(form->statusText(), "start.tvst");
    EXPECT_TRUE(form->isSaved());

    form = makeForm(QStringLiteral("kaputt.tvst"));
    form->show();
    EXPECT_EQ(ui.messages, QStringList{kNotAProjectFileMessage});
    EXPECT_EQ(title(), kTemplateTitle);
    EXPECT_EQ(form->statusText(), "unbenannt.tvst");
    EXPECT_FALSE(form->isSaved());
    QDir::setCurrent(oldCurrent);
    form->hide();
}

TEST_F(MainWindowTest, NewAsksToSaveFirst)
{
    struct Case
    {
        const char* name;
        Answer answer;
        bool saveDialogCancelled;
        bool startsNew;
        bool writes;
    };
    const Case cases[] = {
        {"Cancel", Answer::Cancel, false, false, false},
        {"No", Answer::No, false, true, false},
        // Cancelling the save dialog keeps the work, as for Exit.
        {"Yes, dialog cancelled", Answer::Yes, true, false, false},
        {"Yes, saved", Answer::Yes, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form = makeForm();
        ui.questions.clear();
        const QString file = path(QStringLiteral("neu-%1.tvst").arg(c.name[0]));
        setTitle(QStringLiteral("Bearbeitet"));
        ui.answers = {c.answer};
        if (c.answer == Answer::Yes)
            ui.saveFileNames = {c.saveDialogCancelled ? QString() : file};
        trigger("actNew");

        ASSERT_EQ(ui.questions.size(), 1u);
        expectSaveQuestion(ui.questions[0]);
        EXPECT_EQ(title(), c.startsNew ? kTemplateTitle : QStringLiteral("Bearbeitet"));
        EXPECT_EQ(form->statusText(), "unbenannt.tvst");
        EXPECT_EQ(QFile::exists(file), c.writes);
        if (c.writes)
            EXPECT_EQ(ProjectFile::LoadProjectFile(file).text(u"edtFeedTitle"), "Bearbeitet");
        EXPECT_TRUE(ui.allAnswersUsed());
    }
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowTest, NewAfterFailedWriteKeepsTheProject)
{
    QDir(path(QString())).mkdir(QStringLiteral("sub"));
    const QString file = writeProject(QStringLiteral("sub/p.tvst"), QStringLiteral("Projekt"));
    ui.answers = {Answer::No};
    ui.openFileNames = {file};
    trigger("actOpen");
    QDir(path(QStringLiteral("sub"))).removeRecursively();

    ui.answers = {Answer::Yes};
    trigger("actNew");
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(title(), "Projekt");
    EXPECT_EQ(form->statusText(), file);
}

TEST_F(MainWindowTest, ExitAsksToSaveFirst)
{
    struct Case
    {
        const char* name;
        Answer answer;
        bool failingWrite;
        bool closes;
    };
    const Case cases[] = {
        {"Cancel", Answer::Cancel, false, false},
        {"No", Answer::No, false, true},
        // Cancelling the save dialog keeps the work, as a failed write does.
        {"Yes, dialog cancelled", Answer::Yes, false, false},
        {"Yes, write fails", Answer::Yes, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form = makeForm();
        form->show();
        ui.errors.clear();
        ui.answers = {c.answer};
        if (c.answer == Answer::Yes)
            ui.saveFileNames = {c.failingWrite ? path("fehlt/x.tvst") : QString()};
        trigger("actExit");
        EXPECT_EQ(form->isVisible(), !c.closes);
        EXPECT_EQ(ui.errors.size(), c.failingWrite ? 1 : 0);
        EXPECT_TRUE(ui.allAnswersUsed());
        form->hide();
    }
}

TEST_F(MainWindowTest, DroppedFilesOpenOneAfterAnotherEachAfterTheQuestion)
{
    const QString first = writeProject(QStringLiteral("eins.tvst"), QStringLiteral("Eins"), {"x"});
    const QString second = writeProject(QStringLiteral("zwei.tvst"), QStringLiteral("Zwei"));

    // Through a real drop onto a field: the window takes file drops anywhere.
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    ui.answers = {Answer::No, Answer::Cancel};
    QLineEdit* field = form->textControl(u"edtFeedTitle");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &drop);
    delete mime;
    // The drop returns before the first question is asked.
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(ui.questions.empty());
    QCoreApplication::sendPostedEvents();

    ASSERT_EQ(ui.questions.size(), 2u);
    expectSaveQuestion(ui.questions[1]);
    EXPECT_EQ(title(), "Eins");
    EXPECT_EQ(form->statusText(), first);
    EXPECT_EQ(rowCount(entryView()), 1);

    // Yes saves the current project before the next one opens.
    setTitle(QStringLiteral("Eins geändert"));
    ui.answers = {Answer::Yes};
    form->openDroppedFiles({second});
    EXPECT_EQ(ProjectFile::LoadProjectFile(first).text(u"edtFeedTitle"), "Eins geändert");
    EXPECT_EQ(title(), "Zwei");
    EXPECT_EQ(form->statusText(), second);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowTest, DropStopsWhenTheSaveFails)
{
    const QString first = writeProject(QStringLiteral("eins.tvst"), QStringLiteral("Eins"));
    const QString second = writeProject(QStringLiteral("zwei.tvst"), QStringLiteral("Zwei"));
    ui.answers = {Answer::Yes};
    ui.saveFileNames = {path("fehlt/x.tvst")};
    runCommand(ui, form.get(), [&] { form->openDroppedFiles({first, second}); });
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(title(), kTemplateTitle);
    EXPECT_EQ(form->statusText(), "unbenannt.tvst");
    EXPECT_TRUE(ui.allAnswersUsed());
}
