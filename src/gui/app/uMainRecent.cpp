// The main window's list of recently used projects.
#include "platform/Error.h"
#include "platform/Folders.h"
#include "platform/RecentFiles.h"
#include "uMain.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>

namespace {

QString recentStorePath()
{
    return Folders::appDataFolder() + QStringLiteral("/recent.xml");
}

// "&3 /home/user/feed.tvst": the number is the accelerator, a "&" in the
// path is shown as it is.
QString menuText(int number, const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path).replace(u'&', QStringLiteral("&&"));
    const QString prefix =
        number < 10 ? QStringLiteral("&%1 ").arg(number) : QStringLiteral("1&0 ");
    return prefix + shown;
}

// The lists are a convenience: a file that cannot be written must not turn
// a saved project into a failed command.
void saveRecentQuietly(const std::function<void()>& save)
{
    try {
        save();
    } catch (const Error& error) {
        qWarning("%s", qPrintable(error.message()));
    }
}

} // namespace

void TForm1::buildRecentMenu(QMenu* fileMenu)
{
    m_recent = std::make_unique<RecentFiles>(recentStorePath());
    m_recent->load();
    mnuRecent = fileMenu->addMenu(QStringLiteral("&Zuletzt geöffnet"));
    mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    // The desktop's list may have grown since the menu was last shown.
    connect(mnuRecent, &QMenu::aboutToShow, this, [this] {
        m_recent->mergeDesktopEntries(DesktopRecentFiles::read(DesktopRecentFiles::defaultPath()));
        rebuildRecentMenu();
        saveRecentQuietly([this] { m_recent->save(); });
    });
    rebuildRecentMenu();
}

void TForm1::rebuildRecentMenu()
{
    mnuRecent->clear();
    const QList<RecentFile>& items = m_recent->items();
    int number = 0;
    for (const RecentFile& item : items) {
        QAction* action = mnuRecent->addAction(menuText(++number, item.path));
        action->setObjectName(QStringLiteral("actRecent%1").arg(number));
        action->setToolTip(item.path);
        // A file that is gone stays in the list, greyed out, until removed.
        action->setEnabled(QFileInfo(item.path).isFile());
        const QString path = item.path;
        connect(action, &QAction::triggered, this,
                [this, path] { runCommand(m_ui, this, [&] { openRecentFile(path); }); });
    }
    if (items.isEmpty()) {
        QAction* empty = mnuRecent->addAction(QStringLiteral("(keine)"));
        empty->setEnabled(false);
    }
    mnuRecent->addSeparator();
    QAction* removeMissing =
        mnuRecent->addAction(QStringLiteral("&Fehlende Dateien aus der Liste entfernen"));
    removeMissing->setObjectName(QStringLiteral("actRecentRemoveMissing"));
    removeMissing->setEnabled(std::any_of(items.begin(), items.end(), [](const RecentFile& item) {
        return !QFileInfo(item.path).isFile();
    }));
    connectCommand(removeMissing, &TForm1::actRecentRemoveMissingExecute);
    QAction* clear = mnuRecent->addAction(QStringLiteral("Liste &leeren"));
    clear->setObjectName(QStringLiteral("actRecentClear"));
    clear->setEnabled(!items.isEmpty());
    connectCommand(clear, &TForm1::actRecentClearExecute);
}

void TForm1::noteRecentFile(const QString& path)
{
    if (!m_recent)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_recent->add(path, now);
    rebuildRecentMenu();
    saveRecentQuietly([&] {
        m_recent->save();
        DesktopRecentFiles::add(DesktopRecentFiles::defaultPath(), path, now);
    });
}

void TForm1::openRecentFile(const QString& path)
{
    if (ConfirmSaveCurrent()) // a cancelled or failed save keeps the project
        openProject(path);
}

void TForm1::actRecentRemoveMissingExecute()
{
    m_recent->removeMissing();
    rebuildRecentMenu();
    m_recent->save();
}

void TForm1::actRecentClearExecute()
{
    m_recent->clear();
    rebuildRecentMenu();
    m_recent->save();
}
