#include "uNews.h"

#include "ProjectFile.h"
#include "platform/RegionalSettings.h"

#include <array>

using ProjectFile::ReadChildText;

void TNewsEntry::SaveToXmlNode(XmlNode node) const
{
    const RegionalSettings& regional = RegionalSettings::current();
    node.appendChild("title").setText(title);
    node.appendChild("link").setText(link);
    node.appendChild("content").setText(content);
    node.appendChild("author").setText(author);
    node.appendChild("email").setText(email);
    node.appendChild("homepage").setText(homepage);
    node.appendChild("guid").setText(guid);
    node.appendChild("date").setText(regional.formatDate(date));
    node.appendChild("time").setText(regional.formatTime(time));
    node.appendChild("fileUrl").setText(fileUrl);
    node.appendChild("filesize").setText(filesize);
    node.appendChild("mime").setText(mime);
    node.appendChild("chkPublish").setText(ProjectFile::encodeBoolean(chkPublish));
}

namespace {

// The entry's element names; each is read from its first occurrence.
enum Field {
    Title,
    Link,
    Content,
    Author,
    Email,
    Homepage,
    Guid,
    Date,
    Time,
    FileUrl,
    Filesize,
    Mime,
    Publish,
    FieldCount
};
constexpr const char* kFieldNames[FieldCount] = {
    "title", "link", "content", "author",   "email", "homepage",  "guid",
    "date",  "time", "fileUrl", "filesize", "mime",  "chkPublish"};

// One pass over the children instead of a search per field: large projects
// have thousands of entries.
std::array<XmlNode, FieldCount> findFields(XmlNode node)
{
    std::array<XmlNode, FieldCount> found;
    int missing = FieldCount;
    int expected = 0; // files we write list the fields in order
    for (XmlNode child = node.firstChild(); child && missing > 0; child = child.nextSibling()) {
        if (!child.isElement())
            continue;
        for (int n = 0; n < FieldCount; ++n) {
            const int f = (expected + n) % FieldCount;
            if (!found[size_t(f)] && child.hasName(kFieldNames[f])) {
                found[size_t(f)] = child;
                --missing;
                expected = f + 1;
                break;
            }
        }
    }
    return found;
}

QString fieldText(const std::array<XmlNode, FieldCount>& fields, Field f)
{
    return ProjectFile::ReadElementText(fields[size_t(f)]);
}

} // namespace

void TNewsEntry::LoadFromXmlNode(XmlNode node)
{
    const RegionalSettings& regional = RegionalSettings::current();
    const auto fields = findFields(node);
    title = fieldText(fields, Title);
    content = fieldText(fields, Content);
    author = fieldText(fields, Author);
    email = fieldText(fields, Email);
    homepage = fieldText(fields, Homepage);
    guid = fieldText(fields, Guid);

    const QString dateText = fieldText(fields, Date);
    const auto parsedDate = regional.parseDate(dateText);
    if (!parsedDate)
        throw ProjectFileError(
            QStringLiteral("Ungültiges Datum \"%1\" in einem Eintrag").arg(dateText));
    date = *parsedDate;

    const QString timeText = fieldText(fields, Time);
    const auto parsedTime = regional.parseTime(timeText);
    if (!parsedTime)
        throw ProjectFileError(
            QStringLiteral("Ungültige Uhrzeit \"%1\" in einem Eintrag").arg(timeText));
    time = *parsedTime;

    fileUrl = fieldText(fields, FileUrl);
    filesize = fieldText(fields, Filesize);
    mime = fieldText(fields, Mime);
    chkPublish = ProjectFile::decodeBoolean(fieldText(fields, Publish));
    link = fieldText(fields, Link);
}
