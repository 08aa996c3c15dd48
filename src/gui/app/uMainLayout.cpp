// The main window's widgets, actions, menus and tool bar.
#include "Controls.h"
#include "EntryListModel.h"
#include "LazyIcons.h"
#include "document/ChannelSettings.h"
#include "uMain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

namespace {

struct ActionDef
{
    const char* name;
    const char* caption;
    QKeySequence::StandardKey shortcut;
    QStyle::StandardPixmap icon;
    void (TForm1::*handler)();
};

const ActionDef kActions[] = {
    {"actNew", "&Neu", QKeySequence::New, QStyle::SP_FileIcon, &TForm1::actNewExecute},
    {"actOpen", "Ö&ffnen", QKeySequence::Open, QStyle::SP_DialogOpenButton,
     &TForm1::actOpenExecute},
    {"actSave", "&Speichern", QKeySequence::Save, QStyle::SP_DialogSaveButton,
     &TForm1::actSaveExecute},
    {"actSaveAs", "Speichern &unter", QKeySequence::UnknownKey, QStyle::SP_DriveFDIcon,
     &TForm1::actSaveAsExecute},
    {"actExit", "Verlassen", QKeySequence::UnknownKey, QStyle::SP_DialogCloseButton,
     &TForm1::actExitExecute},
    {"actUpload", "FTP-Upload", QKeySequence::UnknownKey, QStyle::SP_ArrowUp,
     &TForm1::actUploadExecute},
    {"actExportRSS", "RSS erzeugen und speichern", QKeySequence::UnknownKey,
     QStyle::SP_FileDialogDetailedView, &TForm1::actExportRSSExecute},
    {"actFTPProfiles", "FTP-Profile", QKeySequence::UnknownKey, QStyle::SP_DriveNetIcon,
     &TForm1::actFTPProfilesExecute},
    {"actUpdateInformation", "Auf neue Version prüfen", QKeySequence::UnknownKey,
     QStyle::SP_BrowserReload, &TForm1::actUpdateInformationExecute},
    {"actInfo", "Info", QKeySequence::UnknownKey, QStyle::SP_MessageBoxInformation,
     &TForm1::actInfoExecute},
    {"actHelp", "&Hilfe", QKeySequence::UnknownKey, QStyle::SP_MessageBoxQuestion,
     &TForm1::actHelpExecute},
    {"actCheckFeed", "Feed prüfen", QKeySequence::UnknownKey, QStyle::SP_DialogApplyButton,
     &TForm1::actCheckFeedExecute},
    {"actImportFeed", "Feed &importieren...", QKeySequence::UnknownKey, QStyle::SP_ArrowDown,
     &TForm1::actImportFeedExecute},
};

// A framed panel with its heading; fields go into the returned layout.
QFrame* makePanel(QWidget* parent, const char* name, const QString& heading, QVBoxLayout** body)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Raised);
    auto* layout = new QVBoxLayout(panel);
    layout->setSpacing(3);
    layout->addWidget(Controls::heading(panel, heading));
    *body = layout;
    return panel;
}

QPushButton* ellipsisButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedWidth(28);
    return button;
}

// A row of widgets; a null widget stands for stretch.
QHBoxLayout* row(std::initializer_list<QWidget*> widgets)
{
    auto* layout = new QHBoxLayout;
    for (QWidget* w : widgets) {
        if (w)
            layout->addWidget(w);
        else
            layout->addStretch(1);
    }
    return layout;
}

QLabel* explanation(QWidget* parent, const char* text)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setWordWrap(false);
    return l;
}

} // namespace

void TForm1::connectCommand(QAction* action, void (TForm1::*handler)())
{
    connect(action, &QAction::triggered, this,
            [this, handler] { runCommand(m_ui, this, [this, handler] { (this->*handler)(); }); });
}

void TForm1::connectCommand(QAbstractButton* button, void (TForm1::*handler)())
{
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { runCommand(m_ui, this, [this, handler] { (this->*handler)(); }); });
}

void TForm1::buildActions()
{
    for (const ActionDef& def : kActions) {
        auto* action = new QAction(QString::fromUtf8(def.caption), this);
        action->setObjectName(QString::fromLatin1(def.name));
        action->setIcon(LazyIcons::standard(this, def.icon));
        if (def.shortcut != QKeySequence::UnknownKey)
            action->setShortcut(def.shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        connectCommand(action, def.handler);
    }
    findChild<QAction*>(QStringLiteral("actExportRSS"))->setIconText(QStringLiteral("RSS-Export"));
    findChild<QAction*>(QStringLiteral("actCheckFeed"))->setShortcut(Qt::Key_F7);
}

void TForm1::buildMenusAndToolBar()
{
    auto act = [this](const char* name) {
        return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->addAction(act("actNew"));
    file->addSeparator();
    file->addAction(act("actOpen"));
    file->addAction(act("actImportFeed"));
    buildRecentMenu(file);
    file->addAction(act("actSave"));
    file->addAction(act("actSaveAs"));
    file->addSeparator();
    file->addAction(act("actCheckFeed"));
    file->addSeparator();
    file->addAction(act("actExit"));

    QMenu* exportMenu = menuBar()->addMenu(QStringLiteral("&Export"));
    exportMenu->setObjectName(QStringLiteral("mnuExport"));
    // The menu names the upload more fully than the action does.
    QAction* upload =
        exportMenu->addAction(act("actUpload")->icon(), QStringLiteral("FTP-Upload der RSS-Datei"));
    upload->setObjectName(QStringLiteral("mnuUpload"));
    connect(upload, &QAction::triggered, act("actUpload"), &QAction::trigger);
    exportMenu->addAction(act("actExportRSS"));

    QMenu* settings = menuBar()->addMenu(QStringLiteral("Einstellungen"));
    settings->setObjectName(QStringLiteral("mnuSettings"));
    settings->addAction(act("actFTPProfiles"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->addAction(act("actHelp"));
    help->addAction(act("actUpdateInformation"));
    help->addAction(act("actInfo"));

    QToolBar* bar = addToolBar(QStringLiteral("Werkzeugleiste"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(16, 16));
    bar->addAction(act("actNew"));
    bar->addAction(act("actOpen"));
    bar->addAction(act("actSave"));
    bar->addSeparator();
    bar->addAction(act("actCheckFeed"));
    bar->addAction(act("actExportRSS"));
    bar->addAction(act("actUpload"));
    bar->addSeparator();
    bar->addAction(act("actHelp"));
    bar->addAction(act("actExit"));
    for (QToolButton* button : bar->findChildren<QToolButton*>())
        button->setMinimumWidth(65);
}

void TForm1::buildLayout()
{
    buildActions();
    buildMenusAndToolBar();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    tPageControl = new QTabWidget(central);
    tPageControl->setObjectName(QStringLiteral("tPageControl"));
    tPageControl->addTab(buildPropertiesPage(), QStringLiteral("Eigenschaften"));
    tPageControl->addTab(buildEntriesPage(), QStringLiteral("Einträge"));
    tPageControl->addTab(buildRefreshPage(), QStringLiteral("Aktualisierung"));
    tPageControl->addTab(buildOtherSettingsPage(), QStringLiteral("Sonstige Einstellungen"));
    tPageControl->addTab(buildFtpPage(), QStringLiteral("FTP + Upload"));

    HelpBrowser = Controls::helpBrowser(central);
    HelpBrowser->setFixedHeight(65);

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(tPageControl, 1);
    panelFindings = buildFindingsPanel(central);
    layout->addWidget(panelFindings);
    layout->addWidget(HelpBrowser);
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    // A permanent label: QStatusBar's own message is cleared by status tips.
    m_statusLabel = new QLabel(statusBar());
    m_statusLabel->setObjectName(QStringLiteral("StatusBar1Text"));
    statusBar()->addWidget(m_statusLabel, 1);

    bindChannelControls();
}

QWidget* TForm1::buildPropertiesPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsProperties"));

    QVBoxLayout* general = nullptr;
    QFrame* generalPanel =
        makePanel(page, "panelGeneral", QStringLiteral("Allgemeine Einstellungen"), &general);
    auto* edtFeedTitle = Controls::lineEdit(generalPanel, "edtFeedTitle");
    auto* edtLink = Controls::lineEdit(generalPanel, "edtLink");
    memoDescription = Controls::memo(generalPanel, "memoDescription");
    auto* btHtmlEdit = new QPushButton(QStringLiteral("..."), generalPanel);
    btHtmlEdit->setObjectName(QStringLiteral("btHtmlEditBeschreibung"));
    btHtmlEdit->setFixedWidth(28);
    btHtmlEdit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    connectCommand(btHtmlEdit, &TForm1::btHtmlEditBeschreibungClick);
    general->addWidget(Controls::label(generalPanel, QStringLiteral("Feed-Titel:"), edtFeedTitle));
    general->addWidget(edtFeedTitle);
    general->addWidget(Controls::label(generalPanel, QStringLiteral("Link:"), edtLink));
    general->addWidget(edtLink);
    general->addWidget(
        Controls::label(generalPanel, QStringLiteral("Beschreibung:"), memoDescription));
    auto* descriptionRow = row({memoDescription, btHtmlEdit});
    general->addLayout(descriptionRow, 1);

    QVBoxLayout* owner = nullptr;
    QFrame* ownerPanel = makePanel(page, "panelOwner", QStringLiteral("Feed-Eigentümer"), &owner);
    auto* edtOwnerName = Controls::lineEdit(ownerPanel, "edtOwnerName");
    auto* edtOwnerMail = Controls::lineEdit(ownerPanel, "edtOwnerMail");
    auto* edtCopyright = Controls::lineEdit(ownerPanel, "edtCopyright");
    owner->addWidget(Controls::label(ownerPanel, QStringLiteral("Name:"), edtOwnerName));
    owner->addWidget(edtOwnerName);
    owner->addWidget(Controls::label(ownerPanel, QStringLiteral("E-Mail:"), edtOwnerMail));
    owner->addWidget(edtOwnerMail);
    owner->addWidget(Controls::label(ownerPanel, QStringLiteral("Copyright:"), edtCopyright));
    owner->addWidget(edtCopyright);
    owner->addStretch(1);

    QVBoxLayout* time = nullptr;
    panelTime =
        makePanel(page, "panelTime", QStringLiteral("Einstellungen Datum und Uhrzeit"), &time);
    auto* chkPublish = Controls::checkBox(panelTime, "chkPublish");
    auto* datePublish = Controls::dateEdit(panelTime, "datePublish");
    auto* publishTime = Controls::timeEdit(panelTime, "publishTime");
    auto* btPubDateRefresh = Controls::refreshButton(panelTime, "btPubDateRefresh");
    connectCommand(btPubDateRefresh, &TForm1::btPubDateRefreshClick);
    auto* chkLastChange = Controls::checkBox(panelTime, "chkLastChange");
    auto* dateLastChange = Controls::dateEdit(panelTime, "dateLastChange");
    auto* timeLastChange = Controls::timeEdit(panelTime, "timeLastChange");
    auto* btRefreshLastChange = Controls::refreshButton(panelTime, "btRefreshLastChange");
    connectCommand(btRefreshLastChange, &TForm1::btRefreshLastChangeClick);
    time->addWidget(
        Controls::label(panelTime, QStringLiteral("Erscheinungszeitpunkt:"), datePublish));
    time->addLayout(row({chkPublish, datePublish, publishTime, btPubDateRefresh, nullptr}));
    time->addWidget(Controls::label(panelTime, QStringLiteral("Zeitpunkt der letzten Änderung"),
                                    dateLastChange));
    time->addLayout(
        row({chkLastChange, dateLastChange, timeLastChange, btRefreshLastChange, nullptr}));
    time->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(ownerPanel, 1);
    right->addWidget(panelTime);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(generalPanel, 1);
    layout->addLayout(right, 1);
    return page;
}

QWidget* TForm1::buildEntriesPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsEntries"));

    auto button = [page](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, page);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    QPushButton* btNewNews = button("btNewNews", QStringLiteral("Neu"));
    QPushButton* btEditNews = button("btEditNews", QStringLiteral("Bearbeiten"));
    QPushButton* btDelete = button("btDelete", QStringLiteral("Löschen"));
    QPushButton* btUp = button("btUp", {});
    btUp->setIcon(LazyIcons::standard(this, QStyle::SP_ArrowUp));
    btUp->setToolTip(QStringLiteral("Nach oben"));
    QPushButton* btDown = button("btDown", {});
    btDown->setIcon(LazyIcons::standard(this, QStyle::SP_ArrowDown));
    btDown->setToolTip(QStringLiteral("Nach unten"));
    connectCommand(btNewNews, &TForm1::btNewNewsClick);
    connectCommand(btEditNews, &TForm1::btEditNewsClick);
    connectCommand(btDelete, &TForm1::btDeleteClick);
    connectCommand(btUp, &TForm1::btUpClick);
    connectCommand(btDown, &TForm1::btDownClick);

    m_entryModel = new EntryListModel(ListField, this);
    lstNews = new QTableView(page);
    lstNews->setObjectName(QStringLiteral("lstNews"));
    lstNews->setModel(m_entryModel);
    lstNews->setShowGrid(true);
    lstNews->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstNews->setSelectionMode(QAbstractItemView::SingleSelection);
    lstNews->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstNews->setWordWrap(false);
    lstNews->verticalHeader()->hide();
    lstNews->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lstNews->horizontalHeader()->setHighlightSections(false);
    lstNews->setColumnWidth(0, 150);
    lstNews->setColumnWidth(1, 150);
    lstNews->setColumnWidth(2, 200);
    lstNews->horizontalHeader()->setStretchLastSection(true);
    // One line of text per row, so that many entries are in view.
    lstNews->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstNews->verticalHeader()->setDefaultSectionSize(lstNews->fontMetrics().height() + 6);
    connect(lstNews, &QTableView::doubleClicked, this,
            [this] { runCommand(m_ui, this, [this] { btEditNewsClick(); }); });

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row({btNewNews, btEditNews, btDelete, btUp, btDown, nullptr}));
    layout->addWidget(lstNews, 1);
    return page;
}

QWidget* TForm1::buildRefreshPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsRefresh"));
    QVBoxLayout* body = nullptr;
    QFrame* panel = makePanel(page, "panelRefresh", QStringLiteral("Aktualisierung"), &body);

    auto* ttlGroup = new QGroupBox(QStringLiteral("TTL - Time To Live"), panel);
    ttlGroup->setObjectName(QStringLiteral("gbTTL"));
    auto* edtTTL = Controls::spinField(ttlGroup, "edtTTL");
    edtTTL->setMinimumWidth(90);
    auto* ttlLayout = new QHBoxLayout(ttlGroup);
    ttlLayout->addWidget(
        explanation(ttlGroup,
                    "Gibt das Zeitintervall in Minuten \nbis zur Erneuerung der Quelle an."),
        1);
    ttlLayout->addWidget(edtTTL, 0, Qt::AlignTop);

    auto* daysGroup = new QGroupBox(QStringLiteral("Tage ohne Aktualisierung"), panel);
    daysGroup->setObjectName(QStringLiteral("gbDays"));
    auto* daysLayout = new QVBoxLayout(daysGroup);
    daysLayout->setSpacing(1);
    daysLayout->addWidget(explanation(
        daysGroup,
        "Geben Sie hier die Tage an, an denen typischerweise\nkeine Aktualisierung erfolgt."));
    const char* dayCaptions[] = {"Montag",  "Dienstag", "Mittwoch", "Donnerstag",
                                 "Freitag", "Samstag",  "Sonntag"};
    const QStringList& dayKeys = ChannelSettings::dayKeys();
    for (int i = 0; i < dayKeys.size(); ++i)
        daysLayout->addWidget(Controls::checkBox(daysGroup, dayKeys[i].toLatin1().constData(),
                                                 QString::fromLatin1(dayCaptions[i])));
    daysLayout->addStretch(1);

    auto* hoursGroup = new QGroupBox(QStringLiteral("Stunden ohne Aktualisierung"), panel);
    hoursGroup->setObjectName(QStringLiteral("gbHours"));
    auto* hoursLayout = new QVBoxLayout(hoursGroup);
    hoursLayout->addWidget(explanation(hoursGroup, "Geben Sie hier die Stunden, an denen \n"
                                                   "typischerweise keine Aktualisierung \n"
                                                   "des Feeds erfolgt."));
    auto* hourGrid = new QGridLayout;
    hourGrid->setVerticalSpacing(1);
    const QStringList& hourKeys = ChannelSettings::hourKeys();
    for (int h = 0; h < hourKeys.size(); ++h) {
        auto* box = Controls::checkBox(hoursGroup, hourKeys[h].toLatin1().constData(),
                                       QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0')));
        hourGrid->addWidget(box, h % 8, h / 8);
    }
    hoursLayout->addLayout(hourGrid);
    hoursLayout->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addWidget(ttlGroup);
    left->addWidget(daysGroup, 1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addWidget(hoursGroup, 1);
    body->addLayout(columns, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(panel);
    return page;
}

QWidget* TForm1::buildOtherSettingsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsOtherSettings"));

    QVBoxLayout* logo = nullptr;
    QFrame* panelLogo = makePanel(page, "panelLogo", QStringLiteral("Logo"), &logo);
    auto* edtLogoUrl = Controls::lineEdit(panelLogo, "edtLogoUrl");
    auto* btReadPicture = new QPushButton(QStringLiteral("Einlesen"), panelLogo);
    btReadPicture->setObjectName(QStringLiteral("btReadPicture"));
    connectCommand(btReadPicture, &TForm1::btReadPictureClick);
    auto* edtLogoWidth = Controls::spinField(panelLogo, "edtLogoWidth");
    auto* edtLogoHeight = Controls::spinField(panelLogo, "edtLogoHeight");
    auto* logoPicture = new QLabel(panelLogo);
    logoPicture->setObjectName(QStringLiteral("logoPicture"));
    logoPicture->setFixedSize(183, 95);
    logoPicture->setFrameShape(QFrame::StyledPanel);
    logoPicture->setFrameShadow(QFrame::Sunken);
    logoPicture->setAlignment(Qt::AlignCenter);
    auto* edtLogoTitle = Controls::lineEdit(panelLogo, "edtLogoTitle");
    auto* edtLinkLogo = Controls::lineEdit(panelLogo, "edtLinkLogo");

    auto* sizes = new QVBoxLayout;
    sizes->addWidget(Controls::label(panelLogo, QStringLiteral("Breite in Pixel:"), edtLogoWidth));
    sizes->addWidget(edtLogoWidth);
    sizes->addWidget(Controls::label(panelLogo, QStringLiteral("Höhe in Pixel:"), edtLogoHeight));
    sizes->addWidget(edtLogoHeight);
    sizes->addStretch(1);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addLayout(sizes, 1);
    sizeRow->addWidget(logoPicture);

    logo->addWidget(Controls::label(panelLogo, QStringLiteral("URL zum Logo:"), edtLogoUrl));
    logo->addWidget(edtLogoUrl);
    logo->addLayout(row({btReadPicture, nullptr}));
    logo->addLayout(sizeRow);
    logo->addWidget(Controls::label(panelLogo, QStringLiteral("Titel:"), edtLogoTitle));
    logo->addWidget(edtLogoTitle);
    logo->addWidget(Controls::label(panelLogo, QStringLiteral("Link des Bildes:"), edtLinkLogo));
    logo->addWidget(edtLinkLogo);
    logo->addStretch(1);

    QVBoxLayout* other = nullptr;
    QFrame* panelOther = makePanel(page, "panelOther", QStringLiteral("Sonstiges"), &other);
    auto* cboLanguage = new QComboBox(panelOther);
    cboLanguage->setObjectName(QStringLiteral("cboLanguage"));
    cboLanguage->setEditable(false);
    cboLanguage->addItems(ChannelSettings::languages());
    cboLanguage->setCurrentIndex(ChannelSettings::kDefaultLanguageIndex);
    cboLanguage->setMaxVisibleItems(20);
    auto* edtGUID = Controls::lineEdit(panelOther, "edtGUID");
    // A whole GUID in view at the default window size, whatever its digits:
    // measured with the widest hexadecimal digit of the font.
    const QFontMetrics metrics = edtGUID->fontMetrics();
    QChar widest = u'0';
    for (QChar c : QStringLiteral("0123456789ABCDEF"))
        if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(widest))
            widest = c;
    const QString guidShape = QStringLiteral("{%1-%2-%2-%2-%3}")
                                  .arg(QString(8, widest), QString(4, widest), QString(12, widest));
    edtGUID->setMinimumWidth(metrics.horizontalAdvance(guidShape) + 16);
    auto* btRefreshGUID = Controls::refreshButton(panelOther, "btRefreshGUID");
    connectCommand(btRefreshGUID, &TForm1::btRefreshGUIDClick);
    // Stored and restored with the project, never shown.
    auto* cboEncoding = new QComboBox(panelOther);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->setEditable(true);
    cboEncoding->addItems(ChannelSettings::encodings());
    cboEncoding->setCurrentIndex(ChannelSettings::kDefaultEncodingIndex);
    auto* encodingLabel = Controls::label(panelOther, QStringLiteral("Kodierung"), cboEncoding);
    encodingLabel->hide();
    cboEncoding->hide();

    other->addWidget(Controls::label(panelOther, QStringLiteral("Sprache:"), cboLanguage));
    other->addWidget(cboLanguage);
    other->addWidget(Controls::label(panelOther, QStringLiteral("GUID:"), edtGUID));
    other->addLayout(row({edtGUID, btRefreshGUID}));
    other->addWidget(encodingLabel);
    other->addWidget(cboEncoding);
    other->addWidget(Controls::checkBox(panelOther, "chkEnclosures",
                                        QStringLiteral("Anhänge (enclosure) ins RSS schreiben")));
    other->addStretch(1);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(panelLogo, 1);
    layout->addWidget(panelOther, 1);
    return page;
}

QWidget* TForm1::buildFtpPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsFTP"));

    QVBoxLayout* ftp = nullptr;
    QFrame* panelFTP = makePanel(page, "panelFTP", QStringLiteral("FTP-Einstellungen"), &ftp);
    auto* edtFTPServer = Controls::lineEdit(panelFTP, "edtFTPServer");
    auto* edtFTPPort = Controls::lineEdit(panelFTP, "edtFTPPort");
    edtFTPPort->setText(QStringLiteral("21"));
    edtFTPPort->setFixedWidth(60);
    QPushButton* btFtpProfiles = ellipsisButton(panelFTP, "btFtpProfiles");
    btFtpProfiles->setToolTip(QStringLiteral("FTP-Profile..."));
    connectCommand(btFtpProfiles, &TForm1::actFTPProfilesExecute);
    QComboBox* cboFTPProtocol = Controls::protocolBox(panelFTP, "cboFTPProtocol");
    auto* edtFTPUserName = Controls::lineEdit(panelFTP, "edtFTPUserName");
    auto* edtFTPPassword = Controls::lineEdit(panelFTP, "edtFTPPassword");
    edtFTPPassword->setEchoMode(QLineEdit::Password);
    edtFTPPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    auto* edtFTPFolder = Controls::lineEdit(panelFTP, "edtFTPFolder");
    QPushButton* btFTPBrowse = ellipsisButton(panelFTP, "btFTPBrowse");
    btFTPBrowse->setToolTip(QStringLiteral("Ordner auf dem Server wählen..."));
    connectCommand(btFTPBrowse, &TForm1::btFTPBrowseClick);
    auto* chkFTPPassive =
        Controls::checkBox(panelFTP, "chkFTPPassive", QStringLiteral("Passiver Modus"));
    Controls::followProtocol(cboFTPProtocol, edtFTPPort, chkFTPPassive);

    ftp->addWidget(Controls::label(panelFTP, QStringLiteral("FTP-Server / Port:"), edtFTPServer));
    auto* serverRow = row({edtFTPServer, edtFTPPort, btFtpProfiles});
    serverRow->setStretch(0, 1);
    ftp->addLayout(serverRow);
    // Its own row: the longest caption would squeeze the server field.
    ftp->addWidget(Controls::label(panelFTP, QStringLiteral("Protokoll:"), cboFTPProtocol));
    ftp->addLayout(row({cboFTPProtocol, nullptr}));
    ftp->addWidget(Controls::label(panelFTP, QStringLiteral("Benutzername:"), edtFTPUserName));
    ftp->addWidget(edtFTPUserName);
    ftp->addWidget(Controls::label(panelFTP, QStringLiteral("Passwort:"), edtFTPPassword));
    ftp->addWidget(edtFTPPassword);
    ftp->addWidget(Controls::label(panelFTP, QStringLiteral("Verzeichnis:"), edtFTPFolder));
    ftp->addLayout(row({edtFTPFolder, btFTPBrowse}));
    ftp->addWidget(chkFTPPassive);
    ftp->addStretch(1);

    QVBoxLayout* pub = nullptr;
    QFrame* panel9 =
        makePanel(page, "Panel9", QStringLiteral("Veröffentlichung und Formate"), &pub);
    // Always built; the box only travels with the project.
    auto* chkGenRSS = Controls::checkBox(panel9, "chkGenRSS", QStringLiteral("RSS 2.0 erzeugen"));
    chkGenRSS->setChecked(true);
    chkGenRSS->setEnabled(false);
    auto* edtFileNameRSS = Controls::lineEdit(panel9, "edtFileNameRSS");
    edtFileNameRSS->setText(QStringLiteral("rss.xml"));
    auto* rssLabel = Controls::label(panel9, QStringLiteral("Dateiname:"), edtFileNameRSS);
    auto* edtFeedUrl = Controls::lineEdit(panel9, "edtFeedUrl");
    edtFeedUrl->setPlaceholderText(QStringLiteral("https://www.example.org/rss.xml"));
    auto* feedUrlLabel = Controls::label(panel9, QStringLiteral("Adresse des Feeds:"), edtFeedUrl);

    // No Atom document is ever built; its settings only travel with the project.
    auto* atomLine = new QFrame(panel9);
    atomLine->setObjectName(QStringLiteral("Bevel1"));
    atomLine->setFrameShape(QFrame::HLine);
    auto* atomPicture = new QLabel(panel9);
    atomPicture->setObjectName(QStringLiteral("imgAtom"));
    auto* chkGenAtom =
        Controls::checkBox(panel9, "chkGenAtom", QStringLiteral("ATOM 1.0 erzeugen"));
    chkGenAtom->setChecked(true);
    auto* edtFileNameAtom = Controls::lineEdit(panel9, "edtFileNameAtom");
    edtFileNameAtom->setText(QStringLiteral("atom.xml"));
    auto* atomLabel = Controls::label(panel9, QStringLiteral("Dateiname:"), edtFileNameAtom);
    for (QWidget* hidden : std::initializer_list<QWidget*>{atomLine, atomPicture, chkGenAtom,
                                                           edtFileNameAtom, atomLabel})
        hidden->hide();

    auto* btFTPUpload = new QPushButton(QStringLiteral("FTP-Upload durchführen"), panel9);
    btFTPUpload->setObjectName(QStringLiteral("btFTPUpload"));
    connectCommand(btFTPUpload, &TForm1::actUploadExecute);

    pub->addWidget(chkGenRSS);
    auto* rssRow = row({rssLabel, edtFileNameRSS});
    rssRow->setStretch(1, 1);
    pub->addLayout(rssRow);
    pub->addWidget(feedUrlLabel);
    pub->addWidget(edtFeedUrl);
    pub->addWidget(atomLine);
    pub->addWidget(atomPicture);
    pub->addWidget(chkGenAtom);
    pub->addLayout(row({atomLabel, edtFileNameAtom}));
    pub->addStretch(1);
    pub->addLayout(row({nullptr, btFTPUpload}));

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(panelFTP, 1);
    layout->addWidget(panel9, 1);
    return page;
}

void TForm1::bindChannelControls()
{
    for (const ChannelSetting& setting : ChannelSettings::all()) {
        const QString key = QString::fromLatin1(setting.key);
        auto* control = findChild<QWidget*>(key);
        if (!control)
            throw std::logic_error("no control for channel key " + std::string(setting.key));
        m_channelControls.insert(key, control);
    }
}
