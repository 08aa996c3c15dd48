#include "UserInteraction.h"

#include "uImportDlg.h"

#include "platform/Error.h"

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
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, label, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
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
