#include "About.h"

#include "splash.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(290, 380);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setPixmap(Pictures::feedPicture(240, 150));
    picture->setAlignment(Qt::AlignCenter);

    auto* product = new QLabel(QStringLiteral("Tavistrel"), this);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(14);
    font.setBold(true);
    product->setFont(font);

    auto* copyright = new QLabel(QStringLiteral("© 2009 Tavistrel-Projekt"), this);
    copyright->setObjectName(QStringLiteral("Copyright"));
    auto* contact = new QGridLayout;
    contact->addWidget(new QLabel(QStringLiteral("Homepage: "), this), 0, 0);
    auto* homepage = new QLabel(QStringLiteral("https://tavistrel.example.org"), this);
    homepage->setObjectName(QStringLiteral("lblHomepage"));
    homepage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    contact->addWidget(homepage, 0, 1);
    contact->addWidget(new QLabel(QStringLiteral("E-Mail:"), this), 1, 0);
    auto* mail = new QLabel(QStringLiteral("info@tavistrel.example.org"), this);
    mail->setObjectName(QStringLiteral("lblMail"));
    mail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    contact->addWidget(mail, 1, 1);
    contact->setColumnStretch(1, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addWidget(picture);
    layout->addSpacing(8);
    layout->addWidget(product);
    layout->addWidget(copyright);
    layout->addSpacing(12);
    layout->addLayout(contact);
    layout->addStretch(1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);

    if (parent)
        move(parent->window()->geometry().center() - rect().center());
}
