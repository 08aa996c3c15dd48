// Atom 1.0 (RFC 4287) into the project. Text constructs carry their type:
// "text" is escaped into HTML, "html" is HTML already, "xhtml" is a div whose
// children are the HTML.
#include "FeedImport_p.h"
#include "document/uGlobalTools.h"

namespace FeedImportDetail {
namespace {

QString typeOf(XmlNode element)
{
    return element.attribute(QStringLiteral("type")).trimmed().toLower();
}

QString asHtml(XmlNode element)
{
    const QString type = typeOf(element);
    if (type == u"xhtml") {
        XmlNode div = element.firstChild();
        while (div && !div.isElement())
            div = div.nextSibling();
        return div ? QString::fromUtf8(div.innerXml()).trimmed() : QString();
    }
    if (type == u"html" || type == u"text/html")
        return element.textContent().trimmed();
    return element.textContent().trimmed().toHtmlEscaped();
}

// Titles stay text for the title fields; only xhtml needs its markup read.
QString asTitle(XmlNode element)
{
    return typeOf(element) == u"xhtml" ? asHtml(element) : plain(element);
}

struct Person
{
    QString name;
    QString email;
};

Person readPerson(Context& c, XmlNode author)
{
    Person p;
    for (XmlNode child = author.firstChild(); child; child = child.nextSibling()) {
        if (!child.isElement())
            continue;
        const QString name = c.nameOf(child);
        if (name == u"name")
            p.name = plain(child);
        else if (name == u"email")
            p.email = plain(child);
        else
            c.skip(QStringLiteral("author/") + name);
    }
    return p;
}

QString relOf(XmlNode link)
{
    const QString rel = link.attribute(QStringLiteral("rel")).trimmed();
    return rel.isEmpty() ? QStringLiteral("alternate") : rel;
}

struct EntryTexts
{
    QString content;
    QString summary;
    QString published;
    QString updated;
    bool hasAuthor = false;
    bool hasId = false;
};

void readEntryElement(Context& c, TNewsEntry& e, EntryTexts& t, XmlNode child, const QString& name)
{
    if (name == u"title") {
        e.title = asTitle(child);
    } else if (name == u"link") {
        const QString rel = relOf(child);
        const QString href = child.attribute(QStringLiteral("href")).trimmed();
        if (rel == u"alternate" && e.link.isEmpty()) {
            e.link = href;
        } else if (rel == u"enclosure" && e.fileUrl.isEmpty()) {
            e.fileUrl = href;
            e.filesize = child.attribute(QStringLiteral("length")).trimmed();
            e.mime = child.attribute(QStringLiteral("type")).trimmed();
        } else if (rel == u"enclosure") {
            ++c.extraEnclosures;
        } else {
            c.skip(QStringLiteral("link rel=") + rel);
        }
    } else if (name == u"content") {
        if (!child.attribute(QStringLiteral("src")).isEmpty())
            c.skip(QStringLiteral("content src"));
        else
            t.content = asHtml(child);
    } else if (name == u"summary") {
        t.summary = asHtml(child);
    } else if (name == u"author") {
        if (!t.hasAuthor) {
            const Person p = readPerson(c, child);
            e.author = p.name;
            e.email = p.email;
            t.hasAuthor = true;
        } else {
            c.skip(name);
        }
    } else if (name == u"published") {
        t.published = plain(child);
    } else if (name == u"updated") {
        t.updated = plain(child);
    } else if (name == u"id") {
        e.guid = plain(child);
        t.hasId = !e.guid.isEmpty();
    } else {
        c.skip(name);
    }
}

void readEntry(Context& c, XmlNode entry, const Person& feedAuthor, int number)
{
    auto e = std::make_unique<TNewsEntry>();
    EntryTexts t;
    for (XmlNode child = entry.firstChild(); child; child = child.nextSibling())
        if (child.isElement())
            readEntryElement(c, *e, t, child, c.nameOf(child));
    e->content = multiLine(t.content.isEmpty() ? t.summary : t.content);
    if (!t.hasAuthor) { // an entry without author has the feed's
        e->author = feedAuthor.name;
        e->email = feedAuthor.email;
    }
    if (!t.hasId)
        e->guid = GlobalTools::GenerateGUID();
    e->chkPublish = true;
    c.setEntryMoment(*e, t.published.isEmpty() ? t.updated : t.published, number);
    if (!e->fileUrl.isEmpty())
        ++c.enclosures;
    c.document.entries.append(std::move(e));
}

void readFeedLink(Context& c, XmlNode link)
{
    const QString rel = relOf(link);
    if (rel == u"alternate" && c.document.text(u"edtLink").isEmpty())
        c.document.setText(u"edtLink", link.attribute(QStringLiteral("href")).trimmed());
    else
        c.skip(QStringLiteral("link rel=") + rel);
}

} // namespace

void readAtom(Context& c, XmlNode root)
{
    FeedDocument& d = c.document;
    c.setLanguage(root.attribute(QStringLiteral("xml:lang")));
    Person feedAuthor;
    bool hasAuthor = false;
    QString logo;
    QString icon;
    // The feed's author applies to entries before and after it.
    for (XmlNode child = root.firstChild(); child; child = child.nextSibling()) {
        if (child.isElement() && c.nameOf(child) == u"author" && !hasAuthor) {
            feedAuthor = readPerson(c, child);
            hasAuthor = true;
        }
    }
    int number = 0;
    bool authorSeen = false;
    for (XmlNode child = root.firstChild(); child; child = child.nextSibling()) {
        if (!child.isElement())
            continue;
        const QString name = c.nameOf(child);
        if (name == u"entry") {
            readEntry(c, child, feedAuthor, ++number);
        } else if (name == u"title") {
            d.setText(u"edtFeedTitle", asTitle(child));
        } else if (name == u"subtitle") {
            d.setText(u"memoDescription", multiLine(asHtml(child)));
        } else if (name == u"link") {
            readFeedLink(c, child);
        } else if (name == u"rights") {
            d.setText(u"edtCopyright", asTitle(child));
        } else if (name == u"author" && !authorSeen) {
            authorSeen = true;
            d.setText(u"edtOwnerName", feedAuthor.name);
            d.setText(u"edtOwnerMail", feedAuthor.email);
        } else if (name == u"updated") {
            QDate date;
            QTime time;
            if (c.setMoment(plain(child), date, time)) {
                d.setDate(u"dateLastChange", date);
                d.setTime(u"timeLastChange", time);
                d.setFlag(u"chkLastChange", true);
            } else {
                c.note(QStringLiteral("Datum der letzten Änderung des Kanals nicht lesbar: "
                                      "\u201E%1\u201C")
                           .arg(plain(child).left(60)));
            }
        } else if (name == u"logo") {
            logo = plain(child);
        } else if (name == u"icon") {
            icon = plain(child);
        } else if (name == u"id") {
            c.setChannelGuid(plain(child));
        } else if (name != u"generator") {
            c.skip(name);
        }
    }
    const QString picture = logo.isEmpty() ? icon : logo;
    if (!picture.isEmpty()) {
        d.setText(u"edtLogoUrl", picture);
        d.setText(u"edtLogoTitle", d.text(u"edtFeedTitle"));
        d.setText(u"edtLinkLogo", d.text(u"edtLink"));
        d.setText(u"edtLogoWidth", QStringLiteral("88"));
        d.setText(u"edtLogoHeight", QStringLiteral("31"));
    }
    if (!logo.isEmpty() && !icon.isEmpty())
        c.skip(QStringLiteral("icon"));
}

} // namespace FeedImportDetail
