#include "uHtmlTools.h"

#include "HtmlEditorModule.h"
#include "platform/Error.h"
#include "platform/Modules.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

QString textOf(QWidget* edit)
{
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        return line->text();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(edit))
        return plain->toPlainText();
    if (auto* rich = qobject_cast<QTextEdit*>(edit))
        return rich->toPlainText();
    throw Error(QStringLiteral("Das Feld kann nicht als HTML bearbeitet werden"));
}

void setTextOf(QWidget* edit, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        line->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(edit))
        plain->setPlainText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(edit))
        rich->setPlainText(text);
}

} // namespace

void HtmlTools::OpenHtmlEditor(QWidget* edit, UserInteraction& ui)
{
    QString text = textOf(edit);
    static const auto editHtml = reinterpret_cast<EditHtmlFunction>(
        Modules::resolve("tavistrel_htmledit", TAVISTREL_EDIT_HTML_SYMBOL));
    if (editHtml(edit->window(), ui, text))
        setTextOf(edit, text);
}
