#include "uFTPEdit.h"

#include "app/Controls.h"
#include "app/UserInteraction.h"
#include "ftp/PublishJob.h"
#include "platform/WholeNumber.h"
#include "uLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* field(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    // No button reacts to Enter.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

TfrmFTPEdit::TfrmFTPEdit(UserInteraction& ui, TfrmFTPLog& log, QWidget* owner)
    : QDialog(owner), m_ui(ui), m_log(log)
{
    setObjectName(QStringLiteral("frmFTPEdit"));
    setWindowTitle(QStringLiteral("FTP-Profil bearbeiten"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    // Modal to its owner only, so the shared log window stays usable.
    setWindowModality(Qt::WindowModal);

    auto* group = new QGroupBox(QStringLiteral("FTP-Profil bearbeiten"), this);
    edtProfilName = field(group, "edtProfilName");
    edtServername = field(group, "edtServername");
    edtPort = field(group, "edtPort");
    edtPort->setText(QStringLiteral("21"));
    edtPort->setFixedWidth(60);
    edtBenutzername = field(group, "edtBenutzername");
    edtPasswort = field(group, "edtPasswort"); // shown in clear on purpose
    chkPassiv = new QCheckBox(QStringLiteral("Passivmodus?"), group);
    chkPassiv->setObjectName(QStringLiteral("chkPassiv"));
    cboProtokoll = Controls::protocolBox(group, "cboProtokoll");
    Controls::followProtocol(cboProtokoll, edtPort, chkPassiv);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Profilname*"), edtProfilName);
    form->addRow(QStringLiteral("Servername*"), edtServername);
    form->addRow(QStringLiteral("Protokoll"), cboProtokoll);
    form->addRow(QStringLiteral("Port*"), edtPort);
    form->addRow(QStringLiteral("Benutzername*"), edtBenutzername);
    form->addRow(QStringLiteral("Passwort"), edtPasswort);
    form->addRow(QString(), chkPassiv);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(form);
    auto* note = new QLabel(QStringLiteral("*Pflichtfeld"), group);
    groupLayout->addWidget(note, 0, Qt::AlignRight);

    btTest = button(this, "btTest", QStringLiteral("Verbindung testen"));
    btOK = button(this, "btOK", QStringLiteral("OK"));
    btCancel = button(this, "btCancel", QStringLiteral("Abbrechen"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btTest);
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setFixedSize(QSize(416, 228).expandedTo(sizeHint()));

    connect(btTest, &QPushButton::clicked, this, &TfrmFTPEdit::btTestClick);
    connect(btOK, &QPushButton::clicked, this, &TfrmFTPEdit::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfrmFTPEdit::btCancelClick);
#ifndef QT_NO_SESSIONMANAGER
    // The session ends while the editor is open: ask before it goes.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] {
        if (isVisible())
            FormCloseQuery();
    });
#endif
}

void TfrmFTPEdit::focusField(QLineEdit* field)
{
    field->setFocus(Qt::OtherFocusReason);
}

bool TfrmFTPEdit::CheckProfileInput()
{
    // Blanks count as content: only a field of length 0 is empty.
    const std::pair<QLineEdit*, const char*> required[] = {
        {edtProfilName, "Bitte einen Profilnamen eingeben."},
        {edtServername, "Bitte einen Servernamen eingeben."},
        {edtBenutzername, "Bitte einen Benutzernamen eingeben."},
    };
    for (const auto& [edit, message] : required) {
        if (edit->text().isEmpty()) {
            focusField(edit);
            m_ui.showMessage(this, QString::fromUtf8(message));
            return false;
        }
    }
    if (!WholeNumber::isWholeNumber(edtPort->text())) {
        m_ui.showMessage(this, QStringLiteral("Im Feld Port bitte nur ganze Zahlen eingeben."));
        focusField(edtPort);
        return false;
    }
    return true;
}

void TfrmFTPEdit::btOKClick()
{
    if (!CheckProfileInput())
        return;
    m_decided = true;
    accept();
}

void TfrmFTPEdit::btCancelClick()
{
    m_decided = true;
    reject();
}

void TfrmFTPEdit::FormCloseQuery()
{
    if (m_decided)
        return;
    const auto answer = m_ui.ask(this, QStringLiteral("Bestätigen"),
                                 QStringLiteral("Sollen die Einstellungen übernommen werden?"),
                                 UserInteraction::Icon::Question, false);
    if (answer == UserInteraction::Answer::Yes)
        btOKClick();
    if (!m_decided)
        btCancelClick(); // the close is never refused
}

void TfrmFTPEdit::closeEvent(QCloseEvent* event)
{
    // The close box, and any close without a result, ends with Cancel.
    if (!m_decided)
        btCancelClick();
    event->accept();
}

void TfrmFTPEdit::keyPressEvent(QKeyEvent* event)
{
    // Escape cancels, as "Abbrechen" does, without the question.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        btCancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmFTPEdit::btTestClick()
{
    runCommand(m_ui, this, [this] { testConnection(); });
}

void TfrmFTPEdit::testConnection()
{
    FtpPublish::Settings settings;
    settings.protocol = Controls::protocolOf(cboProtokoll);
    settings.host = edtServername->text();
    settings.port = edtPort->text();
    settings.username = edtBenutzername->text();
    settings.password = edtPasswort->text();
    settings.passive = chkPassiv->isChecked();
    try {
        m_log.runLogged(this, m_ui, settings, [](PublishJob& job) { return job.testConnection(); });
    } catch (const FtpPublish::EPortNotANumber& e) {
        m_ui.showMessage(this, e.message());
    } catch (const FtpPublish::EHostRequired& e) {
        m_ui.showMessage(this, e.message());
    }
}
