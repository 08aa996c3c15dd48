// The logo check of the main window: fetches the picture at edtLogoUrl,
// fills edtLogoWidth, edtLogoHeight and logoPicture.
#include "LogoCheck.h"
#include "uMain.h"

#include <QLabel>

void TForm1::btReadPictureClick()
{
    LogoCheck check(this, m_ui, textControl(u"edtLogoUrl"), spinControl(u"edtLogoWidth"),
                    spinControl(u"edtLogoHeight"),
                    findChild<QLabel*>(QStringLiteral("logoPicture")));
    check.btReadPictureClick();
}
