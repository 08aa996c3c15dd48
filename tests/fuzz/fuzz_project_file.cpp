// The project file reader on arbitrary bytes: a document or ProjectFileError,
// nothing else. The entry-by-entry read must agree: whenever it reads a file
// to the end, the whole read gives the same document.

#include "document/ProjectFile.h"
#include "platform/RegionalSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "UTC", 1);
    RegionalSettings::setCurrent(RegionalSettings::german());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::optional<FeedDocument> whole;
    try {
        whole = ProjectFile::LoadProjectData(bytes);
    } catch (const ProjectFileError&) {
    }
    FeedDocument streamed;
    const bool read = ProjectFile::StreamProjectData(
        bytes,
        [&streamed](const FeedDocument& channel) {
            for (int i = 0; i < int(ChannelSettings::all().size()); ++i)
                streamed.setValue(i, channel.value(i));
        },
        [&streamed](const TNewsEntry& entry) {
            streamed.entries.append(std::make_unique<TNewsEntry>(entry));
        });
    if (read && (!whole || !(*whole == streamed)))
        std::abort();
    return 0;
}
