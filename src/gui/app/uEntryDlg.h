#pragma once

#include <QDateTime>
#include <QDialog>
#include <functional>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTextBrowser;
class QTimeEdit;
class TNewsEntry;
class UserInteraction;

// The news entry dialog: one entry's fields on two tab pages, with its own
// help panel. Created fresh for every New and Edit command.
class TfrmEntry : public QDialog
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    // Creation proposes a new GUID and the current moment (FormCreate) and
    // shows the dialog's own help page.
    TfrmEntry(QWidget* parent, UserInteraction& ui, Clock clock);

    void LoadFromObject(const TNewsEntry& entry);
    // Texts unchanged; date from the date picker, only the time of day from
    // the time picker.
    void SaveToObject(TNewsEntry& entry) const;

    void btRefreshGUIDClick();
    void btRefreshPubDatenClick();
    void btShowHtmlClick();
    // Asks the file address with an HTTP HEAD and fills size and type.
    void btDetermineClick();

    QTextBrowser* helpBrowser() const { return m_help; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();
    QWidget* buildNewsPage();
    QWidget* buildAuthorPage();
    QWidget* buildEnclosureGroup(QWidget* page);
    void OnHelpChange(const QString& name);

    UserInteraction& m_ui;
    Clock m_clock;
    QLineEdit* edtTitel = nullptr;
    QLineEdit* edtLink = nullptr;
    QPlainTextEdit* memoText = nullptr;
    QLineEdit* edtAutor = nullptr;
    QLineEdit* edtEmail = nullptr;
    QLineEdit* edtHomepage = nullptr;
    QCheckBox* chkPublish = nullptr;
    QDateEdit* datePublish = nullptr;
    QTimeEdit* publishTime = nullptr;
    QLineEdit* edtGUID = nullptr;
    QLineEdit* edtFileUrl = nullptr;
    QLineEdit* edtFilesize = nullptr;
    QLineEdit* edtMime = nullptr;
    QTabWidget* m_pages = nullptr;
    QTextBrowser* m_help = nullptr;
};
