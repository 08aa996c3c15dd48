#pragma once

#include <QDialog>

// The about box: picture, product name, copyright, homepage and mail address.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent);
};
