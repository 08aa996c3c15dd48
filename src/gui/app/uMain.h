#pragma once

#include "UserInteraction.h"
#include "document/FeedDocument.h"
#include "document/NewsEntryList.h"
#include "output/FeedCheck.h"

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <chrono>
#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMimeData;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTextBrowser;
class QTimeEdit;
class QDialog;
class EntryListModel;
class TfrmEntry;
class TfrmFTPLog;
class QMenu;
class QTimer;
class RecentFiles;
class RecoveryStore;

// The main window. It holds the current project: the channel settings live in
// its controls, each named by its channel key, and the entries in ListField,
// shown in lstNews. Handlers named ...Execute and ...Click may throw; the
// window runs each of them inside runCommand, so a failure ends the command
// and reaches the general error report.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    struct Options
    {
        bool showSplash = true;
        // Opened when the window first shows; empty: the new project stays.
        QString startupFile;
        // The current moment for new dates; tests fix it.
        std::function<QDateTime()> clock;
        // How often a recovery copy is written while the project differs
        // from its file; zero: no copies and no offer at start.
        std::chrono::milliseconds recoveryInterval{0};
        // Where the copies go; empty: RecoveryStore::defaultFolder().
        QString recoveryFolder;
    };

    explicit TForm1(UserInteraction& ui);
    TForm1(UserInteraction& ui, Options options);
    ~TForm1() override;

    UserInteraction& interaction() const { return m_ui; }

    // The project as the window shows it, and the reverse. Both walk the
    // channel settings table through the per-kind accessors below.
    FeedDocument documentFromControls() const;
    // The window's project for `use`, its entries lent rather than copied
    // (they are back in the list afterwards, also when `use` throws).
    void withDocument(const std::function<void(const FeedDocument&)>& use);
    // Takes the document's entries; pass an rvalue to move rather than copy them.
    void applyToControls(FeedDocument document);

    // One channel setting by key; throws std::out_of_range for an unknown key
    // and std::bad_variant_access for a value of the wrong kind.
    ChannelValue channelValue(QStringView key) const;
    void setChannelValue(QStringView key, const ChannelValue& value);

    // The control of a channel key, one accessor per control kind; nullptr
    // when the key is not of that kind.
    QLineEdit* textControl(QStringView key) const;
    QPlainTextEdit* memoControl(QStringView key) const;
    QCheckBox* checkControl(QStringView key) const;
    QDateEdit* dateControl(QStringView key) const;
    QTimeEdit* timeControl(QStringView key) const;
    QSpinBox* spinControl(QStringView key) const;
    QComboBox* choiceControl(QStringView key) const;

    // Name state of the current project.
    bool isSaved() const { return bSaved; }
    QString currentFileName() const { return fileName; }
    QString statusText() const;

    const NewsEntryList& entries() const { return ListField; }
    // Row of the selected entry, or -1.
    int selectedEntryIndex() const;
    void selectEntry(int index);

    // Document operations.
    void NewDocument();
    UserInteraction::Answer AskSaveCurrent();
    // The save question before the project is replaced or the window
    // closes: false when the user cancelled it, the save dialog or the
    // overwrite question (the project then stays); a failed write throws.
    bool ConfirmSaveCurrent();
    bool ConfirmOverwrite(const QString& path);
    // Reads the file into the window; on any failure shows a message (the
    // fixed one for content that is no project, the cause for a file that
    // cannot be read), changes nothing and returns false.
    bool LoadProjectFile(const QString& path);
    // Writes the project and takes the path as its name; throws when the
    // file cannot be written, leaving the name state as it was.
    void SaveProjectFile(const QString& path);
    // Shows the entry list anew (a reset of the view's model).
    void RefreshNewsList();
    // Opens dropped files one after another, each after the save question.
    void openDroppedFiles(const QStringList& paths);

    // Recent files (uMainRecent.cpp): the list behind "Zuletzt geöffnet".
    const RecentFiles& recentFiles() const { return *m_recent; }
    // Opens a listed project after the save question.
    void openRecentFile(const QString& path);
    void actRecentRemoveMissingExecute();
    void actRecentClearExecute();

    // Recovery (uMainRecovery.cpp). Writes or removes this window's copy as
    // the project differs from its file or not; throws when it cannot.
    void saveRecoveryCopy();
    // Offers the copies of programs that ended without cleaning up; the
    // first show does it once its events have been handled.
    void offerRecoveryCopies();
    // True when what would be saved differs from what was last opened or saved.
    bool differsFromFile();
    // This window's copy; empty without recovery.
    QString recoveryCopyPath() const;

    // Commands.
    void actNewExecute();
    void actOpenExecute();
    void actSaveExecute();
    void actSaveAsExecute();
    void actExitExecute();
    void actExportRSSExecute();
    void actHelpExecute();
    void actUpdateInformationExecute();
    void actInfoExecute();
    // Asks the save question, then for a feed file or address; the feed
    // becomes the current project, unnamed (uMainImport.cpp).
    void actImportFeedExecute();
    // FTP publishing and the logo check (uMainFtp.cpp, uMainLogo.cpp).
    void actUploadExecute();
    void actFTPProfilesExecute();
    void btFTPBrowseClick();
    void btReadPictureClick();
    // Uploads the file at localPath with the window's FTP settings and the
    // log; true when it was stored. False after a refused check, a reply
    // error (logged) or a cancel; other failures are thrown.
    bool UploadRSSFile(const QString& localPath);
    // After a stored upload: fetches the feed's address, when set, and logs
    // whether it serves the file just uploaded.
    void verifyPublishedFeed(const QString& uploadedPath);
    bool CheckFTPSettings();
    // The shared FTP log window, made on first use.
    TfrmFTPLog& ftpLog();

    // Runs the FTP windows (profiles, browser) modally; returns the dialog's
    // result. Tests replace it.
    using FtpDialogRunner = std::function<int(QDialog&)>;
    void setFtpDialogRunner(FtpDialogRunner runner) { m_runFtpDialog = std::move(runner); }

    void btPubDateRefreshClick();
    void btRefreshLastChangeClick();
    void btRefreshGUIDClick();
    void btHtmlEditBeschreibungClick();

    // Entry commands.
    void btNewNewsClick();
    void btEditNewsClick();
    void btDeleteClick();
    void btUpClick();
    void btDownClick();

    // Shows the entry dialog modally; true for OK. Tests replace it.
    using EntryDialogRunner = std::function<bool(TfrmEntry&)>;
    void setEntryDialogRunner(EntryDialogRunner runner) { m_runEntryDialog = std::move(runner); }

    // The feed check (uMainCheck.cpp): runs it and shows the findings panel;
    // a finding's row leads to its field or opens its entry in the dialog.
    void actCheckFeedExecute();
    const QList<FeedCheck::Finding>& findings() const { return m_findings; }
    QTableWidget* findingsList() const { return lstFindings; }
    void goToFinding(int row);

    // Shows the help page of a control or tab page in HelpBrowser.
    void helpEnterChange(const QString& controlName);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FeedDocument settingsFromControls() const;
    // uMainLayout.cpp
    void buildActions();
    void buildMenusAndToolBar();
    void buildLayout();
    QWidget* buildPropertiesPage();
    QWidget* buildEntriesPage();
    QWidget* buildRefreshPage();
    QWidget* buildOtherSettingsPage();
    QWidget* buildFtpPage();
    void bindChannelControls();
    void connectCommand(QAction* action, void (TForm1::*handler)());
    void connectCommand(QAbstractButton* button, void (TForm1::*handler)());

    QWidget* buildFindingsPanel(QWidget* parent);
    void showFindings(const QList<FeedCheck::Finding>& findings);
    FeedCheck::Options checkOptions() const;
    // Before export and upload: true to go on; with Fehler the user is asked,
    // and "Nein" shows the findings.
    bool confirmPublishing();

    bool FormCloseQuery();
    void FormShow();
    // Save and Save As; false when the user cancelled the file dialog or
    // the overwrite question.
    bool saveCurrent();
    bool saveCurrentAs();
    void takeName(const QString& path);
    void setStatusText(const QString& text);
    void openProject(const QString& path);
    bool runEntryDialog(TfrmEntry& dialog);
    void showMovedEntry(int index);
    void buildRecentMenu(QMenu* fileMenu);
    void rebuildRecentMenu();
    void noteRecentFile(const QString& path);
    void startRecovery();
    void markUnchanged();
    void endRecovery();
    QByteArray projectData();
    QByteArray projectHash();
    void onFocusChanged(QWidget* old, QWidget* now);
    static QStringList localFiles(const QMimeData* data);
    // Gives the heap's free memory back to the system once a project was
    // read or replaced, so that the file's passing tree and the old entries
    // do not stay resident. Not after a save: the next save reuses that
    // memory, and taking it back page by page would slow every save.
    static void releaseFreedMemory();

    UserInteraction& m_ui;
    Options m_options;
    EntryDialogRunner m_runEntryDialog;
    FtpDialogRunner m_runFtpDialog;
    TfrmFTPLog* frmFTPLog = nullptr;
    bool m_shownOnce = false;

    std::unique_ptr<RecentFiles> m_recent;
    QMenu* mnuRecent = nullptr;
    std::unique_ptr<RecoveryStore> m_recovery;
    QTimer* m_recoveryTimer = nullptr;
    QByteArray m_fileHash;         // of what was last opened or saved
    QByteArray m_copyHash;         // of the recovery copy on disk
    bool m_recoveryFailed = false; // reported once until a write succeeds

    bool bSaved = false;
    QString fileName;
    NewsEntryList ListField;

    // Channel key -> its control, gathered once the layout stands.
    QHash<QString, QWidget*> m_channelControls;

    QTabWidget* tPageControl = nullptr;
    QTextBrowser* HelpBrowser = nullptr;
    QLabel* m_statusLabel = nullptr;
    QTableView* lstNews = nullptr;
    EntryListModel* m_entryModel = nullptr;
    QWidget* panelTime = nullptr;
    QPlainTextEdit* memoDescription = nullptr;
    QWidget* panelFindings = nullptr;
    QLabel* m_findingsSummary = nullptr;
    QTableWidget* lstFindings = nullptr;
    QList<FeedCheck::Finding> m_findings;
};
