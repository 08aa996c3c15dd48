#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The browser engine refuses to start its sandbox as root.
    if (::getuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // A temporary folder of this program's own: test programs running side by
    // side (ctest -j, other checkouts as the same user) would otherwise share
    // the private temp folder and its upload file.
    QTemporaryDir temp;
    if (temp.isValid())
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
