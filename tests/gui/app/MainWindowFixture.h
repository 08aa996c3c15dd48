#pragma once

#include "app/uMain.h"
#include "document/ChannelSettings.h"
#include "document/ProjectFile.h"
#include "platform/Folders.h"
#include "platform/RegionalSettings.h"
#include "support/FakeInteraction.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A main window over a private program folder holding a template whose title
// is "Vorlage", German regional settings and a fixed clock. Dialogs are
// answered by the FakeInteraction.
class MainWindowTest : public ::testing::Test
{
protected:
    static inline const QString kTemplateTitle = QStringLiteral("Vorlage");
    static inline const QString kTemplateGuid =
        QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    static inline const QString kProjectFilter =
        QStringLiteral("Tavistrel-Datei (*.tvst)|*.tvst|Alle Dateien (*.*)|*.*");

    static QDateTime fixedNow() { return QDateTime(QDate(2009, 2, 20), QTime(18, 48, 5, 250)); }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
        // The upload's temporary file is one per user: tests running side by
        // side would otherwise write each other's feed into it.
        m_oldTmpDir = qgetenv("TMPDIR");
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("tmp")));
        qputenv("TMPDIR", QFile::encodeName(m_dir.filePath(QStringLiteral("tmp"))));
        RegionalSettings::setCurrent(RegionalSettings::german());
        Folders::setProgramFolder(m_dir.path());
        FeedDocument templ;
        templ.setText(u"edtFeedTitle", kTemplateTitle);
        templ.setText(u"edtGUID", kTemplateGuid);
        templ.setFlag(u"chkPublish", true);
        // A feed the check finds no Fehler in, so export and upload ask nothing.
        templ.setText(u"edtLink", QStringLiteral("https://example.org/"));
        templ.setText(u"memoDescription", QStringLiteral("Vorlage"));
        ProjectFile::SaveProjectFile(templ, path("default.tvst"));
        form = makeForm();
    }

    void TearDown() override
    {
        form.reset();
        if (m_oldTmpDir.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_oldTmpDir);
        Folders::setProgramFolder({});
        RegionalSettings::resetToSystem();
    }

    std::unique_ptr<TForm1> makeForm(const QString& startupFile = {})
    {
        TForm1::Options options;
        options.showSplash = false;
        options.clock = &fixedNow;
        options.startupFile = startupFile;
        return std::make_unique<TForm1>(ui, options);
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    void trigger(const char* action)
    {
        QAction* a = form->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }

    // The entry list view and what its model shows in a cell.
    QTableView* entryView() const
    {
        return form->findChild<QTableView*>(QStringLiteral("lstNews"));
    }
    static int rowCount(const QAbstractItemView* view) { return view->model()->rowCount(); }
    static QString cellText(const QAbstractItemView* view, int row, int column,
                            int role = Qt::DisplayRole)
    {
        return view->model()->data(view->model()->index(row, column), role).toString();
    }

    QString title() const { return form->textControl(u"edtFeedTitle")->text(); }
    void setTitle(const QString& text) { form->textControl(u"edtFeedTitle")->setText(text); }

    static TNewsEntry entry(const QString& title)
    {
        TNewsEntry e;
        e.title = title;
        e.link = QStringLiteral("https://example.org/") + title;
        e.guid = QStringLiteral("{11111111-2222-3333-4444-55555555555%1}").arg(title.size() % 10);
        e.date = QDate(2008, 12, 24);
        e.time = QTime(7, 5, 9);
        return e;
    }

    // A project file with that title and entries, in the private folder.
    QString writeProject(const QString& name, const QString& projectTitle,
                         const QStringList& entryTitles = {})
    {
        FeedDocument document;
        document.setText(u"edtFeedTitle", projectTitle);
        for (const QString& t : entryTitles)
            document.entries.append(std::make_unique<TNewsEntry>(entry(t)));
        const QString file = path(name);
        ProjectFile::SaveProjectFile(document, file);
        return file;
    }

    static QByteArray readAll(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static void writeAll(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    // Gives a widget the keyboard focus the way a click would, showing its
    // tab page first.
    static void focus(QWidget* widget)
    {
        for (QWidget* w = widget; w && w->parentWidget(); w = w->parentWidget()) {
            auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget());
            if (tabs && tabs->indexOf(w) >= 0)
                tabs->setCurrentWidget(w);
        }
        QWidget* window = widget->window();
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        QApplication::processEvents();
        widget->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }

    FakeInteraction ui;
    std::unique_ptr<TForm1> form;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldTmpDir;
};
