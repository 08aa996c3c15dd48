#pragma once

class QString;
class QWidget;
class UserInteraction;

// The one entry point of the HTML editor module (libtavistrel_htmledit.so,
// the program's only user of Qt WebEngine). HtmlTools loads the module on the
// first HTML edit and looks the function up by this name, so that a session
// that never edits HTML does not map the browser engine.
#define TAVISTREL_EDIT_HTML_SYMBOL "tavistrelEditHtml"

// Shows a fresh HTML editor over `parent` with `text` as its source. True when
// the user took the edit over; `text` then holds the editor's body HTML.
// Throws Error when the HTML view fails.
using EditHtmlFunction = bool (*)(QWidget* parent, UserInteraction& ui, QString& text);

extern "C" bool tavistrelEditHtml(QWidget* parent, UserInteraction& ui, QString& text);
