#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;
class UserInteraction;

// Asks where a feed to import comes from: a file (typed or picked) or an
// http/https address. Typing into a field selects its choice.
class TfrmImport : public QDialog
{
    Q_OBJECT

public:
    TfrmImport(QWidget* parent, UserInteraction& ui);

    // The chosen file path or address, trimmed.
    QString source() const;

    void btBrowseClick();

private:
    void updateOk();

    UserInteraction& m_ui;
    QRadioButton* rbFile = nullptr;
    QRadioButton* rbAddress = nullptr;
    QLineEdit* edtFile = nullptr;
    QLineEdit* edtAddress = nullptr;
    QPushButton* m_ok = nullptr;
};
