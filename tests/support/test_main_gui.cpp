#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
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
    // Recent-file lists and recovery copies stay out of the user's folders.
    QTemporaryDir home;
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(home.filePath(QString::fromLatin1(name))));
    // A temporary folder of this program's own: test programs running side by
    // side (ctest -j, other checkouts as the same user) would otherwise share
    // the private temp folder and its upload file.
    QTemporaryDir temp;
    if (temp.isValid())
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
#ifdef TAVISTREL_TEST_SKIP_ENGINE_TEARDOWN
    // The browser engine's own shutdown now and then segfaults under the
    // offscreen platform after every test has passed; the verdict is in.
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
#endif
    return status;
}
