#include "uFTPBrowser.h"

#include "app/UserInteraction.h"
#include "ftp/PublishJob.h"
#include "platform/RegionalSettings.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kDirMark = QStringLiteral("<DIR>");
const QColor kSelectionBackground(0, 110, 155);

// Draws the status list's lines: sent lines red, received blue, the newest
// (selected) line white on blue-green, and a PASS line without its password.
class StatusDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const auto look =
            TfrmFTPBrowser::statusLook(index.data().toString(), selected, option.palette);
        painter->save();
        painter->fillRect(option.rect, look.background);
        painter->setPen(look.text);
        painter->setFont(option.font);
        painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          look.shownText);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 14};
    }
};

QString dateText(const QDateTime& moment)
{
    if (!moment.isValid())
        return {};
    const RegionalSettings& regional = RegionalSettings::current();
    return regional.formatDate(moment.date()) + QStringLiteral("     ") +
           regional.formatTime(moment.time());
}

} // namespace

TfrmFTPBrowser::TfrmFTPBrowser(UserInteraction& ui, QWidget* owner)
    : QDialog(owner), m_ui(ui), m_worker(this)
{
    setObjectName(QStringLiteral("frmFTPBrowser"));
    setWindowTitle(QStringLiteral("FTP-Browser"));
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::WindowModal);

    auto makeAction = [this](const char* name, const QString& caption, QStyle::StandardPixmap icon,
                             void (TfrmFTPBrowser::*handler)()) {
        return commandAction(this, m_ui, name, caption, style()->standardIcon(icon),
                             [this, handler] { (this->*handler)(); });
    };
    actConnect = makeAction("actConnect", QStringLiteral("Verbinden"), QStyle::SP_DriveNetIcon,
                            &TfrmFTPBrowser::actConnectExecute);
    actFolderUp = makeAction("actFolderUp", QStringLiteral("Ebene hoch"),
                             QStyle::SP_FileDialogToParent, &TfrmFTPBrowser::actFolderUpExecute);
    actOvertake = makeAction("actOvertake", QStringLiteral("Übernehmen"),
                             QStyle::SP_DialogApplyButton, &TfrmFTPBrowser::actOvertakeExecute);
    actExit = makeAction("actExit", QStringLiteral("Verlassen"), QStyle::SP_DialogCloseButton,
                         &TfrmFTPBrowser::actExitExecute);

    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(QStringLiteral("&Datei"));
    file->addActions({actConnect, actOvertake});
    file->addSeparator();
    file->addAction(actExit);

    auto* toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->addActions({actConnect, actFolderUp});
    toolBar->addSeparator();
    toolBar->addAction(actOvertake);
    toolBar->addSeparator();
    toolBar->addAction(actExit);
    // The style has some icons (the network drive of "Verbinden") only in a
    // smaller size; scaled up, all buttons show icons of one size.
    const QSize iconSize = toolBar->iconSize();
    for (QAction* action : toolBar->actions()) {
        if (action->isSeparator())
            continue;
        const QPixmap pixmap = action->icon().pixmap(iconSize);
        if (!pixmap.isNull() && pixmap.size() != iconSize)
            action->setIcon(
                QIcon(pixmap.scaled(iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        if (QWidget* w = toolBar->widgetForAction(action))
            w->setMinimumSize(68, 36);
    }

    edtVerzeichnis = new QLineEdit(this);
    edtVerzeichnis->setObjectName(QStringLiteral("edtVerzeichnis"));

    lstDirectory = new QTreeWidget(this);
    lstDirectory->setObjectName(QStringLiteral("lstDirectory"));
    lstDirectory->setColumnCount(4);
    lstDirectory->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Größe"), QStringLiteral("Datum"), QString()});
    lstDirectory->setRootIsDecorated(false);
    lstDirectory->setSortingEnabled(false);
    lstDirectory->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDirectory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstDirectory->setIconSize(QSize(16, 16));
    lstDirectory->header()->setSectionsClickable(false);
    lstDirectory->installEventFilter(this);
    connect(lstDirectory, &QTreeWidget::itemDoubleClicked, this,
            [this] { runCommand(m_ui, this, [this] { lstDirectoryDblClick(); }); });

    lstStatus = new QListWidget(this);
    lstStatus->setObjectName(QStringLiteral("lstStatus"));
    lstStatus->setFixedHeight(90);
    lstStatus->setUniformItemSizes(true);
    QFont courier(QStringLiteral("Courier New"), 8);
    courier.setStyleHint(QFont::TypeWriter);
    lstStatus->setFont(courier);
    lstStatus->setItemDelegate(new StatusDelegate(lstStatus));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->setMenuBar(menuBar);
    layout->addWidget(toolBar);
    layout->addWidget(edtVerzeichnis);
    layout->addWidget(lstDirectory, 1);
    layout->addWidget(lstStatus);
    resize(858, 490);
}

TfrmFTPBrowser::~TfrmFTPBrowser()
{
    // The session's sockets belong to the worker thread: close them there.
    if (m_session)
        m_worker.run([this] { m_session.reset(); }, [] {});
}

TfrmFTPBrowser::StatusLook TfrmFTPBrowser::statusLook(const QString& itemText, bool selected,
                                                      const QPalette& palette)
{
    StatusLook look;
    look.text = palette.color(QPalette::Text);
    if (itemText.contains(u">>"))
        look.text = QColor(255, 0, 0);
    if (itemText.contains(u"<<"))
        look.text = QColor(0, 0, 255);
    look.background = palette.color(QPalette::Base);
    if (selected) {
        look.background = kSelectionBackground;
        look.text = Qt::white;
    }
    look.shownText = itemText.contains(u"PASS ") ? QStringLiteral(">> PASS *********") : itemText;
    return look;
}

void TfrmFTPBrowser::addStatusItem(const QString& text)
{
    lstStatus->addItem(text);
    // The newest line is the selected one, always in view.
    lstStatus->setCurrentRow(lstStatus->count() - 1);
    lstStatus->scrollToBottom();
}

void TfrmFTPBrowser::AddWireLines(const QString& prefix, QString text)
{
    while (!text.isEmpty()) {
        const qsizetype cr = text.indexOf(u'\r');
        QString line;
        if (cr >= 0) {
            line = text.left(cr);
            qsizetype cut = cr + 1;
            if (cut < text.size() && text[cut] == u'\n')
                ++cut;
            text.remove(0, cut);
        } else {
            line = text;
            text.clear();
        }
        addStatusItem(prefix + line);
    }
}

FtpWorker::Outcome TfrmFTPBrowser::runStep(const std::function<void()>& step)
{
    const FtpWorker::Outcome outcome = m_worker.run(step, [this] {
        if (RemoteSession* session = m_running.load())
            session->abort();
    });
    // A cancel pressed as the step ended must not fail the next one.
    if (m_session)
        m_session->resetAbort();
    if (outcome.cancelled && outcome.error)
        addStatusItem(FtpPublish::kCancelledLine);
    return outcome;
}

void TfrmFTPBrowser::actConnectExecute()
{
    if (m_connected)
        return;
    RemoteSettings settings;
    settings.protocol = Protocol;
    settings.host = ServerName;
    settings.port = quint16(ServerPort); // the low 16 bits, as the client keeps them
    settings.username = Username;
    settings.password = Password;
    settings.passive = Passiv;
    // The hooks run on the worker thread; the lines are added on this one,
    // in order, as they happen.
    RemoteHooks hooks;
    hooks.wire = [this](bool sent, const QString& line) {
        FtpWorker::post(this, [this, sent, line] {
            AddWireLines(sent ? QStringLiteral(">> ") : QStringLiteral("<< "), line);
        });
    };
    hooks.status = [this](const QString& text) {
        FtpWorker::post(this, [this, text] { addStatusItem(text); });
    };
    hooks.askTrust = FtpWorker::trustAsker(m_ui, this);
    QString current;
    const FtpWorker::Outcome outcome = runStep([this, &settings, &hooks, &current] {
        m_session.reset();
        if (settings.host.isEmpty())
            throw Error(QStringLiteral("Kein Server angegeben."));
        m_session = makeRemoteSession(settings, hooks);
        m_running.store(m_session.get());
        try {
            m_session->connect();
            current = m_session->currentDir();
        } catch (...) {
            // A login that half worked must not block the next Connect.
            m_running.store(nullptr);
            m_session.reset();
            throw;
        }
    });
    if (outcome.error) {
        if (!outcome.cancelled)
            m_ui.showError(this, QStringLiteral("Fehler beim Verbinden, bitte prüfen Sie die "
                                                "Zugangsdaten im Hauptfenster."));
        return;
    }
    m_connected = true;
    ChangeFolder(current);
    if (m_connected)
        actConnect->setEnabled(false);
}

void TfrmFTPBrowser::ChangeFolder(const QString& path)
{
    QString current;
    TIdFTPListItems items;
    const FtpWorker::Outcome outcome = runStep([this, &path, &current, &items] {
        m_session->changeDir(path);
        current = m_session->currentDir();
        items = m_session->list();
    });
    if (outcome.error) {
        folderFailed(outcome);
        return;
    }
    edtVerzeichnis->setText(current);
    lstDirectory->clear();
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    // "." and ".." lead to this folder and the one above; listings seldom
    // carry them, so they are always shown first.
    TIdFTPListItems shown;
    for (const char* name : {".", ".."}) {
        TIdFTPListItem item;
        item.FileName = QString::fromLatin1(name);
        item.ItemType = ditDirectory;
        shown.push_back(item);
    }
    for (const TIdFTPListItem& entry : items)
        if (entry.FileName != u"." && entry.FileName != u"..")
            shown.push_back(entry);
    for (const TIdFTPListItem& entry : shown) {
        const bool folder = entry.ItemType == ditDirectory;
        auto* row = new QTreeWidgetItem(lstDirectory);
        row->setText(0, entry.FileName);
        row->setText(1, folder ? QString() : QString::number(entry.Size));
        row->setText(2, dateText(entry.ModifiedDate));
        row->setText(3, folder ? kDirMark : QString());
        row->setIcon(0, folder ? folderIcon : fileIcon);
    }
    for (int c = 0; c < 3; ++c)
        lstDirectory->resizeColumnToContents(c);
}

void TfrmFTPBrowser::folderFailed(const FtpWorker::Outcome& outcome)
{
    if (!outcome.cancelled)
        m_ui.showError(this, QStringLiteral("Die Verbindung wurde unterbrochen, bitte verbinden "
                                            "Sie neu."));
    CloseConnection();
}

void TfrmFTPBrowser::CloseConnection()
{
    edtVerzeichnis->setText(QStringLiteral("/"));
    lstDirectory->clear();
    actConnect->setEnabled(true);
    m_connected = false;
    m_worker.run(
        [this] {
            if (m_session)
                m_session->quit();
            m_running.store(nullptr);
            m_session.reset();
        },
        [this] {
            if (RemoteSession* session = m_running.load())
                session->abort();
        });
}

void TfrmFTPBrowser::reloadFolder()
{
    QString current;
    const FtpWorker::Outcome outcome =
        runStep([this, &current] { current = m_session->currentDir(); });
    if (outcome.error) {
        folderFailed(outcome);
        return;
    }
    ChangeFolder(current);
}

void TfrmFTPBrowser::lstDirectoryDblClick()
{
    if (!m_connected)
        return;
    const QTreeWidgetItem* row = lstDirectory->currentItem();
    if (row && row->isSelected() && row->text(3) == kDirMark)
        ChangeFolder(row->text(0));
}

void TfrmFTPBrowser::lstDirectoryKeyDown(int key)
{
    if (!m_connected)
        return;
    if (key == Qt::Key_F5)
        reloadFolder();
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        lstDirectoryDblClick();
}

bool TfrmFTPBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstDirectory && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_F5 || key == Qt::Key_Return || key == Qt::Key_Enter) {
            runCommand(m_ui, this, [this, key] { lstDirectoryKeyDown(key); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmFTPBrowser::actFolderUpExecute()
{
    if (m_connected)
        ChangeFolder(QStringLiteral(".."));
}

void TfrmFTPBrowser::actOvertakeExecute()
{
    if (!m_connected) {
        m_ui.showMessage(this, QStringLiteral("Sie sind nicht verbunden, verbinden Sie sich mit "
                                              "dem Server und wählen Sie dann den Ordner aus."));
        return;
    }
    const QString path = edtVerzeichnis->text();
    const auto answer = m_ui.ask(
        this, QStringLiteral("Bestätigen"),
        QStringLiteral("Soll der Pfad \"%1\" in das Hauptfenster übernommen werden?").arg(path),
        UserInteraction::Icon::Question, false);
    if (answer != UserInteraction::Answer::Yes)
        return;
    SelectedPath = path;
    accept();
}

void TfrmFTPBrowser::actExitExecute()
{
    reject();
}

void TfrmFTPBrowser::done(int result)
{
    if (m_connected || m_session)
        CloseConnection();
    QDialog::done(result);
}
