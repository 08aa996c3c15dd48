// RSS 0.9x, 2.0 and 1.0 (RDF) into the project. RSS 1.0 keeps its items
// and image beside the channel instead of inside it, and its dates in dc:date.
#include "FeedImport_p.h"
#include "document/ChannelSettings.h"
#include "document/uGlobalTools.h"

namespace FeedImportDetail {
namespace {

using Kind = FeedImportError::Kind;

// Elements that hold no value of their own: their content is read elsewhere
// or regenerated on export.
bool isStructural(const QString& name, bool rdf)
{
    if (name == u"generator")
        return true;
    // RSS 1.0 references: the channel lists its items and image by address.
    return rdf && (name == u"items" || name == u"image" || name == u"textinput");
}

QString numberText(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 0 ? QString::number(value) : QString();
}

void readImage(Context& c, XmlNode image)
{
    FeedDocument& d = c.document;
    QString width = QStringLiteral("88"); // RSS's defaults for a missing size
    QString height = QStringLiteral("31");
    for (XmlNode child = image.firstChild(); child; child = child.nextSibling()) {
        if (!child.isElement())
            continue;
        const QString name = c.nameOf(child);
        if (name == u"url")
            d.setText(u"edtLogoUrl", plain(child));
        else if (name == u"title")
            d.setText(u"edtLogoTitle", plain(child));
        else if (name == u"link")
            d.setText(u"edtLinkLogo", plain(child));
        else if (name == u"width" && !numberText(plain(child)).isEmpty())
            width = numberText(plain(child));
        else if (name == u"height" && !numberText(plain(child)).isEmpty())
            height = numberText(plain(child));
        else
            c.skip(QStringLiteral("image/") + name);
    }
    d.setText(u"edtLogoWidth", width);
    d.setText(u"edtLogoHeight", height);
}

void readSkipHours(Context& c, XmlNode list)
{
    for (XmlNode hour = list.firstChild(); hour; hour = hour.nextSibling()) {
        const QString n = numberText(plain(hour));
        const int h = n.isEmpty() ? -1 : n.toInt() % 24; // some feeds write 24 for midnight
        if (h >= 0 && hour.isElement())
            c.document.setFlag(ChannelSettings::hourKeys().at(h), true);
        else
            c.note(
                QStringLiteral("Unbekannte Stunde in skipHours: \u201E%1\u201C").arg(plain(hour)));
    }
}

void readSkipDays(Context& c, XmlNode list)
{
    static const char* const kDays[] = {"monday", "tuesday",  "wednesday", "thursday",
                                        "friday", "saturday", "sunday"};
    for (XmlNode day = list.firstChild(); day; day = day.nextSibling()) {
        const QString text = plain(day).toLower();
        int found = -1;
        for (int i = 0; i < 7; ++i)
            if (text == QLatin1String(kDays[i]))
                found = i;
        if (found >= 0)
            c.document.setFlag(ChannelSettings::dayKeys().at(found), true);
        else
            c.note(QStringLiteral("Unbekannter Tag in skipDays: \u201E%1\u201C").arg(plain(day)));
    }
}

void setDateSetting(Context& c, const QString& text, const char16_t* flag, const char16_t* dateKey,
                    const char16_t* timeKey, const QString& label)
{
    QDate date;
    QTime time;
    if (!c.setMoment(text, date, time)) {
        c.note(
            QStringLiteral("%1 des Kanals nicht lesbar: \u201E%2\u201C").arg(label, text.left(60)));
        return;
    }
    c.document.setDate(dateKey, date);
    c.document.setTime(timeKey, time);
    c.document.setFlag(flag, true);
}

void readChannelElement(Context& c, XmlNode child, const QString& name, bool rdf)
{
    FeedDocument& d = c.document;
    if (name == u"title") {
        d.setText(u"edtFeedTitle", plain(child));
    } else if (name == u"link") {
        d.setText(u"edtLink", plain(child));
    } else if (name == u"description") {
        d.setText(u"memoDescription", multiLine(child.textContent()));
    } else if (name == u"copyright" || name == u"dc:rights") {
        d.setText(u"edtCopyright", plain(child));
    } else if (name == u"managingEditor") {
        QString mail, person;
        splitMailAndName(plain(child), mail, person);
        d.setText(u"edtOwnerMail", mail);
        d.setText(u"edtOwnerName", person);
    } else if (name == u"dc:creator" || name == u"dc:publisher") {
        if (d.text(u"edtOwnerName").isEmpty() && d.text(u"edtOwnerMail").isEmpty())
            d.setText(u"edtOwnerName", plain(child));
        else
            c.skip(name);
    } else if (name == u"pubDate" || name == u"dc:date") {
        setDateSetting(c, plain(child), u"chkPublish", u"datePublish", u"publishTime",
                       QStringLiteral("Veröffentlichungsdatum"));
    } else if (name == u"lastBuildDate") {
        setDateSetting(c, plain(child), u"chkLastChange", u"dateLastChange", u"timeLastChange",
                       QStringLiteral("Datum der letzten Änderung"));
    } else if (name == u"ttl") {
        const QString ttl = numberText(plain(child));
        if (ttl.isEmpty())
            c.note(QStringLiteral("ttl nicht lesbar: \u201E%1\u201C").arg(plain(child).left(40)));
        else
            d.setText(u"edtTTL", ttl);
    } else if (name == u"language" || name == u"dc:language") {
        c.setLanguage(plain(child));
    } else if (name == u"image" && !rdf) {
        readImage(c, child);
    } else if (name == u"skipHours") {
        readSkipHours(c, child);
    } else if (name == u"skipDays") {
        readSkipDays(c, child);
    } else if (name == u"guid" || name == u"atom:id" || name == u"dc:identifier") {
        c.setChannelGuid(plain(child));
    } else if (!isStructural(name, rdf)) {
        c.skip(name);
    }
}

struct ItemTexts
{
    // Only the text kept is turned into a QString.
    XmlNode description;
    XmlNode encoded;
    QString date;
    QString creator;
    bool hasGuid = false;
};

void readEnclosure(Context& c, TNewsEntry& e, XmlNode enclosure)
{
    if (!e.fileUrl.isEmpty()) {
        ++c.extraEnclosures;
        return;
    }
    e.fileUrl = enclosure.attribute("url").trimmed();
    e.filesize = enclosure.attribute("length").trimmed();
    e.mime = enclosure.attribute("type").trimmed();
}

void readItemElement(Context& c, TNewsEntry& e, ItemTexts& t, XmlNode child,
                     const ElementName& name)
{
    switch (name.tag) {
    case Tag::Title:
        e.title = plain(child);
        break;
    case Tag::Link:
        e.link = plain(child);
        break;
    case Tag::Description:
        t.description = child;
        break;
    case Tag::ContentEncoded:
        t.encoded = child;
        break;
    case Tag::Author:
        splitMailAndName(plain(child), e.email, e.author);
        break;
    case Tag::DcCreator:
        t.creator = plain(child);
        break;
    case Tag::PubDate:
    case Tag::DcDate:
        if (t.date.isEmpty())
            t.date = plain(child);
        break;
    case Tag::Guid:
        e.guid = plain(child);
        t.hasGuid = !e.guid.isEmpty();
        break;
    case Tag::Enclosure:
        readEnclosure(c, e, child);
        break;
    default:
        c.skip(name.name);
        break;
    }
}

void readItem(Context& c, XmlNode item, int number)
{
    auto e = std::make_unique<TNewsEntry>();
    ItemTexts t;
    // One pass over the children, each name looked up once.
    for (XmlNode child = item.firstChild(); child; child = child.nextSibling())
        if (child.isElement())
            readItemElement(c, *e, t, child, c.elementName(child));
    QString text = t.encoded ? t.encoded.textContent() : QString();
    if (QStringView(text).trimmed().isEmpty())
        text = t.description ? t.description.textContent() : QString();
    e->content = multiLine(text);
    if (e->author.isEmpty())
        e->author = t.creator;
    if (!t.hasGuid) {
        // RSS 1.0 names each item by its rdf:about address.
        const QString about = item.attribute("rdf:about").trimmed();
        e->guid = about.isEmpty() ? GlobalTools::GenerateGUID() : about;
    }
    e->chkPublish = true;
    c.setEntryMoment(*e, t.date, number);
    if (!e->fileUrl.isEmpty())
        ++c.enclosures;
    c.document.entries.append(std::move(e));
}

} // namespace

void readRss(Context& c, XmlNode root, bool rdf)
{
    XmlNode channel;
    for (XmlNode child = root.firstChild(); child && !channel; child = child.nextSibling())
        if (child.isElement() && c.elementName(child).tag == Tag::Channel)
            channel = child;
    if (!channel)
        throw FeedImportError(Kind::NoChannel,
                              QStringLiteral("Der Feed hat keinen Kanal (channel); es gibt nichts "
                                             "zu übernehmen."));

    int number = 0;
    const auto readItems = [&](XmlNode parent) {
        for (XmlNode child = parent.firstChild(); child; child = child.nextSibling()) {
            if (!child.isElement())
                continue;
            const ElementName& name = c.elementName(child);
            if (name.tag == Tag::Item)
                readItem(c, child, ++number);
            else if (parent == channel)
                readChannelElement(c, child, QString(name.name), rdf);
            else if (name.tag == Tag::Image)
                readImage(c, child);
            else if (name.tag != Tag::Channel && name.tag != Tag::TextInput)
                c.skip(name.name);
        }
    };
    readItems(channel);
    if (rdf)
        readItems(root);
}

} // namespace FeedImportDetail
