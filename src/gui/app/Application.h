#pragma once

// Starts the editor: application object, translations, main window, event loop.
int runGui(int& argc, char** argv);

// Installs Qt's German translations, so standard buttons and dialogs read
// "Ja", "Nein", "Abbrechen" and the HTML editor's context menu "Kopieren".
// False when one of them is not installed;
// the program then runs with Qt's English texts.
bool installGermanQtTranslation();

class QIcon;

// The program icon in every size it comes in.
QIcon applicationIcon();
// Name, icon and desktop entry of the program, for every window it opens.
void setApplicationIdentity();
