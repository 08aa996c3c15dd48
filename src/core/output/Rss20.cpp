#include "Rss20.h"

#include "FeedCheck.h"
#include "RssTime.h"
#include "platform/XmlDocument.h"

namespace Rss20 {
namespace {

// "mail (name)", or the mail alone; nothing without a mail.
QString mailWithName(const QString& mail, const QString& name)
{
    return name.isEmpty() ? mail : mail + QStringLiteral(" (") + name + u')';
}

QString rssMoment(QDate date, QTime time, const QTimeZone& localZone)
{
    return GetRSSTimeString(LocalMomentToUtc(date, time, localZone));
}

void appendSkipList(XmlNode channel, const char* container, const char* child,
                    const QStringList& keys, const QStringList& texts, const FeedDocument& document)
{
    XmlNode list;
    for (int i = 0; i < keys.size(); ++i) {
        if (!document.flag(keys[i]))
            continue;
        if (!list) // never an empty container
            list = channel.appendChild(container);
        list.appendChild(child).setText(texts[i]);
    }
}

void appendChannel(XmlNode channel, const FeedDocument& d, const QTimeZone& localZone)
{
    channel.appendChild("title").setText(d.text(u"edtFeedTitle"));
    channel.appendChild("link").setText(d.text(u"edtLink"));
    channel.appendChild("description").setText(d.text(u"memoDescription"));
    // The feed's own address, so readers and services know where it lives.
    if (const QString self = d.text(u"edtFeedUrl"); !self.isEmpty()) {
        XmlNode atomLink = channel.appendChild("atom:link");
        atomLink.setAttribute(QStringLiteral("href"), self);
        atomLink.setAttribute(QStringLiteral("rel"), QStringLiteral("self"));
        atomLink.setAttribute(QStringLiteral("type"), QStringLiteral("application/rss+xml"));
    }
    if (!d.text(u"edtCopyright").isEmpty())
        channel.appendChild("copyright").setText(d.text(u"edtCopyright"));
    if (!d.text(u"edtOwnerMail").isEmpty())
        channel.appendChild("managingEditor")
            .setText(mailWithName(d.text(u"edtOwnerMail"), d.text(u"edtOwnerName")));
    if (d.flag(u"chkPublish"))
        channel.appendChild("pubDate").setText(
            rssMoment(d.date(u"datePublish"), d.time(u"publishTime"), localZone));
    if (d.flag(u"chkLastChange"))
        channel.appendChild("lastBuildDate")
            .setText(rssMoment(d.date(u"dateLastChange"), d.time(u"timeLastChange"), localZone));
    channel.appendChild("generator").setText(QStringLiteral("Tavistrel 1.0"));
    channel.appendChild("ttl").setText(d.text(u"edtTTL"));
    channel.appendChild("language").setText(GetLanguageCode(d.text(u"cboLanguage")));

    if (!d.text(u"edtLogoUrl").isEmpty()) {
        XmlNode image = channel.appendChild("image");
        image.appendChild("url").setText(d.text(u"edtLogoUrl"));
        image.appendChild("title").setText(d.text(u"edtLogoTitle"));
        image.appendChild("link").setText(d.text(u"edtLinkLogo"));
        image.appendChild("width").setText(d.text(u"edtLogoWidth"));
        image.appendChild("height").setText(d.text(u"edtLogoHeight"));
    }

    static const QStringList kHours = [] {
        QStringList hours;
        for (int h = 0; h < 24; ++h)
            hours << QString::number(h);
        return hours;
    }();
    static const QStringList kDays = {QStringLiteral("Monday"),    QStringLiteral("Tuesday"),
                                      QStringLiteral("Wednesday"), QStringLiteral("Thursday"),
                                      QStringLiteral("Friday"),    QStringLiteral("Saturday"),
                                      QStringLiteral("Sunday")};
    appendSkipList(channel, "skipHours", "hour", ChannelSettings::hourKeys(), kHours, d);
    appendSkipList(channel, "skipDays", "day", ChannelSettings::dayKeys(), kDays, d);
}

// RSS 2.0 places no order on item children; right after the guid keeps
// every element the item had before where it was.
void appendEnclosure(XmlNode item, const TNewsEntry& entry)
{
    if (entry.fileUrl.isEmpty())
        return;
    XmlNode enclosure = item.insertChildAfter("enclosure", item.findChild("guid"));
    enclosure.setAttribute(QStringLiteral("url"), entry.fileUrl);
    enclosure.setAttribute(QStringLiteral("length"),
                           entry.filesize.isEmpty() ? QStringLiteral("0") : entry.filesize);
    enclosure.setAttribute(QStringLiteral("type"), entry.mime);
}

} // namespace

void BuildRSS20(const FeedDocument& document, XmlDocument& xml, const QTimeZone& localZone)
{
    xml.reset();
    XmlNode rss = xml.createRoot(QStringLiteral("rss"));
    rss.setAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    if (!document.text(u"edtFeedUrl").isEmpty())
        rss.setAttribute(QStringLiteral("xmlns:atom"),
                         QStringLiteral("http://www.w3.org/2005/Atom"));
    XmlNode channel = rss.appendChild("channel");
    appendChannel(channel, document, localZone);
    const bool enclosures = document.flag(u"chkEnclosures");
    for (int i = 0; i < document.entries.size(); ++i) {
        XmlNode item = channel.appendChild("item");
        document.entries.at(i).CreateRSSNode(item, localZone);
        if (enclosures)
            appendEnclosure(item, document.entries.at(i));
    }
}

QString GenerateRSS20(const FeedDocument& document, const QTimeZone& localZone)
{
    XmlDocument xml;
    BuildRSS20(document, xml, localZone);
    return xml.toText();
}

void GenerateRSS20(const FeedDocument& document, const QString& fileName,
                   const QTimeZone& localZone)
{
    XmlDocument xml;
    BuildRSS20(document, xml, localZone);
    xml.save(fileName);
}

QString GetLanguageCode(const QString& languageText)
{
    // Rows of the language list that are misspelt; stored files keep them.
    if (languageText == u"Icelandic is]")
        return QStringLiteral("is");
    if (languageText == u"Portuguese (Brazil) [vpt-br]")
        return QStringLiteral("pt-br");
    const qsizetype open = languageText.indexOf(u'[');
    const qsizetype start = open < 0 ? 0 : open + 1;
    const qsizetype end =
        languageText.endsWith(u']') ? languageText.size() - 1 : languageText.size();
    return end > start ? languageText.mid(start, end - start) : QString();
}

} // namespace Rss20

void TNewsEntry::CreateRSSNode(XmlNode item, const QTimeZone& localZone) const
{
    item.appendChild("title").setText(title);
    item.appendChild("description").setText(content);
    item.appendChild("link").setText(link);
    if (!email.isEmpty())
        item.appendChild("author").setText(Rss20::mailWithName(email, author));
    XmlNode guidNode = item.appendChild("guid");
    guidNode.setText(guid);
    // Without the attribute RSS takes a GUID for the entry's address.
    if (!FeedCheck::isAbsoluteHttpAddress(guid))
        guidNode.setAttribute(QStringLiteral("isPermaLink"), QStringLiteral("false"));
    if (chkPublish)
        item.appendChild("pubDate").setText(Rss20::rssMoment(date, time, localZone));
}
