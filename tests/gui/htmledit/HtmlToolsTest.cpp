#include "htmledit/uHtmlEdit.h"
#include "htmledit/uHtmlTools.h"
#include "support/FakeInteraction.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Answer = UserInteraction::Answer;

// A window with a field; `work` runs in the editor once it is shown
// modally, and ends by closing it. A watchdog ends a stuck run.
class HtmlToolsTest : public ::testing::Test
{
protected:
    QWidget window;
    FakeInteraction ui;
    QPointer<TfrmHtmlEdit> seen;

    template <typename Field> Field* field(const QString& text)
    {
        auto* f = new Field(&window);
        new QVBoxLayout(&window);
        window.layout()->addWidget(f);
        if constexpr (std::is_same_v<Field, QLineEdit>)
            f->setText(text);
        else
            f->setPlainText(text);
        return f;
    }

    void open(QWidget* edit, const std::function<void(TfrmHtmlEdit&)>& work)
    {
        // The editor waits for its page before exec() shows it: poll until
        // it is on screen, modal.
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* e = window.findChild<TfrmHtmlEdit*>();
            if (!e || !e->isVisible())
                return;
            poll.stop();
            seen = e;
            EXPECT_TRUE(e->isModal());
            work(*e);
            if (seen && seen->isVisible()) {
                ADD_FAILURE() << "the editor is still open";
                seen->done(QDialog::Rejected);
            }
        });
        poll.start();
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            if (auto* e = window.findChild<TfrmHtmlEdit*>()) {
                ADD_FAILURE() << "watchdog";
                e->done(QDialog::Rejected);
            }
        });
        watchdog.start(20000);
        HtmlTools::OpenHtmlEditor(edit, ui);
    }

    static void boldAll(TfrmHtmlEdit& e)
    {
        e.runScript(QStringLiteral("var r = document.createRange();"
                                   " r.selectNodeContents(document.body);"
                                   " getSelection().removeAllRanges(); getSelection().addRange(r);"
                                   " return true;"));
        e.actBold->trigger();
    }
};

TEST_F(HtmlToolsTest, AcceptedEditReplacesTheFieldsText)
{
    QPlainTextEdit* memo = field<QPlainTextEdit>(QStringLiteral("Wort"));
    ui.answers = {Answer::Yes};
    open(memo, [](TfrmHtmlEdit& e) {
        EXPECT_EQ(e.GetSource(), QStringLiteral("Wort"));
        boldAll(e);
        e.actExit->trigger();
    });
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("<b>Wort</b>"));
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(seen.isNull()) << "the editor is destroyed after use";
}

TEST_F(HtmlToolsTest, NoKeepsTheFieldExactlyAfterEdits)
{
    // Text the engine would rewrite if it came back.
    const QString text = QStringLiteral("a  <B>b</B>\r\n<p>c");
    QLineEdit* line = field<QLineEdit>(text);
    ui.answers = {Answer::No};
    open(line, [](TfrmHtmlEdit& e) {
        boldAll(e);
        e.close();
    });
    EXPECT_EQ(line->text(), text);
    EXPECT_FALSE(line->isModified());
}

TEST_F(HtmlToolsTest, EachEditStartsAFreshEditorOwnedByTheFieldsWindow)
{
    QTextEdit* memo = field<QTextEdit>(QString());
    ui.answers = {Answer::Yes, Answer::Yes};
    TfrmHtmlEdit* first = nullptr;
    open(memo, [&](TfrmHtmlEdit& e) {
        first = &e;
        EXPECT_EQ(e.parentWidget(), &window);
        e.SetSource(QStringLiteral("x"));
        e.close();
    });
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("x"));

    memo->clear();
    open(memo, [&](TfrmHtmlEdit& e) {
        EXPECT_EQ(e.GetSource(), QString()) << "no text of the last edit";
        e.close();
    });
    // Accepted without edits: what the editor gives for an empty document.
    EXPECT_EQ(memo->toPlainText(), QString());
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(HtmlToolsTest, RefusesAFieldWithoutText)
{
    QCheckBox box(&window);
    EXPECT_ANY_THROW(HtmlTools::OpenHtmlEditor(&box, ui));
}

} // namespace
