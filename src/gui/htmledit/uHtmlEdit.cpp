#include "uHtmlEdit.h"

#include "app/UserInteraction.h"
#include "platform/Error.h"
#include "platform/WholeNumber.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>

namespace {

const QString kConfirmCaption = QStringLiteral("Bestätigen");
const QString kTakeOver = QStringLiteral("Soll die Eingabe übernommen werden?");
const QString kClearAll = QStringLiteral("Wollen Sie die bestehende Eingabe löschen?");

// The engine answers in milliseconds; the bound only keeps a stuck page from
// holding the window for ever.
constexpr int kPageTimeoutMs = 20000;

// The editor's scripts run apart from any script of the loaded page, which
// is switched off.
constexpr quint32 kScriptWorld = QWebEngineScript::ApplicationWorld;

// A fixed empty document: the user's HTML goes into its body afterwards, so
// nothing in it (remote pictures, relative addresses) can hold up the load.
const QString kBlankDocument =
    QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body></body></html>");

QString jsString(const QString& text)
{
    // A one-element JSON array is a valid JavaScript literal for any text.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json) + QStringLiteral("[0]");
}

// Small drawn icons: the platform's icon theme has no formatting icons.
enum class Glyph {
    Cut,
    Copy,
    Paste,
    Bold,
    Italic,
    Underline,
    Left,
    Center,
    Right,
    Bullets,
    Numbers,
    Link,
    FontUp,
    FontDown,
    Color
};

QIcon drawIcon(Glyph glyph)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2.5));
    QFont font = p.font();
    font.setPixelSize(24);
    const auto letter = [&](const QString& text, bool bold, bool italic, bool underline) {
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
        p.setFont(font);
        p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, text);
    };
    const auto lines = [&](const int(&starts)[4], const int(&ends)[4]) {
        for (int i = 0; i < 4; ++i)
            p.drawLine(starts[i], 6 + 7 * i, ends[i], 6 + 7 * i);
    };
    switch (glyph) {
    case Glyph::Cut:
        p.drawEllipse(QRectF(4, 20, 8, 8));
        p.drawEllipse(QRectF(20, 20, 8, 8));
        p.drawLine(11, 21, 24, 3);
        p.drawLine(21, 21, 8, 3);
        break;
    case Glyph::Copy:
        p.drawRect(QRectF(4, 4, 15, 18));
        p.fillRect(QRectF(12, 10, 15, 18), Qt::white);
        p.drawRect(QRectF(12, 10, 15, 18));
        break;
    case Glyph::Paste:
        p.drawRect(QRectF(5, 6, 22, 23));
        p.fillRect(QRectF(11, 2, 10, 7), QColor(40, 40, 40));
        break;
    case Glyph::Bold:
        letter(QStringLiteral("F"), true, false, false);
        break;
    case Glyph::Italic:
        letter(QStringLiteral("K"), false, true, false);
        break;
    case Glyph::Underline:
        letter(QStringLiteral("U"), false, false, true);
        break;
    case Glyph::Left:
        lines({3, 3, 3, 3}, {29, 19, 29, 19});
        break;
    case Glyph::Center:
        lines({3, 9, 3, 9}, {29, 23, 29, 23});
        break;
    case Glyph::Right:
        lines({3, 13, 3, 13}, {29, 29, 29, 29});
        break;
    case Glyph::Bullets:
        for (int i = 0; i < 3; ++i) {
            p.setBrush(QColor(40, 40, 40));
            p.drawEllipse(QRectF(3, 5 + 9 * i, 4, 4));
            p.drawLine(11, 7 + 9 * i, 29, 7 + 9 * i);
        }
        break;
    case Glyph::Numbers:
        font.setPixelSize(9);
        p.setFont(font);
        for (int i = 0; i < 3; ++i) {
            p.drawText(QRect(0, 1 + 9 * i, 9, 11), Qt::AlignCenter, QString::number(i + 1));
            p.drawLine(11, 7 + 9 * i, 29, 7 + 9 * i);
        }
        break;
    case Glyph::Link:
        p.setPen(QPen(QColor(20, 60, 160), 3));
        p.drawRoundedRect(QRectF(2, 10, 16, 10), 5, 5);
        p.drawRoundedRect(QRectF(14, 12, 16, 10), 5, 5);
        break;
    case Glyph::FontUp:
    case Glyph::FontDown:
        font.setPixelSize(20);
        p.setFont(font);
        p.drawText(QRect(0, 6, 20, 26), Qt::AlignCenter, QStringLiteral("A"));
        p.drawLine(20, 8, 30, 8);
        if (glyph == Glyph::FontUp)
            p.drawLine(25, 3, 25, 13);
        break;
    case Glyph::Color:
        font.setPixelSize(22);
        p.setFont(font);
        p.drawText(QRect(0, 0, 32, 24), Qt::AlignCenter, QStringLiteral("A"));
        p.fillRect(QRectF(3, 25, 26, 5), QColor(200, 20, 20));
        break;
    }
    return QIcon(pixmap);
}

} // namespace

TfrmHtmlEdit::TfrmHtmlEdit(UserInteraction& ui, QWidget* owner) : QDialog(owner), m_ui(ui)
{
    setObjectName(QStringLiteral("frmHtmlEdit"));
    setWindowTitle(QStringLiteral("HTML-Editor"));
    resize(650, 443);

    Web = new QWebEngineView(this);
    Web->setObjectName(QStringLiteral("Web"));
    // The user's HTML is edited, not run.
    Web->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    Web->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    connect(Web, &QWebEngineView::loadFinished, this, [this](bool ok) {
        m_pageReady = ok;
        m_pageFailed = !ok;
    });
    Web->setHtml(kBlankDocument);

    createActions();
    createBars();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_toolBar);
    layout->addWidget(Web, 1);
    layout->addWidget(m_statusBar);
}

TfrmHtmlEdit::~TfrmHtmlEdit() = default;

QAction* TfrmHtmlEdit::addAction(QAction*& field, const char* name, const QString& caption,
                                 const QIcon& icon, void (TfrmHtmlEdit::*handler)())
{
    field = new QAction(icon, caption, this);
    field->setObjectName(QString::fromLatin1(name));
    connect(field, &QAction::triggered, this, [this, handler] {
        // A click while a page call is waiting would start a second one
        // inside the first one's event loop.
        if (m_waiting)
            return;
        runCommand(m_ui, this, [this, handler] { (this->*handler)(); });
    });
    return field;
}

void TfrmHtmlEdit::createActions()
{
    const auto stdIcon = [this](QStyle::StandardPixmap sp) { return style()->standardIcon(sp); };
    using G = Glyph;
    addAction(actNew, "actNew", QStringLiteral("Neu"), stdIcon(QStyle::SP_FileIcon),
              &TfrmHtmlEdit::actNewExecute);
    addAction(actCut, "actCut", QStringLiteral("Ausschneiden"), drawIcon(G::Cut),
              &TfrmHtmlEdit::actCutExecute);
    addAction(actCopy, "actCopy", QStringLiteral("Kopieren"), drawIcon(G::Copy),
              &TfrmHtmlEdit::actCopyExecute);
    addAction(actPaste, "actPaste", QStringLiteral("Einfügen"), drawIcon(G::Paste),
              &TfrmHtmlEdit::actPasteExecute);
    addAction(actBold, "actBold", QStringLiteral("Fett"), drawIcon(G::Bold),
              &TfrmHtmlEdit::actBoldExecute);
    addAction(actItalic, "actItalic", QStringLiteral("Kursiv"), drawIcon(G::Italic),
              &TfrmHtmlEdit::actItalicExecute);
    addAction(actUnderline, "actUnderline", QStringLiteral("Unterstrichen"), drawIcon(G::Underline),
              &TfrmHtmlEdit::actUnderlineExecute);
    addAction(actLeft, "actLeft", QStringLiteral("Linksbündig"), drawIcon(G::Left),
              &TfrmHtmlEdit::actLeftExecute);
    addAction(actCenter, "actCenter", QStringLiteral("Zentriert"), drawIcon(G::Center),
              &TfrmHtmlEdit::actCenterExecute);
    addAction(actRight, "actRight", QStringLiteral("Rechtsbündig"), drawIcon(G::Right),
              &TfrmHtmlEdit::actRightExecute);
    addAction(actBullet, "actBullet", QStringLiteral("Aufzählung"), drawIcon(G::Bullets),
              &TfrmHtmlEdit::actBulletExecute);
    addAction(actNumbering, "actNumbering", QStringLiteral("Nummerierung"), drawIcon(G::Numbers),
              &TfrmHtmlEdit::actNumberingExecute);
    addAction(actHyperlink, "actHyperlink", QStringLiteral("Hyperlink einfügen"), drawIcon(G::Link),
              &TfrmHtmlEdit::actHyperlinkExecute);
    addAction(actFontUp, "actFontUp", QStringLiteral("Schrift größer"), drawIcon(G::FontUp),
              &TfrmHtmlEdit::actFontUpExecute);
    addAction(actFontMin, "actFontMin", QStringLiteral("Schrift kleiner"), drawIcon(G::FontDown),
              &TfrmHtmlEdit::actFontMinExecute);
    addAction(actFontColor, "actFontColor", QStringLiteral("Schriftfarbe"), drawIcon(G::Color),
              &TfrmHtmlEdit::actFontColorExecute);
    addAction(actExit, "actExit", QStringLiteral("Beenden"), stdIcon(QStyle::SP_DialogCloseButton),
              &TfrmHtmlEdit::actExitExecute);
}

void TfrmHtmlEdit::createBars()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const QList<QList<QAction*>> groups = {
        {actNew},
        {actCut, actCopy, actPaste},
        {actBold, actItalic, actUnderline},
        {actLeft, actCenter, actRight},
        {actBullet, actNumbering},
        {actHyperlink},
        {actFontUp, actFontMin, actFontColor},
        {actExit},
    };
    for (const QList<QAction*>& group : groups) {
        if (group != groups.constFirst())
            m_toolBar->addSeparator();
        for (QAction* action : group) {
            m_toolBar->addAction(action);
            if (QWidget* button = m_toolBar->widgetForAction(action))
                button->setFixedWidth(25);
        }
    }

    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu(QStringLiteral("D&atei"));
    file->addAction(actNew);
    file->addAction(actExit);
    QMenu* edit = m_menuBar->addMenu(QStringLiteral("Bearbeiten"));
    edit->addAction(actCut);
    edit->addAction(actCopy);
    edit->addAction(actPaste);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);
}

// ---- page access ----------------------------------------------------------

void TfrmHtmlEdit::waitForPage()
{
    if (!m_pageReady && !m_pageFailed) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(Web, &QWebEngineView::loadFinished, &loop, &QEventLoop::quit);
        timer.start(kPageTimeoutMs);
        m_waiting = true;
        loop.exec();
        m_waiting = false;
    }
    if (!m_pageReady)
        throw Error(QStringLiteral("Die HTML-Ansicht konnte nicht geladen werden"));
}

QVariant TfrmHtmlEdit::runScript(const QString& body)
{
    waitForPage();
    // Exceptions are caught in the page: runJavaScript itself reports a
    // failing script only as an empty result.
    const QString script =
        QStringLiteral("(function () { try { var v = (function () { %1 })();"
                       " return { ok: true, isNull: v === null || v === undefined,"
                       " v: (v === null || v === undefined) ? '' : v }; }"
                       " catch (e) { return { ok: false, e: String(e) }; } })()")
            .arg(body);

    struct Answer
    {
        bool arrived = false;
        QVariant value;
    };
    auto answer = std::make_shared<Answer>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    Web->page()->runJavaScript(script, kScriptWorld, [answer, waiting](const QVariant& v) {
        answer->arrived = true;
        answer->value = v;
        if (waiting)
            waiting->quit();
    });
    if (!answer->arrived) {
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(kPageTimeoutMs);
        m_waiting = true;
        loop.exec();
        m_waiting = false;
    }
    if (!answer->arrived)
        throw Error(QStringLiteral("Die HTML-Ansicht antwortet nicht"));

    const QVariantMap result = answer->value.toMap();
    if (!result.value(QStringLiteral("ok")).toBool()) {
        const QString why = result.value(QStringLiteral("e")).toString();
        throw Error(QStringLiteral("Fehler in der HTML-Ansicht: %1")
                        .arg(why.isEmpty() ? QStringLiteral("keine Antwort") : why));
    }
    if (result.value(QStringLiteral("isNull")).toBool())
        return QVariant::fromValue(nullptr);
    return result.value(QStringLiteral("v"));
}

void TfrmHtmlEdit::SetSource(const QString& source)
{
    m_hasFinalSource = false;
    runScript(QStringLiteral("document.body.innerHTML = %1; return true;").arg(jsString(source)));
}

QString TfrmHtmlEdit::GetSource()
{
    if (m_hasFinalSource)
        return m_finalSource;
    return runScript(QStringLiteral("return document.body.innerHTML;")).toString();
}

void TfrmHtmlEdit::execCommand(const QString& command, bool showUi, const QString& valueScript)
{
    // execCommand's Boolean answer is not used: false only means the
    // command had nothing to work on.
    runScript(QStringLiteral("document.execCommand(%1, %2, %3); return true;")
                  .arg(jsString(command), showUi ? QStringLiteral("true") : QStringLiteral("false"),
                       valueScript));
}

// ---- window events --------------------------------------------------------

void TfrmHtmlEdit::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

// Does not wait: a wait here would run a nested event loop inside exec()'s
// show. The page runs scripts in the order they are sent, so every later
// call already finds the document editable.
void TfrmHtmlEdit::FormShow()
{
    m_hasFinalSource = false;
    Web->setFocus();
    const auto switchOn = [this] {
        QPointer<TfrmHtmlEdit> self(this);
        Web->page()->runJavaScript(
            QStringLiteral("document.designMode = 'on'; document.designMode"), kScriptWorld,
            [self](const QVariant& mode) {
                if (self && mode.toString() != u"on")
                    runCommand(self->m_ui, self, [] {
                        throw Error(QStringLiteral("Die HTML-Ansicht lässt sich nicht bearbeiten"));
                    });
            });
    };
    if (m_pageReady)
        switchOn();
    else
        connect(Web, &QWebEngineView::loadFinished, this, switchOn, Qt::SingleShotConnection);
}

void TfrmHtmlEdit::reject()
{
    close();
}

void TfrmHtmlEdit::closeEvent(QCloseEvent* event)
{
    if (!isVisible()) {
        event->accept();
        return;
    }
    // Stays open unless the question was answered and the text taken.
    event->ignore();
    if (m_waiting)
        return;
    runCommand(m_ui, this, [this, event] { FormClose(event); });
}

void TfrmHtmlEdit::FormClose(QCloseEvent* event)
{
    const bool takeOver =
        m_ui.ask(this, kConfirmCaption, kTakeOver, UserInteraction::Icon::Question, false) ==
        UserInteraction::Answer::Yes;
    if (takeOver) {
        // Read now: the caller asks after the window is gone.
        m_finalSource = GetSource();
        m_hasFinalSource = true;
    }
    event->accept();
    done(takeOver ? Accepted : Rejected);
}

// ---- actions ----------------------------------------------------------------

void TfrmHtmlEdit::actNewExecute()
{
    if (m_ui.ask(this, kConfirmCaption, kClearAll, UserInteraction::Icon::Question, false) ==
        UserInteraction::Answer::Yes)
        SetSource(QString());
}

// The clipboard commands go through the engine's own editing actions: a
// script's execCommand("Paste") is refused by the browser's clipboard rules.
void TfrmHtmlEdit::actCutExecute()
{
    Web->page()->triggerAction(QWebEnginePage::Cut);
}

void TfrmHtmlEdit::actCopyExecute()
{
    Web->page()->triggerAction(QWebEnginePage::Copy);
}

void TfrmHtmlEdit::actPasteExecute()
{
    Web->page()->triggerAction(QWebEnginePage::Paste);
}

void TfrmHtmlEdit::actBoldExecute()
{
    execCommand(QStringLiteral("Bold"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actItalicExecute()
{
    execCommand(QStringLiteral("Italic"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actUnderlineExecute()
{
    execCommand(QStringLiteral("Underline"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actLeftExecute()
{
    execCommand(QStringLiteral("JustifyLeft"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actCenterExecute()
{
    execCommand(QStringLiteral("JustifyCenter"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actRightExecute()
{
    execCommand(QStringLiteral("JustifyRight"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actBulletExecute()
{
    execCommand(QStringLiteral("InsertUnorderedList"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actNumberingExecute()
{
    execCommand(QStringLiteral("InsertOrderedList"), false, QStringLiteral("0"));
}

void TfrmHtmlEdit::actHyperlinkExecute()
{
    // The engine has no link dialog of its own.
    const std::optional<QString> address =
        m_ui.getText(this, QStringLiteral("Hyperlink einfügen"), QStringLiteral("Adresse:"),
                     QStringLiteral("https://"));
    if (!address || address->trimmed().isEmpty())
        return;
    execCommand(QStringLiteral("CreateLink"), false, jsString(address->trimmed()));
}

int TfrmHtmlEdit::fontSizeValue(const QVariant& value)
{
    if (value.isNull())
        throw Error(QStringLiteral("Die Schriftgröße der Auswahl ist nicht bestimmt"));
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return qRound(value.toDouble());
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.isEmpty())
            return 0;
        if (const std::optional<std::int32_t> number = WholeNumber::parse(text))
            return *number;
        throw Error(QStringLiteral("Die Schriftgröße \"%1\" ist keine Zahl").arg(text));
    }
    default:
        throw Error(QStringLiteral("Die Schriftgröße ist keine Zahl"));
    }
}

void TfrmHtmlEdit::changeFontSize(int step)
{
    const QVariant current =
        runScript(QStringLiteral("return document.queryCommandValue('FontSize');"));
    const int size = fontSizeValue(current) + step;
    execCommand(QStringLiteral("FontSize"), true, QString::number(size));
}

void TfrmHtmlEdit::actFontUpExecute()
{
    changeFontSize(+1);
}

void TfrmHtmlEdit::actFontMinExecute()
{
    changeFontSize(-1);
}

QString TfrmHtmlEdit::colorText(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return QString::asprintf("%02X%02X%02X", rgb.red(), rgb.green(), rgb.blue());
}

void TfrmHtmlEdit::actFontColorExecute()
{
    const std::optional<QColor> chosen = m_ui.getColor(this, QColor(QStringLiteral("#") + m_color));
    if (!chosen)
        return;
    m_color = colorText(*chosen);
    execCommand(QStringLiteral("ForeColor"), false, jsString(m_color));
}

void TfrmHtmlEdit::actExitExecute()
{
    close();
}
