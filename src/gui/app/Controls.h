#pragma once

#include "ftp/RemoteSession.h"

#include <QString>
#include <QTime>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTextBrowser;
class QTimeEdit;
class QToolButton;
class QWidget;

// Factories for the control kinds both editing windows share, so the main
// window and the entry dialog behave the same: every control carries its name
// as object name, no field limits or trims its value.
namespace Controls {

QLineEdit* lineEdit(QWidget* parent, const char* name);
QPlainTextEdit* memo(QWidget* parent, const char* name);
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption = {});
// Calendar popup; display in the regional short date order.
QDateEdit* dateEdit(QWidget* parent, const char* name);
// Hours, minutes and seconds in the regional time format.
QTimeEdit* timeEdit(QWidget* parent, const char* name);
// A whole number without bounds.
QSpinBox* spinField(QWidget* parent, const char* name);
// A small button with the refresh picture.
QToolButton* refreshButton(QWidget* parent, const char* name);
QLabel* label(QWidget* parent, const QString& text, QWidget* buddy = nullptr);
// Bold 12-point Arial with a small icon in front: the heading of a panel.
QWidget* heading(QWidget* parent, const QString& text);
QTextBrowser* helpBrowser(QWidget* parent);

// The transfer protocol drop-down: the captions shown, the codes kept.
QComboBox* protocolBox(QWidget* parent, const char* name);
RemoteProtocol protocolOf(const QComboBox* box);
void setProtocol(QComboBox* box, RemoteProtocol protocol);
// Keeps port and passive box in step with the protocol box: a port that holds
// the other protocol's default ("21" or "22") follows the change; the passive
// box means nothing to SFTP and is disabled there.
void followProtocol(QComboBox* box, QLineEdit* port, QCheckBox* passive);

// Multi-line fields hold CR LF between lines; the widget uses LF.
QString memoText(const QPlainTextEdit* memo);
void setMemoText(QPlainTextEdit* memo, const QString& text);

// The date and time picker display formats built from the regional settings.
QString dateDisplayFormat();
QString timeDisplayFormat();

// The current moment to the second: the project file stores no fractions.
QTime wholeSeconds(QTime time);

} // namespace Controls
