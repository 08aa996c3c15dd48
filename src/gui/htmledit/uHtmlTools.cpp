#include "uHtmlTools.h"

// Placeholder until the HTML editor lands.
void HtmlTools::OpenHtmlEditor(QWidget*, UserInteraction&) {}
