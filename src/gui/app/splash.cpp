#include "splash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace Pictures {

QPixmap feedPicture(int width, int height)
{
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(0xff, 0xf4, 0xe0));
    sky.setColorAt(1, QColor(0xf5, 0x9e, 0x2a));
    p.fillRect(pixmap.rect(), sky);

    // The feed symbol: a dot and two arcs, as large as the picture allows.
    const int size = qMin(width, height) * 6 / 10;
    const QRectF box((width - size) / 2.0, (height - size) / 2.0, size, size);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x6a, 0x00));
    p.drawRoundedRect(box, size * 0.18, size * 0.18);
    p.setBrush(Qt::white);
    const qreal unit = size / 8.0;
    const QPointF corner(box.left() + 1.6 * unit, box.bottom() - 1.6 * unit);
    p.drawEllipse(corner, unit * 0.8, unit * 0.8);
    QPen arc(Qt::white, unit * 0.9, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    for (qreal radius : {3.0 * unit, 5.0 * unit}) {
        const QRectF r(corner.x() - radius, corner.y() - radius, 2 * radius, 2 * radius);
        p.drawArc(r, 0, 90 * 16);
    }
    return pixmap;
}

} // namespace Pictures

TfrmSplash::TfrmSplash(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(516, 318);
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(8, 8, 505, 305);
    picture->setPixmap(Pictures::feedPicture(505, 305));

    auto* title = new QLabel(QStringLiteral("Tavistrel"), this);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPointSize(28);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setStyleSheet(QStringLiteral("color: #5a2d00; background: transparent;"));
    title->setGeometry(24, 20, 300, 50);

    auto* version = new QLabel(QStringLiteral("Version 1.1"), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setStyleSheet(QStringLiteral("background: white; padding: 2px 6px;"));
    version->adjustSize();
    version->move(516 - 16 - version->width(), 16);

    auto* copyright = new QLabel(QStringLiteral("© 2009 Tavistrel-Projekt"), this);
    copyright->setObjectName(QStringLiteral("lblCopyright"));
    copyright->setStyleSheet(QStringLiteral("color: #5a2d00; background: transparent;"));
    copyright->adjustSize();
    copyright->move(16, 318 - 16 - copyright->height());

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &TfrmSplash::Timer1Timer);
    Timer1->start();
}

void TfrmSplash::Timer1Timer() { accept(); }
