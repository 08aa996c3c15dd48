#include "uImportDlg.h"

#include "UserInteraction.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfrmImport::TfrmImport(QWidget* parent, UserInteraction& ui) : QDialog(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Feed importieren"));

    auto* intro = new QLabel(QStringLiteral("Aus dem Feed (RSS 0.9x, 2.0, 1.0 oder Atom) wird ein "
                                            "neues, unbenanntes Projekt."),
                             this);
    intro->setWordWrap(true);
    rbFile = new QRadioButton(QStringLiteral("Aus einer &Datei:"), this);
    rbFile->setObjectName(QStringLiteral("rbFile"));
    rbFile->setChecked(true);
    edtFile = new QLineEdit(this);
    edtFile->setObjectName(QStringLiteral("edtFile"));
    auto* btBrowse = new QPushButton(QStringLiteral("D&urchsuchen..."), this);
    btBrowse->setObjectName(QStringLiteral("btBrowse"));
    btBrowse->setAutoDefault(false);
    rbAddress = new QRadioButton(QStringLiteral("Von einer &Adresse (http oder https):"), this);
    rbAddress->setObjectName(QStringLiteral("rbAddress"));
    edtAddress = new QLineEdit(this);
    edtAddress->setObjectName(QStringLiteral("edtAddress"));
    edtAddress->setPlaceholderText(QStringLiteral("https://www.example.org/feed.xml"));

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("Importieren"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("btOK"));
    auto* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(btBrowse, &QPushButton::clicked, this,
            [this] { runCommand(m_ui, this, [this] { btBrowseClick(); }); });
    connect(edtFile, &QLineEdit::textEdited, this, [this] { rbFile->setChecked(true); });
    connect(edtAddress, &QLineEdit::textEdited, this, [this] { rbAddress->setChecked(true); });
    for (QLineEdit* edit : {edtFile, edtAddress})
        connect(edit, &QLineEdit::textChanged, this, &TfrmImport::updateOk);
    connect(rbFile, &QRadioButton::toggled, this, &TfrmImport::updateOk);

    auto* grid = new QGridLayout;
    grid->addWidget(rbFile, 0, 0, 1, 2);
    grid->addWidget(edtFile, 1, 0);
    grid->addWidget(btBrowse, 1, 1);
    grid->addWidget(rbAddress, 2, 0, 1, 2);
    grid->addWidget(edtAddress, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());
    updateOk();
}

QString TfrmImport::source() const
{
    return (rbAddress->isChecked() ? edtAddress : edtFile)->text().trimmed();
}

void TfrmImport::btBrowseClick()
{
    const QString path = m_ui.getOpenFileName(
        this, QStringLiteral("Feeds (*.xml;*.rss;*.rdf;*.atom)|*.xml;*.rss;*.rdf;*.atom|"
                             "Alle Dateien (*)|*"));
    if (path.isEmpty())
        return;
    edtFile->setText(path);
    rbFile->setChecked(true);
}

void TfrmImport::updateOk()
{
    m_ok->setEnabled(!source().isEmpty());
}
