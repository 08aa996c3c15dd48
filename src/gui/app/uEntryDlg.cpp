#include "uEntryDlg.h"

#include "Controls.h"
#include "HelpPages.h"
#include "UserInteraction.h"
#include "document/uGlobalTools.h"
#include "document/uNews.h"
#include "htmledit/uHtmlTools.h"
#include "output/LogoFetch.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kHeadTimeoutMs = 15000;
} // namespace

TfrmEntry::TfrmEntry(QWidget* parent, UserInteraction& ui, Clock clock)
    : QDialog(parent), m_ui(ui), m_clock(std::move(clock))
{
    setObjectName(QStringLiteral("frmEntry"));
    setWindowTitle(QStringLiteral("Eintrag bearbeiten"));
    buildLayout();

    // FormCreate
    btRefreshGUIDClick();
    btRefreshPubDatenClick();
    OnHelpChange(objectName());
}

void TfrmEntry::buildLayout()
{
    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("btOK"));
    auto* cancelButton = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancelButton->setObjectName(QStringLiteral("btCancel"));
    // Enter has no binding of its own in this dialog.
    for (QPushButton* b : {okButton, cancelButton}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(buildNewsPage(), QStringLiteral("News Eintrag"));
    m_pages->addTab(buildAuthorPage(), QStringLiteral("Autor / Veröffentlichung"));

    m_help = Controls::helpBrowser(this);
    m_help->setFixedHeight(57);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_pages, 1);
    top->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_help);

    for (QWidget* w : std::initializer_list<QWidget*>{edtTitel, edtLink, memoText, edtAutor,
                                                      edtEmail, edtHomepage, datePublish, edtGUID,
                                                      edtFileUrl, edtFilesize, edtMime})
        w->installEventFilter(this);

    setFixedSize(QSize(467, 418).expandedTo(sizeHint()));
    // Typing starts in the title; a blank must never press a button.
    edtTitel->setFocus(Qt::OtherFocusReason);
}

QWidget* TfrmEntry::buildNewsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsNews"));
    edtTitel = Controls::lineEdit(page, "edtTitel");
    edtLink = Controls::lineEdit(page, "edtLink");
    memoText = Controls::memo(page, "memoText");
    auto* btShowHtml = new QPushButton(QStringLiteral("..."), page);
    btShowHtml->setObjectName(QStringLiteral("btShowHtml"));
    btShowHtml->setFixedWidth(28);
    btShowHtml->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    // Else QDialog makes it the default button and Enter in a field opens
    // the HTML editor.
    btShowHtml->setAutoDefault(false);
    connect(btShowHtml, &QPushButton::clicked, this,
            [this] { runCommand(m_ui, this, [this] { btShowHtmlClick(); }); });

    auto* layout = new QGridLayout(page);
    layout->addWidget(Controls::heading(page, QStringLiteral("News Eintrag")), 0, 0, 1, 2);
    layout->addWidget(Controls::label(page, QStringLiteral("Titel:"), edtTitel), 1, 0, 1, 2);
    layout->addWidget(edtTitel, 2, 0, 1, 2);
    layout->addWidget(Controls::label(page, QStringLiteral("Link:"), edtLink), 3, 0, 1, 2);
    layout->addWidget(edtLink, 4, 0, 1, 2);
    layout->addWidget(Controls::label(page, QStringLiteral("Text:"), memoText), 5, 0, 1, 2);
    layout->addWidget(memoText, 6, 0);
    layout->addWidget(btShowHtml, 6, 1);
    layout->setRowStretch(6, 1);
    return page;
}

QWidget* TfrmEntry::buildAuthorPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsAuthor"));
    edtAutor = Controls::lineEdit(page, "edtAutor");
    edtEmail = Controls::lineEdit(page, "edtEmail");
    edtHomepage = Controls::lineEdit(page, "edtHomepage");
    chkPublish = Controls::checkBox(page, "chkPublish");
    datePublish = Controls::dateEdit(page, "datePublish");
    publishTime = Controls::timeEdit(page, "publishTime");
    auto* btRefreshPubDaten = Controls::refreshButton(page, "btRefreshPubDaten");
    edtGUID = Controls::lineEdit(page, "edtGUID");
    auto* btRefreshGUID = Controls::refreshButton(page, "btRefreshGUID");
    connect(btRefreshPubDaten, &QToolButton::clicked, this,
            [this] { runCommand(m_ui, this, [this] { btRefreshPubDatenClick(); }); });
    connect(btRefreshGUID, &QToolButton::clicked, this,
            [this] { runCommand(m_ui, this, [this] { btRefreshGUIDClick(); }); });

    // The homepage is carried through unchanged but never shown.
    auto* homepageLabel = Controls::label(page, QStringLiteral("Homepage:"), edtHomepage);
    homepageLabel->hide();
    edtHomepage->hide();

    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(chkPublish);
    dateRow->addWidget(datePublish);
    dateRow->addWidget(publishTime);
    dateRow->addWidget(btRefreshPubDaten);
    dateRow->addStretch(1);

    auto* guidRow = new QHBoxLayout;
    guidRow->addWidget(edtGUID, 1);
    guidRow->addWidget(btRefreshGUID);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Controls::heading(page, QStringLiteral("Autor / Veröffentlichung")));
    layout->addWidget(Controls::label(page, QStringLiteral("Autor:"), edtAutor));
    layout->addWidget(edtAutor);
    layout->addWidget(Controls::label(page, QStringLiteral("E-Mail-Adresse:"), edtEmail));
    layout->addWidget(edtEmail);
    layout->addWidget(homepageLabel);
    layout->addWidget(edtHomepage);
    layout->addWidget(Controls::label(page, QStringLiteral("Erscheinungszeitpunkt:"), datePublish));
    layout->addLayout(dateRow);
    layout->addWidget(Controls::label(page, QStringLiteral("GUID:"), edtGUID));
    layout->addLayout(guidRow);
    layout->addWidget(buildEnclosureGroup(page));
    layout->addStretch(1);
    return page;
}

QWidget* TfrmEntry::buildEnclosureGroup(QWidget* page)
{
    auto* group = new QGroupBox(QStringLiteral("Anhang"), page);
    group->setObjectName(QStringLiteral("grpEnclosure"));
    edtFileUrl = Controls::lineEdit(group, "edtFileUrl");
    edtFilesize = Controls::lineEdit(group, "edtFilesize");
    edtMime = Controls::lineEdit(group, "edtMime");
    auto* btDetermine = new QPushButton(QStringLiteral("Ermitteln"), group);
    btDetermine->setObjectName(QStringLiteral("btDetermine"));
    btDetermine->setAutoDefault(false);
    connect(btDetermine, &QPushButton::clicked, this,
            [this] { runCommand(m_ui, this, [this] { btDetermineClick(); }); });

    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    grid->addWidget(Controls::label(group, QStringLiteral("Datei-URL:"), edtFileUrl), 0, 0);
    grid->addWidget(edtFileUrl, 0, 1, 1, 3);
    grid->addWidget(Controls::label(group, QStringLiteral("Größe (Bytes):"), edtFilesize), 1, 0);
    grid->addWidget(edtFilesize, 1, 1);
    grid->addWidget(Controls::label(group, QStringLiteral("MIME-Typ:"), edtMime), 1, 2);
    grid->addWidget(edtMime, 1, 3);
    grid->addWidget(btDetermine, 2, 3, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return group;
}

void TfrmEntry::LoadFromObject(const TNewsEntry& entry)
{
    edtTitel->setText(entry.title);
    edtLink->setText(entry.link);
    Controls::setMemoText(memoText, entry.content);
    edtAutor->setText(entry.author);
    edtEmail->setText(entry.email);
    edtHomepage->setText(entry.homepage);
    edtGUID->setText(entry.guid);
    datePublish->setDate(entry.date);
    publishTime->setTime(entry.time);
    chkPublish->setChecked(entry.chkPublish);
    edtFileUrl->setText(entry.fileUrl);
    edtFilesize->setText(entry.filesize);
    edtMime->setText(entry.mime);
}

void TfrmEntry::SaveToObject(TNewsEntry& entry) const
{
    entry.title = edtTitel->text();
    entry.link = edtLink->text();
    entry.content = Controls::memoText(memoText);
    entry.author = edtAutor->text();
    entry.email = edtEmail->text();
    entry.homepage = edtHomepage->text();
    entry.guid = edtGUID->text();
    entry.date = datePublish->date();
    entry.time = publishTime->time();
    entry.chkPublish = chkPublish->isChecked();
    entry.fileUrl = edtFileUrl->text().trimmed();
    entry.filesize = edtFilesize->text().trimmed();
    entry.mime = edtMime->text().trimmed();
}

void TfrmEntry::btDetermineClick()
{
    const QString address = edtFileUrl->text().trimmed();
    if (address.isEmpty()) {
        m_ui.showMessage(this, QStringLiteral("Bitte zuerst die Adresse der Datei angeben."));
        return;
    }
    // The wait takes no input but keeps the window painted; a server that
    // does not answer is given up after the time-out.
    setCursor(Qt::WaitCursor);
    const LogoFetch::HeadInfo info = LogoFetch::head(address, kHeadTimeoutMs);
    unsetCursor();
    if (!info.ok) {
        m_ui.showMessage(this, QStringLiteral("Größe und Typ der Datei konnten nicht ermittelt "
                                              "werden: %1")
                                   .arg(info.error));
        return;
    }
    if (info.length >= 0)
        edtFilesize->setText(QString::number(info.length));
    if (!info.mime.isEmpty())
        edtMime->setText(info.mime);
    if (info.length < 0 || info.mime.isEmpty())
        m_ui.showMessage(this, QStringLiteral("Der Server nennt nicht Größe und Typ der Datei; "
                                              "bitte die fehlenden Angaben selbst eintragen."));
}

void TfrmEntry::btRefreshGUIDClick()
{
    edtGUID->setText(GlobalTools::GenerateGUID());
}

void TfrmEntry::btRefreshPubDatenClick()
{
    const QDateTime now = m_clock();
    publishTime->setTime(Controls::wholeSeconds(now.time()));
    datePublish->setDate(now.date());
}

void TfrmEntry::btShowHtmlClick()
{
    HtmlTools::OpenHtmlEditor(memoText, m_ui);
}

void TfrmEntry::OnHelpChange(const QString& name)
{
    HelpPages::show(m_help, name, QStringLiteral("frmEntry"));
}

bool TfrmEntry::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        OnHelpChange(watched->objectName());
    return QDialog::eventFilter(watched, event);
}

void TfrmEntry::keyPressEvent(QKeyEvent* event)
{
    // Escape cancels, as "Abbrechen" does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}
