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

void readField(const std::array<XmlNode, FieldCount>& fields, Field f, QString& text)
{
    ProjectFile::ReadElementText(fields[size_t(f)], text);
}

} // namespace

void TNewsEntry::LoadFromXmlNode(XmlNode node)
{
    const RegionalSettings& regional = RegionalSettings::current();
    const auto fields = findFields(node);
    // The fields' storage is reused: a reader that loads entry after entry
    // into the same objects allocates nothing.
    readField(fields, Title, title);
    readField(fields, Content, content);
    readField(fields, Author, author);
    readField(fields, Email, email);
    readField(fields, Homepage, homepage);
    readField(fields, Guid, guid);

    thread_local QString scratch;
    readField(fields, Date, scratch);
    const auto parsedDate = regional.parseDate(scratch);
    if (!parsedDate)
        throw ProjectFileError(
            QStringLiteral("Ungültiges Datum \"%1\" in einem Eintrag").arg(scratch));
    date = *parsedDate;

    readField(fields, Time, scratch);
    const auto parsedTime = regional.parseTime(scratch);
    if (!parsedTime)
        throw ProjectFileError(
            QStringLiteral("Ungültige Uhrzeit \"%1\" in einem Eintrag").arg(scratch));
    time = *parsedTime;

    readField(fields, FileUrl, fileUrl);
    readField(fields, Filesize, filesize);
    readField(fields, Mime, mime);
    readField(fields, Publish, scratch);
    chkPublish = ProjectFile::decodeBoolean(scratch);
    readField(fields, Link, link);
}
