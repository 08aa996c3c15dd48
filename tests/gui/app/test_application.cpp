#include "app/Application.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

TEST(Application, StandardButtonsSpeakGerman)
{
    ASSERT_TRUE(installGermanQtTranslation());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Ja");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&No"), "&Nein");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
}

TEST(Application, HtmlEditorContextMenuSpeaksGerman)
{
    ASSERT_TRUE(installGermanQtTranslation());
    // The texts of the engine's context menu, with their German forms.
    const struct
    {
        const char* english;
        const char* german;
    } texts[] = {{"Undo", "Rückgängig"}, {"Redo", "Wiederholen"}, {"Cut", "Ausschneiden"},
                 {"Copy", "Kopieren"},   {"Paste", "Einfügen"},   {"Select all", "Alles auswählen"}};
    for (const auto& t : texts)
        EXPECT_EQ(QCoreApplication::translate("RenderViewContextMenuQt", t.english),
                  QString::fromUtf8(t.german));
}
