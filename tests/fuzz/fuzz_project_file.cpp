// The project file reader on arbitrary bytes: a document or ProjectFileError,
// nothing else.

#include "document/ProjectFile.h"
#include "platform/RegionalSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "UTC", 1);
    RegionalSettings::setCurrent(RegionalSettings::german());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const FeedDocument document = ProjectFile::LoadProjectData(bytes);
        (void)document;
    } catch (const ProjectFileError&) {
    }
    return 0;
}
