#pragma once

// Starts the editor: application object, translations, main window, event loop.
int runGui(int& argc, char** argv);

// Installs Qt's German translation, so standard buttons and dialogs read
// "Ja", "Nein", "Abbrechen". False when the translation is not installed;
// the program then runs with Qt's English texts.
bool installGermanQtTranslation();

class QIcon;

// The program icon in every size it comes in.
QIcon applicationIcon();
// Name, icon and desktop entry of the program, for every window it opens.
void setApplicationIdentity();
