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
