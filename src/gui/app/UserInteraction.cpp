#include "UserInteraction.h"

#include "platform/Error.h"
#include "uImportDlg.h"

#include <QAction>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <exception>

namespace {

const QString kAppTitle = QStringLiteral("Tavistrel");

QMessageBox::Icon toQtIcon(UserInteraction::Icon icon)
{
    switch (icon) {
    case UserInteraction::Icon::Information:
        return QMessageBox::Information;
    case UserInteraction::Icon::Question:
        return QMessageBox::Question;
    case UserInteraction::Icon::Warning:
        return QMessageBox::Warning;
    case UserInteraction::Icon::Error:
        return QMessageBox::Critical;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

void QtUserInteraction::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtUserInteraction::showError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

UserInteraction::Answer QtUserInteraction::ask(QWidget* parent, const QString& caption,
                                               const QString& text, Icon icon, bool withCancel)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel)
        buttons |= QMessageBox::Cancel;
    QMessageBox box(toQtIcon(icon), caption, text, buttons, parent);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return withCancel ? Answer::Cancel : Answer::No;
    }
}

bool QtUserInteraction::askTrust(QWidget* parent, const TrustQuestion& question)
{
    QMessageBox box(QMessageBox::Warning, trustQuestionCaption(question),
                    trustQuestionText(question), QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse); // the fingerprint, for comparing
    return box.exec() == QMessageBox::Yes;
}

QString trustQuestionCaption(const TrustQuestion& question)
{
    return question.kind == TrustQuestion::Kind::Certificate
               ? QStringLiteral("Unbekanntes Zertifikat")
               : QStringLiteral("Unbekannter Server-Schlüssel");
}

QString trustQuestionText(const TrustQuestion& question)
{
    const bool certificate = question.kind == TrustQuestion::Kind::Certificate;
    QString text = certificate
                       ? QStringLiteral("Das Zertifikat des Servers %1:%2 kann nicht bestätigt "
                                        "werden.\n\n")
                       : QStringLiteral("Der Schlüssel des Servers %1:%2 ist unbekannt.\n\n");
    text = text.arg(question.host).arg(question.port);
    if (!question.reason.isEmpty())
        text += QStringLiteral("Grund: %1\n").arg(question.reason);
    if (!question.subject.isEmpty())
        text += QStringLiteral("Inhaber: %1\n").arg(question.subject);
    if (!question.validity.isEmpty())
        text += QStringLiteral("Gültig: %1\n").arg(question.validity);
    text += QStringLiteral("\nSHA-256-Fingerabdruck:\n%1\n\n").arg(question.fingerprint);
    text += certificate ? QStringLiteral("Soll diesem Zertifikat für diesen Server künftig "
                                         "vertraut werden? Bei \"Nein\" wird die Verbindung "
                                         "beendet, bevor das Passwort gesendet wird.")
                        : QStringLiteral("Soll diesem Schlüssel für diesen Server künftig "
                                         "vertraut werden? Bei \"Nein\" wird die Verbindung "
                                         "beendet, bevor das Passwort gesendet wird.");
    return text;
}

QString QtUserInteraction::toQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList labels;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        labels << parts[i];
    return labels.join(QStringLiteral(";;"));
}

QString QtUserInteraction::folderKey(bool save, const QString& filter)
{
    return (save ? QStringLiteral("save|") : QStringLiteral("open|")) + filter;
}

QString QtUserInteraction::getOpenFileName(QWidget* parent, const QString& filter)
{
    const QString key = folderKey(false, filter);
    QFileDialog dialog(parent, QString(), m_lastFolders.value(key), toQtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    m_lastFolders[key] = QFileInfo(path).absolutePath();
    return path;
}

QString QtUserInteraction::getSaveFileName(QWidget* parent, const QString& filter,
                                           const QString& defaultSuffix,
                                           const QString& proposedName)
{
    const QString key = folderKey(true, filter);
    QFileDialog dialog(parent, QString(), m_lastFolders.value(key), toQtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The commands ask about overwriting themselves.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    m_lastFolders[key] = QFileInfo(path).absolutePath();
    return path;
}

std::optional<QColor> QtUserInteraction::getColor(QWidget* parent, const QColor& initial)
{
    const QColor color = QColorDialog::getColor(initial, parent);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

std::optional<QString> QtUserInteraction::getText(QWidget* parent, const QString& caption,
                                                  const QString& label, const QString& initial)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setTextValue(initial);
    // Room for the caption and a web address; Qt's default cuts both.
    dialog.resize(qMax(dialog.sizeHint().width(), 420), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString withFullStop(QString text)
{
    if (!text.isEmpty() && text.back() > u'.')
        text += u'.';
    return text;
}

void runCommand(UserInteraction& ui, QWidget* parent, const std::function<void()>& command)
{
    try {
        command();
    } catch (const Error& e) {
        ui.showError(parent, withFullStop(e.message()));
    } catch (const std::exception& e) {
        ui.showError(parent, withFullStop(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        ui.showError(parent, withFullStop(QStringLiteral("Unbekannter Fehler")));
    }
}

QAction* commandAction(QWidget* owner, UserInteraction& ui, const char* name,
                       const QString& caption, const QIcon& icon, std::function<void()> handler)
{
    auto* action = new QAction(icon, caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    QObject::connect(
        action, &QAction::triggered, owner,
        [&ui, owner, handler = std::move(handler)] { runCommand(ui, owner, handler); });
    return action;
}

std::optional<QString> QtUserInteraction::getFeedSource(QWidget* parent)
{
    TfrmImport dialog(parent, *this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.source();
}
