#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // A temporary folder of this program's own: test programs running side by
    // side (ctest -j, other checkouts as the same user) would otherwise share
    // the private temp folder and its upload file.
    QTemporaryDir temp;
    if (temp.isValid()) {
        // Traversable for the unprivileged account of a test sshd, which
        // reads its authorized keys from a folder inside.
        QFile::setPermissions(temp.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                               QFileDevice::ExeOther);
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
    }
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
