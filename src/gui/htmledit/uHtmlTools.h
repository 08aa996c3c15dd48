#pragma once

class QWidget;
class UserInteraction;

// Edits the text of a field as formatted HTML in the HTML editor window.
class HtmlTools
{
public:
    // edit: a QLineEdit, QPlainTextEdit or QTextEdit. Opens a fresh editor
    // centred over the field's window, loads the field's text, and on OK
    // replaces the text with the editor's result; otherwise leaves it as it is.
    static void OpenHtmlEditor(QWidget* edit, UserInteraction& ui);
};
