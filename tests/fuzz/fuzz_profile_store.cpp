// The FTP profile store on arbitrary files: what can be read, and a reason
// for the rest, never a crash.

#include "ftp/FtpProfileStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("profiles.xml"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const auto result = FtpProfileStore::load(path);
    (void)result;
    return 0;
}
