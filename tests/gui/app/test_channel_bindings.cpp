#include "MainWindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimeEdit>
#include <climits>

using Answer = UserInteraction::Answer;

namespace {

// A value for setting i that differs from its default and from its neighbours.
ChannelValue unusualValue(const ChannelSetting& setting, int i)
{
    switch (setting.kind) {
    case SettingKind::Text:
        if (i == 0) // longer than a line edit takes by default
            return QString(40000, u'x');
        return QStringLiteral("Wert %1 äöü <&> \"'").arg(QString::fromLatin1(setting.key));
    case SettingKind::MultiLineText:
        return QStringLiteral("Zeile 1\r\n\r\n  <b>Zeile 3</b>\r\n");
    case SettingKind::Boolean:
        return qstrcmp(setting.defaultText, "0") == 0;
    case SettingKind::Date:
        return QDate(2001, 2, 3).addDays(i);
    case SettingKind::Time:
        return QTime(1, 2, 3).addSecs(i * 61);
    case SettingKind::Number:
        return QString::number(i % 2 ? INT_MIN + i : -1000 - i);
    case SettingKind::Choice:
        return QStringLiteral("Icelandic is]");
    case SettingKind::EditableChoice:
        return QStringLiteral("Freitext-Kodierung");
    case SettingKind::Protocol:
        return QStringLiteral("SFTP");
    }
    return {};
}

} // namespace

TEST_F(MainWindowTest, ControlsHaveTheKindsTheirSettingsNeed)
{
    for (const ChannelSetting& s : ChannelSettings::all()) {
        const QString key = QString::fromLatin1(s.key);
        SCOPED_TRACE(s.key);
        QWidget* control = nullptr;
        switch (s.kind) {
        case SettingKind::Text:
            control = form->textControl(key);
            break;
        case SettingKind::MultiLineText:
            control = form->memoControl(key);
            break;
        case SettingKind::Boolean:
            control = form->checkControl(key);
            break;
        case SettingKind::Date:
            control = form->dateControl(key);
            break;
        case SettingKind::Time:
            control = form->timeControl(key);
            break;
        case SettingKind::Number:
            control = form->spinControl(key);
            if (control) {
                EXPECT_EQ(form->spinControl(key)->minimum(), INT_MIN);
                EXPECT_EQ(form->spinControl(key)->maximum(), INT_MAX);
            }
            break;
        case SettingKind::Choice:
        case SettingKind::EditableChoice:
            control = form->choiceControl(key);
            if (control)
                EXPECT_EQ(form->choiceControl(key)->isEditable(),
                          s.kind == SettingKind::EditableChoice);
            break;
        case SettingKind::Protocol:
            control = form->choiceControl(key);
            if (control)
                EXPECT_FALSE(form->choiceControl(key)->isEditable());
            break;
        }
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->objectName(), key);
    }
    EXPECT_EQ(form->textControl(u"edtFTPPassword")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(form->checkControl(u"chkGenRSS")->isEnabled());
}

// Every setting is put into its control, saved through Save As, replaced by
// a new project and read back through Open.
TEST_F(MainWindowTest, EveryChannelSettingSurvivesSaveAndReopen)
{
    const auto settings = ChannelSettings::all();
    FeedDocument expected;
    for (size_t i = 0; i < settings.size(); ++i) {
        const ChannelValue value = unusualValue(settings[i], int(i));
        expected.setValue(int(i), value);
        form->setChannelValue(QString::fromLatin1(settings[i].key), value);
    }
    const QString file = path("alle.tvst");
    ui.saveFileNames = {file};
    trigger("actSaveAs");
    ui.answers = {Answer::No};
    trigger("actNew");
    ASSERT_EQ(title(), kTemplateTitle);
    ui.openFileNames = {file};
    ui.answers.push_back(UserInteraction::Answer::No); // the save question
    trigger("actOpen");

    const FeedDocument written = ProjectFile::LoadProjectFile(file);
    const FeedDocument shown = form->documentFromControls();
    for (size_t i = 0; i < settings.size(); ++i) {
        SCOPED_TRACE(settings[i].key);
        EXPECT_TRUE(written.value(int(i)) == expected.value(int(i)));
        EXPECT_TRUE(shown.value(int(i)) == expected.value(int(i)));
    }
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(MainWindowTest, LanguageOutsideTheListIsShownAndSaved)
{
    FeedDocument odd;
    odd.setText(u"cboLanguage", QStringLiteral("Klingonisch [tlh]"));
    ProjectFile::SaveProjectFile(odd, path("odd.tvst"));
    ui.openFileNames = {path("odd.tvst")};
    ui.answers.push_back(UserInteraction::Answer::No); // the save question
    trigger("actOpen");
    QComboBox* language = form->choiceControl(u"cboLanguage");
    EXPECT_EQ(language->currentText(), "Klingonisch [tlh]");

    ui.saveFileNames = {path("odd2.tvst")};
    trigger("actSaveAs");
    EXPECT_EQ(ProjectFile::LoadProjectFile(path("odd2.tvst")).text(u"cboLanguage"),
              "Klingonisch [tlh]");

    // A regular language drops the extra item again.
    ui.answers = {Answer::No};
    trigger("actNew");
    EXPECT_EQ(language->count(), 96);
    EXPECT_EQ(language->currentText(), "German (Germany) [de-de]");
}

TEST_F(MainWindowTest, RefreshButtonsRenewOnlyTheirOwnRow)
{
    form->checkControl(u"chkLastChange")->setChecked(true);
    form->dateControl(u"datePublish")->setDate(QDate(2000, 1, 1));
    form->dateControl(u"dateLastChange")->setDate(QDate(2000, 1, 1));
    form->findChild<QAbstractButton*>("btRefreshLastChange")->click();
    EXPECT_EQ(form->dateControl(u"dateLastChange")->date(), QDate(2009, 2, 20));
    EXPECT_EQ(form->dateControl(u"datePublish")->date(), QDate(2000, 1, 1));
    EXPECT_TRUE(form->checkControl(u"chkLastChange")->isChecked());

    const QString guid = form->textControl(u"edtGUID")->text();
    form->findChild<QAbstractButton*>("btRefreshGUID")->click();
    EXPECT_NE(form->textControl(u"edtGUID")->text(), guid);
    EXPECT_TRUE(ui.questions.empty());
}
