// FTP publishing commands of the main window. The FTP client and its windows
// are not part of the program yet; the buttons and actions are wired here.
#include "uMain.h"

void TForm1::actUploadExecute() {}

void TForm1::actFTPProfilesExecute() {}

void TForm1::btFTPBrowseClick() {}
