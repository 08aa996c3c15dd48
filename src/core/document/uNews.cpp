#include "uNews.h"

#include "ProjectFile.h"
#include "platform/RegionalSettings.h"

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

void TNewsEntry::LoadFromXmlNode(XmlNode node)
{
    const RegionalSettings& regional = RegionalSettings::current();
    title = ReadChildText("title", node);
    content = ReadChildText("content", node);
    author = ReadChildText("author", node);
    email = ReadChildText("email", node);
    homepage = ReadChildText("homepage", node);
    guid = ReadChildText("guid", node);

    const QString dateText = ReadChildText("date", node);
    const auto parsedDate = regional.parseDate(dateText);
    if (!parsedDate)
        throw ProjectFileError(QStringLiteral("Ungültiges Datum \"%1\" in einem Eintrag").arg(dateText));
    date = *parsedDate;

    const QString timeText = ReadChildText("time", node);
    const auto parsedTime = regional.parseTime(timeText);
    if (!parsedTime)
        throw ProjectFileError(QStringLiteral("Ungültige Uhrzeit \"%1\" in einem Eintrag").arg(timeText));
    time = *parsedTime;

    fileUrl = ReadChildText("fileUrl", node);
    filesize = ReadChildText("filesize", node);
    mime = ReadChildText("mime", node);
    chkPublish = ProjectFile::decodeBoolean(ReadChildText("chkPublish", node));
    link = ReadChildText("link", node);
}
