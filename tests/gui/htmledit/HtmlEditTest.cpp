#include "htmledit/uHtmlEdit.h"
#include "support/FakeInteraction.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

using Answer = UserInteraction::Answer;

std::string str(const QString& s)
{
    return s.toStdString();
}

// One editor for the whole suite: starting a page costs far more than a test.
class HtmlEditTest : public ::testing::Test
{
protected:
    static inline FakeInteraction* ui = nullptr;
    static inline TfrmHtmlEdit* edit = nullptr;

    static void SetUpTestSuite()
    {
        ui = new FakeInteraction;
        edit = new TfrmHtmlEdit(*ui);
    }
    static void TearDownTestSuite()
    {
        delete edit;
        delete ui;
        edit = nullptr;
        ui = nullptr;
    }
    void SetUp() override
    {
        *ui = FakeInteraction();
        if (!edit->isVisible())
            edit->show();
    }
    void TearDown() override
    {
        EXPECT_TRUE(ui->errors.isEmpty()) << str(ui->errors.join(u'\n'));
        EXPECT_TRUE(ui->allAnswersUsed());
    }

    static QString source() { return edit->GetSource(); }

    // Selects the first occurrence of `word` in the document's text.
    static void select(const QString& word)
    {
        const QString script =
            QStringLiteral(R"(
            var word = %1;
            var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
            for (var n = walker.nextNode(); n; n = walker.nextNode()) {
                var at = n.data.indexOf(word);
                if (at >= 0) {
                    var r = document.createRange();
                    r.setStart(n, at);
                    r.setEnd(n, at + word.length);
                    var s = getSelection();
                    s.removeAllRanges();
                    s.addRange(r);
                    return true;
                }
            }
            throw 'not in the document: ' + word;)")
                .arg(QString::fromUtf8(
                         QJsonDocument(QJsonArray{word}).toJson(QJsonDocument::Compact)) +
                     QStringLiteral("[0]"));
        edit->runScript(script);
    }

    // Records what reaches execCommand; `fontSize`, when given, is what
    // queryCommandValue("FontSize") answers instead of the engine.
    static void spy(const QString& fontSize = QString())
    {
        edit->runScript(QStringLiteral(R"(
            window.calls = [];
            window.realExec = window.realExec || document.execCommand;
            window.realQuery = window.realQuery || document.queryCommandValue;
            document.execCommand = function (c, ui, v) {
                calls.push(c + '|' + ui + '|' + v);
                return realExec.call(document, c, ui, v);
            };
            var faked = %1;
            document.queryCommandValue = faked === undefined ? realQuery
                : function (c) { return c === 'FontSize' ? faked : realQuery.call(document, c); };
            return true;)")
                            .arg(fontSize.isNull() ? QStringLiteral("undefined") : fontSize));
    }
    static QStringList calls()
    {
        return edit->runScript(QStringLiteral("return calls.join('\\n');"))
            .toString()
            .split(u'\n', Qt::SkipEmptyParts);
    }
};

TEST_F(HtmlEditTest, HasTheCaptionsGroupsAndMenusOfTheEditor)
{
    EXPECT_EQ(edit->windowTitle(), QStringLiteral("HTML-Editor"));
    const auto* toolBar = edit->findChild<QToolBar*>();
    ASSERT_TRUE(toolBar);
    QStringList buttons;
    for (QAction* a : toolBar->actions())
        buttons << (a->isSeparator() ? QStringLiteral("|") : a->objectName() + u'=' + a->text());
    EXPECT_EQ(buttons.join(u' '),
              QStringLiteral("actNew=Neu | actCut=Ausschneiden actCopy=Kopieren actPaste=Einfügen"
                             " | actBold=Fett actItalic=Kursiv actUnderline=Unterstrichen"
                             " | actLeft=Linksbündig actCenter=Zentriert actRight=Rechtsbündig"
                             " | actBullet=Aufzählung actNumbering=Nummerierung"
                             " | actHyperlink=Hyperlink einfügen"
                             " | actFontUp=Schrift größer actFontMin=Schrift kleiner"
                             " actFontColor=Schriftfarbe | actExit=Beenden"));
    for (QAction* a : toolBar->actions())
        EXPECT_TRUE(a->isSeparator() || !a->icon().isNull()) << str(a->objectName());

    const auto* menuBar = edit->findChild<QMenuBar*>();
    ASSERT_TRUE(menuBar);
    QStringList menus;
    for (QAction* m : menuBar->actions()) {
        QStringList items;
        for (QAction* a : m->menu()->actions())
            items << a->text();
        menus << m->text() + u':' + items.join(u',');
    }
    EXPECT_EQ(menus, (QStringList{QStringLiteral("D&atei:Neu,Beenden"),
                                  QStringLiteral("Bearbeiten:Ausschneiden,Kopieren,Einfügen")}));
}

TEST_F(HtmlEditTest, SetSourceReplacesEverythingAndIsEditable)
{
    edit->SetSource(QStringLiteral("<p>alt</p>"));
    edit->SetSource(QStringLiteral("Wort"));
    EXPECT_EQ(source(), QStringLiteral("Wort"));
    EXPECT_EQ(edit->runScript(QStringLiteral("return document.designMode;")).toString(),
              QStringLiteral("on"));
}

TEST_F(HtmlEditTest, KeepsMarkupItDoesNotKnowAndRunsNoScriptOfIt)
{
    const QString untouched = QStringLiteral(
        "<div class=\"teaser x-1\" data-id=\"7\" unknown=\"yes\" style=\"margin: 2px;\">"
        "<img src=\"bilder/logo.png\" alt=\"Logo\" width=\"88\" height=\"31\" vendor:attr=\"1\">"
        "<img src=\"http://example.invalid/a.gif\" onerror=\"document.body.setAttribute('ran', "
        "1)\">"
        "<!-- Kommentar --><custom-tag foo=\"bar\">Ä „Zitat“ &amp; &lt;tag&gt; \\ ' \"</custom-tag>"
        "<table border=\"1\"><tbody><tr><td>Zelle</td></tr></tbody></table>"
        "<script>document.title = 'ran';</script></div>");
    edit->SetSource(untouched + QStringLiteral("<p>Ein Wort</p>"));
    EXPECT_EQ(str(source()), str(untouched + QStringLiteral("<p>Ein Wort</p>")));

    select(QStringLiteral("Wort"));
    edit->actBold->trigger();
    EXPECT_EQ(str(source()), str(untouched + QStringLiteral("<p>Ein <b>Wort</b></p>")));
    EXPECT_EQ(edit->runScript(
                      QStringLiteral("return document.title + document.body.hasAttribute('ran');"))
                  .toString(),
              QStringLiteral("false"));
}

TEST_F(HtmlEditTest, FormattingActionsReachTheEngineAsItsCommands)
{
    const struct
    {
        QAction* TfrmHtmlEdit::*action;
        const char* call;
        const char* markup;
    } cases[] = {
        {&TfrmHtmlEdit::actBold, "Bold|false|0", "<b>Wort</b>"},
        {&TfrmHtmlEdit::actItalic, "Italic|false|0", "<i>Wort</i>"},
        {&TfrmHtmlEdit::actUnderline, "Underline|false|0", "<u>Wort</u>"},
        {&TfrmHtmlEdit::actCenter, "JustifyCenter|false|0", "center"},
        {&TfrmHtmlEdit::actRight, "JustifyRight|false|0", "right"},
        {&TfrmHtmlEdit::actLeft, "JustifyLeft|false|0", "Wort"},
        {&TfrmHtmlEdit::actBullet, "InsertUnorderedList|false|0", "<ul><li>Wort</li></ul>"},
        {&TfrmHtmlEdit::actNumbering, "InsertOrderedList|false|0", "<ol><li>Wort</li></ol>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        edit->SetSource(QStringLiteral("<p>Wort</p>"));
        select(QStringLiteral("Wort"));
        spy();
        (edit->*c.action)->trigger();
        EXPECT_EQ(calls(), QStringList{QString::fromLatin1(c.call)});
        EXPECT_TRUE(source().contains(QString::fromLatin1(c.markup))) << str(source());
    }
}

TEST_F(HtmlEditTest, FontSizeGoesOneUpOrDownFromTheReportedValue)
{
    // The engine's own answer for text of the normal size is "3".
    edit->SetSource(QStringLiteral("<p>Wort</p>"));
    select(QStringLiteral("Wort"));
    spy();
    edit->actFontUp->trigger();
    EXPECT_EQ(calls(), QStringList{QStringLiteral("FontSize|true|4")});
    EXPECT_EQ(source(), QStringLiteral("<p><font size=\"4\">Wort</font></p>"));

    const struct
    {
        const char* reported; // a script value
        QAction* TfrmHtmlEdit::*action;
        const char* sent; // nullptr: no size set, the error report instead
    } cases[] = {
        {"'3'", &TfrmHtmlEdit::actFontUp, "4"},
        {"'3'", &TfrmHtmlEdit::actFontMin, "2"},
        {"''", &TfrmHtmlEdit::actFontUp, "1"},
        {"''", &TfrmHtmlEdit::actFontMin, "-1"},
        {"5", &TfrmHtmlEdit::actFontUp, "6"},
        {"'7'", &TfrmHtmlEdit::actFontUp, "8"},
        {"null", &TfrmHtmlEdit::actFontUp, nullptr},
        {"'gross'", &TfrmHtmlEdit::actFontMin, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reported);
        edit->SetSource(QStringLiteral("<p>Wort</p>"));
        select(QStringLiteral("Wort"));
        spy(QString::fromLatin1(c.reported));
        (edit->*c.action)->trigger();
        if (c.sent) {
            EXPECT_EQ(calls(), QStringList{"FontSize|true|" + QString::fromLatin1(c.sent)});
            EXPECT_TRUE(ui->errors.isEmpty());
        } else {
            EXPECT_TRUE(calls().isEmpty());
            EXPECT_EQ(ui->errors.size(), 1);
            EXPECT_EQ(source(), QStringLiteral("<p>Wort</p>"));
            EXPECT_TRUE(edit->isVisible());
        }
        ui->errors.clear();
    }
    spy(); // back to the engine's own answers
}

TEST_F(HtmlEditTest, FontColourIsSentAsSixUpperCaseHexDigits)
{
    const struct
    {
        QColor chosen;
        const char* text;
    } colours[] = {
        {QColor(0, 0, 255), "0000FF"},
        {QColor(255, 0, 0), "FF0000"},
        {QColor(18, 52, 86), "123456"},
        {QColor::fromHsv(240, 255, 255), "0000FF"},
        {QColor::fromCmyk(0, 0, 0, 255), "000000"},
    };
    for (const auto& c : colours)
        EXPECT_EQ(TfrmHtmlEdit::colorText(c.chosen), QString::fromLatin1(c.text)) << c.text;

    edit->SetSource(QStringLiteral("<p>Wort</p>"));
    select(QStringLiteral("Wort"));
    spy();
    ui->colors.push_back(std::nullopt);
    edit->actFontColor->trigger();
    EXPECT_TRUE(calls().isEmpty());

    ui->colors.push_back(QColor(Qt::blue));
    edit->actFontColor->trigger();
    EXPECT_EQ(calls(), QStringList{QStringLiteral("ForeColor|false|0000FF")});
    EXPECT_EQ(source(), QStringLiteral("<p><font color=\"#0000ff\">Wort</font></p>"));
}

TEST_F(HtmlEditTest, HyperlinkAsksForTheAddressAndCancelCreatesNothing)
{
    edit->SetSource(QStringLiteral("<p>Ein Wort</p>"));
    select(QStringLiteral("Wort"));
    spy();
    ui->texts.push_back(std::nullopt);
    edit->actHyperlink->trigger();
    ui->texts.push_back(QStringLiteral("   "));
    edit->actHyperlink->trigger();
    EXPECT_TRUE(calls().isEmpty());
    EXPECT_EQ(source(), QStringLiteral("<p>Ein Wort</p>"));

    ui->texts.push_back(QStringLiteral("https://example.org/a?b=1&c=\"2\""));
    edit->actHyperlink->trigger();
    EXPECT_EQ(source(),
              QStringLiteral(
                  "<p>Ein <a href=\"https://example.org/a?b=1&amp;c=&quot;2&quot;\">Wort</a></p>"));
}

TEST_F(HtmlEditTest, NewAsksAndEmptiesTheDocumentOnlyOnYes)
{
    edit->SetSource(QStringLiteral("<p>Wort</p>"));
    ui->answers = {Answer::No, Answer::Yes};
    edit->actNew->trigger();
    EXPECT_EQ(source(), QStringLiteral("<p>Wort</p>"));
    edit->actNew->trigger();
    EXPECT_EQ(source(), QString());
    ASSERT_EQ(ui->questions.size(), 2u);
    EXPECT_EQ(ui->questions[0].text, QStringLiteral("Wollen Sie die bestehende Eingabe löschen?"));
    EXPECT_FALSE(ui->questions[0].withCancel);
    // Still editable after the document was emptied.
    EXPECT_EQ(edit->runScript(QStringLiteral("return document.designMode;")).toString(),
              QStringLiteral("on"));
}

TEST_F(HtmlEditTest, EveryWayOfClosingAsksWhetherToTakeTheEditOver)
{
    const struct
    {
        const char* how;
        void (*close)();
        Answer answer;
        int result;
    } cases[] = {
        {"Beenden, Ja", [] { edit->actExit->trigger(); }, Answer::Yes, QDialog::Accepted},
        {"Beenden, Nein", [] { edit->actExit->trigger(); }, Answer::No, QDialog::Rejected},
        {"close button, Ja", [] { edit->close(); }, Answer::Yes, QDialog::Accepted},
        {"close button, Nein", [] { edit->close(); }, Answer::No, QDialog::Rejected},
        {"Escape, Nein", [] { edit->reject(); }, Answer::No, QDialog::Rejected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        edit->show();
        edit->SetSource(QStringLiteral("Wort"));
        select(QStringLiteral("Wort"));
        edit->actBold->trigger();
        ui->questions.clear();
        ui->answers = {c.answer};
        c.close();
        EXPECT_FALSE(edit->isVisible());
        EXPECT_EQ(edit->result(), c.result);
        ASSERT_EQ(ui->questions.size(), 1u);
        EXPECT_EQ(ui->questions[0].text, QStringLiteral("Soll die Eingabe übernommen werden?"));
        EXPECT_FALSE(ui->questions[0].withCancel);
        if (c.result == QDialog::Accepted) {
            EXPECT_EQ(source(), QStringLiteral("<b>Wort</b>"));
        }
    }
}

TEST_F(HtmlEditTest, ATextThatCannotBeReadKeepsTheWindowOpen)
{
    edit->SetSource(QStringLiteral("Wort"));
    edit->runScript(
        QStringLiteral("Object.defineProperty(document.body, 'innerHTML', { configurable: true,"
                       " get: function () { throw 'kaputt'; } }); return true;"));
    ui->answers = {Answer::Yes};
    edit->close();
    EXPECT_TRUE(edit->isVisible()) << "a Yes must not end the edit without its text";
    ASSERT_EQ(ui->errors.size(), 1);
    EXPECT_TRUE(ui->errors[0].contains(QStringLiteral("kaputt")));
    ui->errors.clear();

    edit->runScript(QStringLiteral("delete document.body.innerHTML; return true;"));
    ui->answers = {Answer::Yes};
    edit->close();
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(source(), QStringLiteral("Wort"));
}

} // namespace
