#pragma once

class QWidget;
class UserInteraction;

// Edits the text of a field as formatted HTML in the HTML editor window.
class HtmlTools
{
public:
    // edit: a QLineEdit, QPlainTextEdit or QTextEdit (its plain text). Opens a
    // fresh editor, owned by and centred over the field's window, loads the
    // field's text, and when the user takes the edit over replaces the text
    // with the editor's body HTML (also when nothing was changed); otherwise
    // leaves it exactly as it was. Throws Error when the HTML view fails or
    // for a widget of another kind; run it inside runCommand.
    static void OpenHtmlEditor(QWidget* edit, UserInteraction& ui);
};
