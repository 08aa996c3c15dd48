#include "Controls.h"

#include "LazyIcons.h"
#include "platform/RegionalSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmapCache>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStyle>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QToolButton>
#include <climits>

namespace Controls {
namespace {

QString quoted(const QString& literal)
{
    QString escaped = literal;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

} // namespace

QLineEdit* lineEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    // The default cap of 32767 characters would cut long values on load.
    edit->setMaxLength(INT_MAX);
    return edit;
}

QPlainTextEdit* memo(QWidget* parent, const char* name)
{
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setTabChangesFocus(true);
    return edit;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QDateEdit* dateEdit(QWidget* parent, const char* name)
{
    auto* edit = new QDateEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setCalendarPopup(true);
    // Qt's default lower bound is 1752; project files may hold any date from
    // the zero date on, so open the range as far as the editor allows.
    edit->setMinimumDate(QDate(100, 1, 1));
    edit->setDisplayFormat(dateDisplayFormat());
    return edit;
}

QTimeEdit* timeEdit(QWidget* parent, const char* name)
{
    auto* edit = new QTimeEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDisplayFormat(timeDisplayFormat());
    return edit;
}

QSpinBox* spinField(QWidget* parent, const char* name)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(INT_MIN, INT_MAX);
    spin->setValue(0);
    return spin;
}

QToolButton* refreshButton(QWidget* parent, const char* name)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(LazyIcons::standard(parent, QStyle::SP_BrowserReload));
    button->setToolTip(QStringLiteral("Aktualisieren"));
    return button;
}

QLabel* label(QWidget* parent, const QString& text, QWidget* buddy)
{
    auto* l = new QLabel(text, parent);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

namespace {

// The style reads its icon files anew on every request; every panel has
// a heading, so the start-up would decode the same images again and again.
QPixmap headingIcon(const QWidget* parent)
{
    static const QString key = QStringLiteral("tavistrel/heading-info-16");
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = LazyIcons::standard(parent, QStyle::SP_FileDialogInfoView).pixmap(16, 16);
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

} // namespace

QWidget* heading(QWidget* parent, const QString& text)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 4);
    auto* icon = new QLabel(row);
    icon->setPixmap(headingIcon(parent));
    auto* caption = new QLabel(text, row);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(12);
    font.setBold(true);
    caption->setFont(font);
    layout->addWidget(icon);
    layout->addWidget(caption, 1);
    return row;
}

QTextBrowser* helpBrowser(QWidget* parent)
{
    auto* browser = new QTextBrowser(parent);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    browser->setOpenLinks(true);
    // Pages may link to the web; those open in the desktop browser.
    browser->setOpenExternalLinks(true);
    browser->setFocusPolicy(Qt::NoFocus);
    return browser;
}

QComboBox* protocolBox(QWidget* parent, const char* name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (RemoteProtocol p : {RemoteProtocol::Ftp, RemoteProtocol::Ftps, RemoteProtocol::Sftp})
        box->addItem(protocolCaption(p), protocolCode(p));
    return box;
}

RemoteProtocol protocolOf(const QComboBox* box)
{
    return protocolFromCode(box->currentData().toString());
}

void setProtocol(QComboBox* box, RemoteProtocol protocol)
{
    box->setCurrentIndex(box->findData(protocolCode(protocol)));
}

void followProtocol(QComboBox* box, QLineEdit* port, QCheckBox* passive)
{
    const auto follow = [box, port, passive] {
        const RemoteProtocol protocol = protocolOf(box);
        const bool ssh = protocol == RemoteProtocol::Sftp;
        const QString other =
            QString::number(defaultPort(ssh ? RemoteProtocol::Ftp : RemoteProtocol::Sftp));
        if (port->text() == other)
            port->setText(QString::number(defaultPort(protocol)));
        passive->setEnabled(!ssh);
    };
    QObject::connect(box, &QComboBox::currentIndexChanged, port, follow);
    follow();
}

QString memoText(const QPlainTextEdit* memo)
{
    QString text = memo->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void setMemoText(QPlainTextEdit* memo, const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    memo->setPlainText(shown);
}

QString dateDisplayFormat()
{
    const RegionalSettings& r = RegionalSettings::current();
    const QString day = r.dayLeadingZero ? QStringLiteral("dd") : QStringLiteral("d");
    const QString month = r.monthLeadingZero ? QStringLiteral("MM") : QStringLiteral("M");
    const QString year = QStringLiteral("yyyy");
    const QString sep = quoted(r.dateSeparator);
    switch (r.dateOrder) {
    case RegionalSettings::DateOrder::MonthDayYear:
        return month + sep + day + sep + year;
    case RegionalSettings::DateOrder::YearMonthDay:
        return year + sep + month + sep + day;
    default:
        return day + sep + month + sep + year;
    }
}

QString timeDisplayFormat()
{
    const RegionalSettings& r = RegionalSettings::current();
    const QString sep = quoted(r.timeSeparator);
    QString hour;
    if (r.twelveHour)
        hour = r.hourLeadingZero ? QStringLiteral("hh") : QStringLiteral("h");
    else
        hour = r.hourLeadingZero ? QStringLiteral("HH") : QStringLiteral("H");
    const QString time = hour + sep + QStringLiteral("mm") + sep + QStringLiteral("ss");
    if (!r.twelveHour)
        return time;
    return r.amPmFirst ? QStringLiteral("AP ") + time : time + QStringLiteral(" AP");
}

QTime wholeSeconds(QTime time)
{
    return QTime(time.hour(), time.minute(), time.second());
}

} // namespace Controls
