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
