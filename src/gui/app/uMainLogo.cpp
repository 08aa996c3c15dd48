// The logo check of the main window: fetches the picture at edtLogoUrl,
// fills edtLogoWidth, edtLogoHeight and logoPicture. Not built yet.
#include "uMain.h"

void TForm1::btReadPictureClick() {}
