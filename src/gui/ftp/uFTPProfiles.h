#pragma once

#include "ftp/FtpProfileStore.h"

#include <QDialog>
#include <functional>
#include <vector>

class QAction;
class QTableWidget;
class TfrmFTPEdit;
class TfrmFTPLog;
class UserInteraction;

// The FTP profiles window: lists the stored profiles, lets the user add,
// change and delete them, and take one over (modal result OK with a row
// selected). It reads the store when it is made and writes it back whenever
// it closes; a store that could not be read completely is kept as
// "profiles.xml.bak" before it is replaced.
class TftpProfiles : public QDialog
{
    Q_OBJECT

public:
    TftpProfiles(UserInteraction& ui, TfrmFTPLog& log, const QString& storePath, QWidget* owner);

    std::vector<TFtpProfile> ServerList;
    // True when opened to choose a profile: a double-click takes the row over.
    bool SelectMode = false;

    void RefreshProfileList();
    // Index into ServerList of the selected row, or -1.
    int selectedIndex() const;
    void selectRow(int row);

    void actNewExecute();
    void actEditExecute();
    void actDeleteExecute();
    void actOvertakeExecute();
    void actExitExecute();
    void lstFTPDblClick();

    // Shows the profile editor modally; returns its result. Tests replace it.
    using EditorRunner = std::function<int(TfrmFTPEdit&)>;
    void setEditorRunner(EditorRunner runner) { m_runEditor = std::move(runner); }

    // Writes the store before the window closes; when that fails, the error
    // is reported and the window stays open.
    void done(int result) override;

private:
    void FormCreate();
    bool FormClose();
    bool editProfile(TFtpProfile& profile);

    UserInteraction& m_ui;
    TfrmFTPLog& m_log;
    QString m_storePath;
    bool m_storeIncomplete = false;
    EditorRunner m_runEditor;
    QTableWidget* lstFTP;
};
