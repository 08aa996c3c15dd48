#include "HtmlEditorModule.h"

#include "uHtmlEdit.h"

extern "C" bool tavistrelEditHtml(QWidget* parent, UserInteraction& ui, QString& text)
{
    TfrmHtmlEdit editor(ui, parent);
    editor.SetSource(text);
    if (editor.exec() != QDialog::Accepted)
        return false;
    text = editor.GetSource();
    return true;
}
