// The feed import of the main window: the feed becomes the current project,
// unnamed, as a new project is.
#include "output/FeedImport.h"
#include "uMain.h"

void TForm1::actImportFeedExecute()
{
    const UserInteraction::Answer answer = AskSaveCurrent();
    if (answer == UserInteraction::Answer::Cancel)
        return;
    if (answer == UserInteraction::Answer::Yes)
        actSaveExecute(); // a failed write throws and so keeps the project
    const std::optional<QString> source = m_ui.getFeedSource(this);
    if (!source || source->trimmed().isEmpty())
        return;
    // Throws before anything changes: a source that is no feed keeps the project.
    const FeedImportResult result = FeedImport::importSource(*source, m_options.clock());
    applyToControls(result.document);
    bSaved = false;
    fileName.clear();
    setStatusText(QStringLiteral("unbenannt.tvst"));
    if (!result.report.isEmpty()) {
        const int count = result.document.entries.size();
        m_ui.showMessage(this, QStringLiteral("%1 mit %2 importiert. Nicht alles fand Platz im "
                                              "Projekt:\n\n%3")
                                   .arg(result.format,
                                        count == 1 ? QStringLiteral("1 Eintrag")
                                                   : QStringLiteral("%1 Einträgen").arg(count),
                                        FeedImport::reportText(result)));
    }
}
