#include "HelpPages.h"

#include "platform/Folders.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

namespace HelpPages {

QString pagePath(const QString& controlName, const QString& subfolder)
{
    const QString helpFolder = Folders::programFolder() + QStringLiteral("help_de/");
    const QString folder = subfolder.isEmpty() ? helpFolder : helpFolder + subfolder + u'/';
    const QString page = folder + controlName + QStringLiteral(".html");
    if (QFileInfo::exists(page))
        return page;
    return helpFolder + QStringLiteral("blank.html");
}

void show(QTextBrowser* panel, const QString& controlName, const QString& subfolder)
{
    panel->setSource(QUrl::fromLocalFile(pagePath(controlName, subfolder)));
}

} // namespace HelpPages
