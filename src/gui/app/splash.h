#pragma once

#include <QDialog>

class QTimer;

// The start-up picture: frameless, centred, closes itself after 2000 ms.
class TfrmSplash : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmSplash(QWidget* parent = nullptr);

    void Timer1Timer();

private:
    QTimer* Timer1 = nullptr;
};

namespace Pictures {
// The program's picture, drawn in code: a feed symbol on a page.
QPixmap feedPicture(int width, int height);
} // namespace Pictures
