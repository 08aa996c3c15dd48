#pragma once

#include <QString>

class QTextBrowser;

// The context help pages beside the program: help_de/<name>.html for the
// main window, help_de/<subfolder>/<name>.html for a dialog, and
// help_de/blank.html when the named page is not there.
namespace HelpPages {

// The page to show for a control; the fallback is not checked for existence.
QString pagePath(const QString& controlName, const QString& subfolder = {});
// Shows that page in the panel.
void show(QTextBrowser* panel, const QString& controlName, const QString& subfolder = {});

} // namespace HelpPages
