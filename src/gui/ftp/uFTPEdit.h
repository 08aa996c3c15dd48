#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class TfrmFTPLog;
class UserInteraction;

// The profile editor: one FTP profile typed or changed, checked before OK
// lets it through, and tried against the server with "Verbindung testen",
// whose lines go to the shared FTP log window. The caller fills the fields,
// runs the dialog and reads them back after OK.
class TfrmFTPEdit : public QDialog
{
    Q_OBJECT

public:
    TfrmFTPEdit(UserInteraction& ui, TfrmFTPLog& log, QWidget* owner);

    // True when the fields may be taken; otherwise shows why and puts the
    // focus on the first field at fault.
    bool CheckProfileInput();
    void btOKClick();
    void btCancelClick();
    // The connection test with the fields as typed; failures are reported
    // here (messages, log lines, the general error report).
    void btTestClick();
    // Asked when the session ends while the dialog is open and has no
    // result yet: Yes runs btOKClick, anything else ends with Cancel.
    void FormCloseQuery();

    QLineEdit* edtProfilName;
    QLineEdit* edtServername;
    QComboBox* cboProtokoll;
    QLineEdit* edtPort;
    QLineEdit* edtBenutzername;
    QLineEdit* edtPasswort;
    QCheckBox* chkPassiv;
    QPushButton* btTest;
    QPushButton* btOK;
    QPushButton* btCancel;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void testConnection();
    void focusField(QLineEdit* field);

    UserInteraction& m_ui;
    TfrmFTPLog& m_log;
    bool m_decided = false;
};
