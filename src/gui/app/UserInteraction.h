#pragma once

#include "ftp/RemoteSession.h"

#include <QColor>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

class QAction;
class QIcon;
class QWidget;

// Everything a window asks of the user or tells them goes through this
// interface, so tests can answer the questions and read the messages without
// a screen. Filters use the "Label (*.ext)|*.ext|..." form of the file dialogs.
class UserInteraction
{
public:
    enum class Answer { Yes, No, Cancel };
    enum class Icon { None, Information, Question, Warning, Error };

    virtual ~UserInteraction() = default;

    // A plain message: the text, an OK button, the caption "Tavistrel".
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // The general error report: caption "Tavistrel", error icon, OK.
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // Yes/No, or Yes/No/Cancel with withCancel.
    virtual Answer ask(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                       bool withCancel) = 0;
    // Empty when cancelled.
    virtual QString getOpenFileName(QWidget* parent, const QString& filter) = 0;
    // defaultSuffix is appended to a name typed without extension; empty when cancelled.
    virtual QString getSaveFileName(QWidget* parent, const QString& filter,
                                    const QString& defaultSuffix, const QString& proposedName) = 0;
    virtual std::optional<QColor> getColor(QWidget* parent, const QColor& initial) = 0;
    // A one-line text input; nullopt when cancelled.
    virtual std::optional<QString> getText(QWidget* parent, const QString& caption,
                                           const QString& label, const QString& initial) = 0;
    // A server that cannot be verified: Ja (true) trusts it from then on.
    // Called on the GUI thread.
    virtual bool askTrust(QWidget* parent, const TrustQuestion& question) = 0;
    // A feed to import: a file path or an http/https address; nullopt when
    // cancelled.
    virtual std::optional<QString> getFeedSource(QWidget* parent) = 0;
};

// The trust question's caption and text: host, reason, subject, validity
// and the SHA-256 fingerprint.
QString trustQuestionCaption(const TrustQuestion& question);
QString trustQuestionText(const TrustQuestion& question);

// The real dialogs.
class QtUserInteraction : public UserInteraction
{
public:
    void showMessage(QWidget* parent, const QString& text) override;
    void showError(QWidget* parent, const QString& text) override;
    Answer ask(QWidget* parent, const QString& caption, const QString& text, Icon icon,
               bool withCancel) override;
    QString getOpenFileName(QWidget* parent, const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                            const QString& proposedName) override;
    std::optional<QColor> getColor(QWidget* parent, const QColor& initial) override;
    std::optional<QString> getText(QWidget* parent, const QString& caption, const QString& label,
                                   const QString& initial) override;
    bool askTrust(QWidget* parent, const TrustQuestion& question) override;
    std::optional<QString> getFeedSource(QWidget* parent) override;

    // "A (*.a)|*.a|B (*.*)|*.*" -> "A (*.a);;B (*.*)"
    static QString toQtFilter(const QString& filter);

private:
    // Each file dialog (open or save, told apart by its filter) opens in the
    // folder it showed last, not in the one another dialog used.
    static QString folderKey(bool save, const QString& filter);

    QHash<QString, QString> m_lastFolders;
};

// The error report's text: a full stop is appended when the text ends in a
// character that sorts after it (letters, digits).
QString withFullStop(QString text);

// Runs one command; any error it throws ends the command and is shown by the
// general error report, so nothing escapes into the event loop.
void runCommand(UserInteraction& ui, QWidget* parent, const std::function<void()>& command);

// An action owned by `owner`, named `name`, whose trigger runs `handler`
// inside runCommand.
QAction* commandAction(QWidget* owner, UserInteraction& ui, const char* name,
                       const QString& caption, const QIcon& icon, std::function<void()> handler);
