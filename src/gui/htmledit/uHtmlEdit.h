#pragma once

#include <QDialog>
#include <QString>
#include <QVariant>

class QAction;
class QMenuBar;
class QStatusBar;
class QToolBar;
class QWebEngineView;
class UserInteraction;

// The modal WYSIWYG editor for an HTML fragment (a channel description or an
// entry text). A QWebEngineView whose document is in design mode; the actions
// map onto the document's execCommand. Made afresh for every edit by
// HtmlTools::OpenHtmlEditor: SetSource, exec(), GetSource when the result is
// Accepted (the user answered Yes to "Soll die Eingabe übernommen werden?").
//
// The engine works asynchronously; every call into the page waits for its
// answer in a local event loop, bounded by a time-out, and throws Error when
// the page fails or does not answer. Page scripts of the loaded HTML do not run;
// the editor's own scripts run in an isolated world on the same document.
class TfrmHtmlEdit : public QDialog
{
    Q_OBJECT

public:
    TfrmHtmlEdit(UserInteraction& ui, QWidget* owner = nullptr);
    ~TfrmHtmlEdit() override;

    // Replaces the whole document content by the parsed `source`. Markup the
    // engine does not know (classes, attributes, images) stays as it is.
    void SetSource(const QString& source);
    // The body's inner HTML; after the window was closed with Yes, the text
    // as it was at that moment.
    QString GetSource();

    // Runs `body` (statements ending in a return) as a function on the
    // document, in the editor's script world, and gives its result; null and
    // undefined come back as a QVariant holding nullptr. Throws Error on a
    // script exception or time-out. Tests read and spy the page through it.
    QVariant runScript(const QString& body);

    // Six upper-case hexadecimal digits, red, green, blue: the form in which
    // the font colour reaches the engine.
    static QString colorText(const QColor& color);
    // The FontSize value the engine reports, as a whole number: a number or
    // numeric text as it is, empty text as 0. Throws Error for null (a
    // selection of mixed sizes) or anything else.
    static int fontSizeValue(const QVariant& value);

    QWebEngineView* Web;
    QAction* actNew;
    QAction* actCut;
    QAction* actCopy;
    QAction* actPaste;
    QAction* actBold;
    QAction* actItalic;
    QAction* actUnderline;
    QAction* actLeft;
    QAction* actCenter;
    QAction* actRight;
    QAction* actBullet;
    QAction* actNumbering;
    QAction* actHyperlink;
    QAction* actFontUp;
    QAction* actFontMin;
    QAction* actFontColor;
    QAction* actExit;

    void actNewExecute();
    void actCutExecute();
    void actCopyExecute();
    void actPasteExecute();
    void actBoldExecute();
    void actItalicExecute();
    void actUnderlineExecute();
    void actLeftExecute();
    void actCenterExecute();
    void actRightExecute();
    void actBulletExecute();
    void actNumberingExecute();
    void actHyperlinkExecute();
    void actFontUpExecute();
    void actFontMinExecute();
    void actFontColorExecute();
    void actExitExecute();

    // Escape closes like the close button: with the take-over question.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void FormClose(QCloseEvent* event);

    void createActions();
    void createBars();
    QAction* addAction(QAction*& field, const char* name, const QString& caption, const QIcon& icon,
                       void (TfrmHtmlEdit::*handler)());
    void waitForPage();
    void execCommand(const QString& command, bool showUi, const QString& valueScript);
    void changeFontSize(int step);

    UserInteraction& m_ui;
    QToolBar* m_toolBar;
    QMenuBar* m_menuBar;
    QStatusBar* m_statusBar;
    QString m_color = QStringLiteral("000000");
    bool m_pageReady = false;
    bool m_pageFailed = false;
    bool m_waiting = false;
    bool m_hasFinalSource = false;
    QString m_finalSource;
};
