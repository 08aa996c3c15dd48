#include "app/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QWidget>
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
    } texts[] = {{"Undo", "Rückgängig"},  {"Redo", "Wiederholen"},
                 {"Cut", "Ausschneiden"}, {"Copy", "Kopieren"},
                 {"Paste", "Einfügen"},   {"Select all", "Alles auswählen"}};
    for (const auto& t : texts)
        EXPECT_EQ(QCoreApplication::translate("RenderViewContextMenuQt", t.english),
                  QString::fromUtf8(t.german));
}

// Every window shows the program icon, in each size the desktop asks for.
TEST(Application, WindowsShowTheProgramIcon)
{
    setApplicationIdentity();
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    for (int size : {16, 32, 48, 256})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    QWidget window;
    EXPECT_EQ(window.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    EXPECT_EQ(QGuiApplication::desktopFileName(), "tavistrel");
}
