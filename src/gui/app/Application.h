#pragma once

// Starts the editor: application object, translations, main window, event loop.
int runGui(int& argc, char** argv);
