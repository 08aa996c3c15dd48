// Links every core object without Qt GUI or Widgets, and checks that none of
// their libraries came in through another door.

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) {
        std::fputs("core_alone: /proc/self/maps cannot be read\n", stderr);
        return 1;
    }
    const QByteArray loaded = maps.readAll();
    for (const char* library : {"libQt6Gui", "libQt6Widgets", "libQt6WebEngine"}) {
        if (loaded.contains(library)) {
            std::fprintf(stderr, "core_alone: core loads %s\n", library);
            return 1;
        }
    }
    return 0;
}
