#include "uMain.h"

#include "About.h"
#include "Controls.h"
#include "EntryListModel.h"
#include "HelpPages.h"
#include "document/ProjectFile.h"
#include "document/uGlobalTools.h"
#include "htmledit/uHtmlTools.h"
#include "output/Rss20.h"
#include "platform/Folders.h"
#include "platform/RecentFiles.h"
#include "platform/RecoveryStore.h"
#include "splash.h"
#include "uEntryDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QUrl>
#include <stdexcept>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const QString kProjectFilter =
    QStringLiteral("Tavistrel-Datei (*.tvst)|*.tvst|Alle Dateien (*.*)|*.*");
const QString kRssFilter = QStringLiteral("RSS-Datei (*.xml)|*.xml|Alle Dateien (*.*)|*.*");
const QString kUnnamed = QStringLiteral("unbenannt.tvst");

// Controls that show their own help page when they get the focus.
const QStringList kHelpFields = {
    "edtFeedTitle", "edtLink",    "memoDescription", "edtOwnerName", "edtOwnerMail",
    "edtCopyright", "edtLogoUrl", "edtLogoTitle",    "edtLogoWidth", "edtLogoHeight",
    "edtLinkLogo",  "edtGUID",    "cboLanguage",     "cboEncoding",
};

// The control a focused widget belongs to: Qt's inner widgets (the line edit
// of a spin box, a combo box's view) carry no name or a "qt_" one.
QWidget* namedControl(QWidget* widget)
{
    while (widget && (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_")))
        widget = widget->parentWidget();
    return widget;
}

bool contains(const QWidget* container, const QWidget* widget)
{
    return widget && (widget == container || container->isAncestorOf(widget));
}

} // namespace

TForm1::TForm1(UserInteraction& ui) : TForm1(ui, Options()) {}

TForm1::TForm1(UserInteraction& ui, Options options) : m_ui(ui), m_options(std::move(options))
{
    if (!m_options.clock)
        m_options.clock = [] { return QDateTime::currentDateTime(); };
    m_runEntryDialog = [](TfrmEntry& dialog) { return dialog.exec() == QDialog::Accepted; };

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tavistrel 1.1"));
    setAcceptDrops(true);
    buildLayout();
    // Fields take text drops themselves; file drops anywhere open projects.
    for (QWidget* child : findChildren<QWidget*>())
        if (child->acceptDrops())
            child->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &TForm1::onFocusChanged);
    connect(tPageControl, &QTabWidget::currentChanged, this,
            [this](int index) { helpEnterChange(tPageControl->widget(index)->objectName()); });

    const int menuHeight = menuBar() ? menuBar()->sizeHint().height() : 0;
    resize(QSize(658, 517 + menuHeight).expandedTo(sizeHint()));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    if (m_options.showSplash) {
        TfrmSplash splash(this);
        splash.exec();
    }
    bSaved = false;
    fileName.clear();
    Folders::ensureAppDataFolder();
    startRecovery();
    // The template is read once here; the first show reads the start-up
    // argument instead of reading the template a second time.
    NewDocument();
    helpEnterChange(tPageControl->currentWidget()->objectName());
}

TForm1::~TForm1()
{
    // Children lose the focus while they are destroyed; this window must not
    // hear of it any more.
    disconnect(qApp, nullptr, this, nullptr);
    endRecovery();
    // The list view, a child, lives on after ListField; it must not read it.
    lstNews->setModel(nullptr);
}

// --- Bindings -------------------------------------------------------------

QLineEdit* TForm1::textControl(QStringView key) const
{
    return qobject_cast<QLineEdit*>(m_channelControls.value(key.toString()));
}
QPlainTextEdit* TForm1::memoControl(QStringView key) const
{
    return qobject_cast<QPlainTextEdit*>(m_channelControls.value(key.toString()));
}
QCheckBox* TForm1::checkControl(QStringView key) const
{
    return qobject_cast<QCheckBox*>(m_channelControls.value(key.toString()));
}
QDateEdit* TForm1::dateControl(QStringView key) const
{
    return qobject_cast<QDateEdit*>(m_channelControls.value(key.toString()));
}
QTimeEdit* TForm1::timeControl(QStringView key) const
{
    return qobject_cast<QTimeEdit*>(m_channelControls.value(key.toString()));
}
QSpinBox* TForm1::spinControl(QStringView key) const
{
    return qobject_cast<QSpinBox*>(m_channelControls.value(key.toString()));
}
QComboBox* TForm1::choiceControl(QStringView key) const
{
    return qobject_cast<QComboBox*>(m_channelControls.value(key.toString()));
}

ChannelValue TForm1::channelValue(QStringView key) const
{
    const int index = ChannelSettings::indexOf(key);
    if (index < 0)
        throw std::out_of_range("unknown channel key: " + key.toString().toStdString());
    switch (ChannelSettings::all()[size_t(index)].kind) {
    case SettingKind::Text:
        return textControl(key)->text();
    case SettingKind::MultiLineText:
        return Controls::memoText(memoControl(key));
    case SettingKind::Boolean:
        return checkControl(key)->isChecked();
    case SettingKind::Date:
        return dateControl(key)->date();
    case SettingKind::Time:
        return timeControl(key)->time();
    case SettingKind::Number:
        return QString::number(spinControl(key)->value());
    case SettingKind::Choice:
    case SettingKind::EditableChoice:
        return choiceControl(key)->currentText();
    case SettingKind::Protocol:
        return protocolCode(Controls::protocolOf(choiceControl(key)));
    }
    throw std::logic_error("unknown setting kind");
}

void TForm1::setChannelValue(QStringView key, const ChannelValue& value)
{
    const int index = ChannelSettings::indexOf(key);
    if (index < 0)
        throw std::out_of_range("unknown channel key: " + key.toString().toStdString());
    switch (ChannelSettings::all()[size_t(index)].kind) {
    case SettingKind::Text: {
        QLineEdit* edit = textControl(key);
        edit->setText(std::get<QString>(value));
        edit->setCursorPosition(0); // show a long address from its start
        break;
    }
    case SettingKind::MultiLineText:
        Controls::setMemoText(memoControl(key), std::get<QString>(value));
        break;
    case SettingKind::Boolean:
        checkControl(key)->setChecked(std::get<bool>(value));
        break;
    case SettingKind::Date:
        dateControl(key)->setDate(std::get<QDate>(value));
        break;
    case SettingKind::Time:
        timeControl(key)->setTime(std::get<QTime>(value));
        break;
    case SettingKind::Number: {
        // A spin field shows only numbers: other text (hand-edited files)
        // shows as 0.
        bool ok = false;
        const int number = std::get<QString>(value).trimmed().toInt(&ok);
        spinControl(key)->setValue(ok ? number : 0);
        break;
    }
    case SettingKind::Choice: {
        // A value outside the list (hand-edited file) is shown as an extra
        // item after the fixed ones, so it survives the next save.
        QComboBox* box = choiceControl(key);
        const QString& text = std::get<QString>(value);
        const int fixed = int(ChannelSettings::languages().size());
        while (box->count() > fixed)
            box->removeItem(box->count() - 1);
        int found = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (found < 0) {
            box->addItem(text);
            found = box->count() - 1;
        }
        box->setCurrentIndex(found);
        break;
    }
    case SettingKind::EditableChoice:
        choiceControl(key)->setCurrentText(std::get<QString>(value));
        break;
    case SettingKind::Protocol:
        Controls::setProtocol(choiceControl(key), protocolFromCode(std::get<QString>(value)));
        break;
    }
}

FeedDocument TForm1::settingsFromControls() const
{
    FeedDocument document;
    const auto settings = ChannelSettings::all();
    for (size_t i = 0; i < settings.size(); ++i)
        document.setValue(int(i), channelValue(QString::fromLatin1(settings[i].key)));
    return document;
}

FeedDocument TForm1::documentFromControls() const
{
    FeedDocument document = settingsFromControls();
    document.entries = ListField;
    return document;
}

void TForm1::withDocument(const std::function<void(const FeedDocument&)>& use)
{
    // The entries are lent to the document, not copied: a large list would
    // otherwise be held twice while it is saved.
    FeedDocument document = settingsFromControls();
    document.entries = std::move(ListField);
    struct GiveBack
    {
        NewsEntryList& to;
        NewsEntryList& from;
        ~GiveBack() { to = std::move(from); }
    } giveBack{ListField, document.entries};
    use(document);
}

void TForm1::applyToControls(FeedDocument document)
{
    const auto settings = ChannelSettings::all();
    for (size_t i = 0; i < settings.size(); ++i)
        setChannelValue(QString::fromLatin1(settings[i].key), document.value(int(i)));
    m_entryModel->replaceAll(std::move(document.entries));
    // The preview shows the last check's picture; it never belongs to
    // another project.
    if (auto* preview = findChild<QLabel*>(QStringLiteral("logoPicture")))
        preview->clear();
    releaseFreedMemory();
}

// --- Name state and project file ------------------------------------------

QString TForm1::statusText() const
{
    return m_statusLabel->text();
}

void TForm1::setStatusText(const QString& text)
{
    m_statusLabel->setText(text);
}

void TForm1::takeName(const QString& path)
{
    bSaved = true;
    fileName = path;
    setStatusText(path);
    markUnchanged();
    noteRecentFile(path);
}

void TForm1::releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

bool TForm1::LoadProjectFile(const QString& path)
{
    FeedDocument document;
    try {
        document = ProjectFile::LoadProjectFile(path);
    } catch (const ProjectFileUnreadable& e) {
        // Missing, a folder, a FIFO, no permission: say which.
        m_ui.showMessage(this, e.message());
        return false;
    } catch (const std::exception&) {
        // The file is read completely before anything is shown, so a bad
        // file leaves the window as it was.
        m_ui.showMessage(this, kNotAProjectFileMessage);
        return false;
    }
    applyToControls(std::move(document));
    return true;
}

void TForm1::SaveProjectFile(const QString& path)
{
    withDocument(
        [&path](const FeedDocument& document) { ProjectFile::SaveProjectFile(document, path); });
    takeName(path);
}

void TForm1::openProject(const QString& path)
{
    if (!LoadProjectFile(path))
        return;
    takeName(path);
    // After the comparison copy that taking the name makes.
    releaseFreedMemory();
}

void TForm1::NewDocument()
{
    LoadProjectFile(Folders::programFolder() + QStringLiteral("default.tvst"));
    bSaved = false;
    setStatusText(kUnnamed);
    btPubDateRefreshClick();
    btRefreshLastChangeClick();
    btRefreshGUIDClick();
    markUnchanged();
}

UserInteraction::Answer TForm1::AskSaveCurrent()
{
    return m_ui.ask(this, QStringLiteral("Speichern?"),
                    QStringLiteral("Soll die aktuelle Datei gespeichert werden?"),
                    UserInteraction::Icon::Information, true);
}

bool TForm1::ConfirmOverwrite(const QString& path)
{
    if (!QFileInfo::exists(path))
        return true;
    return m_ui.ask(this, QStringLiteral("Überschreiben bestätigen"),
                    QStringLiteral("Soll die bestehende Datei überschrieben werden?"),
                    UserInteraction::Icon::Question, false) == UserInteraction::Answer::Yes;
}

// --- Document commands ----------------------------------------------------

bool TForm1::ConfirmSaveCurrent()
{
    switch (AskSaveCurrent()) {
    case UserInteraction::Answer::Cancel:
        return false;
    case UserInteraction::Answer::Yes:
        return saveCurrent(); // a failed write throws and so keeps the project
    default:
        return true;
    }
}

void TForm1::actNewExecute()
{
    if (ConfirmSaveCurrent())
        NewDocument();
}

void TForm1::actOpenExecute()
{
    if (!ConfirmSaveCurrent())
        return;
    const QString path = m_ui.getOpenFileName(this, kProjectFilter);
    if (path.isEmpty())
        return;
    openProject(path);
}

bool TForm1::saveCurrent()
{
    if (!bSaved)
        return saveCurrentAs();
    SaveProjectFile(fileName);
    return true;
}

bool TForm1::saveCurrentAs()
{
    const QString path = m_ui.getSaveFileName(this, kProjectFilter, QStringLiteral("tvst"), {});
    if (path.isEmpty() || !ConfirmOverwrite(path))
        return false;
    SaveProjectFile(path);
    return true;
}

void TForm1::actSaveExecute()
{
    saveCurrent();
}

void TForm1::actSaveAsExecute()
{
    saveCurrentAs();
}

void TForm1::actExitExecute()
{
    close();
}

bool TForm1::FormCloseQuery()
{
    return ConfirmSaveCurrent();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A failed write ends the query with an error: the window stays open.
    bool allow = false;
    runCommand(m_ui, this, [&] { allow = FormCloseQuery(); });
    if (!allow) {
        event->ignore();
        return;
    }
    endRecovery();
    event->accept();
    // The program ends with this window: the FTP log and any other window
    // left open go with it, so the last window closed ends the event loop.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            window->close();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        runCommand(m_ui, this, [this] { FormShow(); });
    }
}

void TForm1::FormShow()
{
    if (!m_options.startupFile.isEmpty())
        openProject(m_options.startupFile);
    // After the window has painted, so the question has its window behind it.
    QMetaObject::invokeMethod(
        this, [this] { runCommand(m_ui, this, [this] { offerRecoveryCopies(); }); },
        Qt::QueuedConnection);
}

void TForm1::openDroppedFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!ConfirmSaveCurrent()) // a failed write throws: no further file opens
            return;
        openProject(path);
    }
}

QStringList TForm1::localFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // The questions come after the drop has finished: a modal box inside the
    // drop event would keep the dragging program waiting for its answer.
    QMetaObject::invokeMethod(
        this, [this, paths] { runCommand(m_ui, this, [&] { openDroppedFiles(paths); }); },
        Qt::QueuedConnection);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (localFiles(drag->mimeData()).isEmpty())
            break;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (localFiles(drop->mimeData()).isEmpty())
            break;
        dropEvent(drop);
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Field handlers -------------------------------------------------------

void TForm1::btPubDateRefreshClick()
{
    const QDateTime now = m_options.clock();
    dateControl(u"datePublish")->setDate(now.date());
    timeControl(u"publishTime")->setTime(Controls::wholeSeconds(now.time()));
}

void TForm1::btRefreshLastChangeClick()
{
    const QDateTime now = m_options.clock();
    dateControl(u"dateLastChange")->setDate(now.date());
    timeControl(u"timeLastChange")->setTime(Controls::wholeSeconds(now.time()));
}

void TForm1::btRefreshGUIDClick()
{
    textControl(u"edtGUID")->setText(GlobalTools::GenerateGUID());
}

void TForm1::btHtmlEditBeschreibungClick()
{
    HtmlTools::OpenHtmlEditor(memoDescription, m_ui);
}

// --- Export, help, about --------------------------------------------------

void TForm1::actExportRSSExecute()
{
    if (!confirmPublishing())
        return;
    const QString proposed = textControl(u"edtFileNameRSS")->text();
    const QString path = m_ui.getSaveFileName(this, kRssFilter, QStringLiteral("xml"), proposed);
    if (path.isEmpty() || !ConfirmOverwrite(path))
        return;
    withDocument([&path](const FeedDocument& document) { Rss20::GenerateRSS20(document, path); });
}

void TForm1::helpEnterChange(const QString& controlName)
{
    HelpPages::show(HelpBrowser, controlName);
}

void TForm1::onFocusChanged(QWidget* old, QWidget* now)
{
    if (!now || now->window() != this)
        return;
    // Outer containers first, as focus enters them, then the control itself.
    auto enters = [&](const QWidget* container) {
        return contains(container, now) && !contains(container, old);
    };
    for (int i = 0; i < tPageControl->count(); ++i) {
        QWidget* page = tPageControl->widget(i);
        if (enters(page))
            helpEnterChange(page->objectName());
    }
    if (enters(panelTime))
        helpEnterChange(panelTime->objectName());
    QWidget* control = namedControl(now);
    if (control && kHelpFields.contains(control->objectName()) &&
        m_channelControls.value(control->objectName()) == control)
        helpEnterChange(control->objectName());
}

void TForm1::actHelpExecute()
{
    const QString manual = Folders::programFolder() + QStringLiteral("help_de/handbuch.html");
    if (QFileInfo::exists(manual))
        QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
}

void TForm1::actUpdateInformationExecute()
{
    const QFileInfo updater(Folders::programFolder() + QStringLiteral("updater"));
    if (updater.isFile() && updater.isExecutable())
        QProcess::startDetached(updater.absoluteFilePath(), {});
}

void TForm1::actInfoExecute()
{
    TAboutBox box(this);
    box.exec();
}
