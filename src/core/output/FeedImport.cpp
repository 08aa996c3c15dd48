#include "FeedBytes.h"
#include "FeedDates.h"
#include "FeedImport_p.h"
#include "Rss20.h"
#include "document/ChannelSettings.h"
#include "document/uGlobalTools.h"

#include <QRegularExpression>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace FeedImportDetail {
namespace {

struct KnownNamespace
{
    const char* uri;
    const char* prefix;
};
// The usual prefixes, so that a feed calling content "c:" still counts as
// content:encoded. The feeds' own namespaces map to no prefix when they are
// the root's.
constexpr KnownNamespace kNamespaces[] = {
    {"http://purl.org/rss/1.0/modules/content/", "content"},
    {"http://purl.org/dc/elements/1.1/", "dc"},
    {"http://purl.org/dc/terms/", "dcterms"},
    {"http://www.w3.org/2005/Atom", "atom"},
    {"http://www.w3.org/1999/02/22-rdf-syntax-ns#", "rdf"},
    {"http://purl.org/rss/1.0/", "rss"},
    {"http://my.netscape.com/rdf/simple/0.9/", "rss"},
    {"http://www.itunes.com/dtds/podcast-1.0.dtd", "itunes"},
    {"http://search.yahoo.com/mrss/", "media"},
    {"http://www.w3.org/1999/xhtml", "xhtml"},
};

constexpr int kMaxNamedDates = 20;

struct TagName
{
    const char16_t* name;
    Tag tag;
};
constexpr TagName kTags[] = {
    {u"title", Tag::Title},
    {u"link", Tag::Link},
    {u"description", Tag::Description},
    {u"content:encoded", Tag::ContentEncoded},
    {u"author", Tag::Author},
    {u"dc:creator", Tag::DcCreator},
    {u"pubDate", Tag::PubDate},
    {u"dc:date", Tag::DcDate},
    {u"guid", Tag::Guid},
    {u"enclosure", Tag::Enclosure},
    {u"item", Tag::Item},
    {u"channel", Tag::Channel},
    {u"image", Tag::Image},
    {u"textinput", Tag::TextInput},
};

Tag tagOf(const QString& name)
{
    for (const TagName& t : kTags)
        if (name == QStringView(t.name))
            return t.tag;
    return Tag::Other;
}

// Whole days and the seconds into the day of a count of seconds.
std::pair<qint64, int> daysAndSeconds(qint64 seconds)
{
    qint64 days = seconds / 86400;
    qint64 rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    return {days, int(rest)};
}

constexpr qint64 kUnixEpochJulianDay = 2440588;

// One pass for either line end; entries' HTML is long.
bool hasLineBreak(QStringView text)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi16(u'\n');
    const __m128i cr = _mm_set1_epi16(u'\r');
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, cr))))
            return true;
    }
#endif
    for (; i < n; ++i)
        if (p[i] == u'\n' || p[i] == u'\r')
            return true;
    return false;
}

} // namespace

void Context::readNamespaces(XmlNode root)
{
    const QString rootName = QString::fromUtf8(root.utf8Name());
    const qsizetype colon = rootName.indexOf(u':');
    const QString rootPrefix = colon < 0 ? QString() : rootName.left(colon);
    QHash<QString, QString> uris; // prefix as written -> uri
    for (const auto& [name, value] : root.attributes()) {
        if (name == u"xmlns")
            uris.insert(QString(), value);
        else if (name.startsWith(u"xmlns:"))
            uris.insert(name.mid(6), value);
    }
    m_ownNamespace = uris.value(rootPrefix);
    // RSS 1.0 keeps its elements in the RSS namespace under an RDF root.
    if (rootName.endsWith(u"RDF"))
        m_ownNamespace = uris.value(QString());
    for (auto it = uris.cbegin(); it != uris.cend(); ++it) {
        QString canonical = it.key();
        for (const KnownNamespace& known : kNamespaces)
            if (it.value() == QLatin1String(known.uri))
                canonical = QString::fromLatin1(known.prefix);
        if (it.value() == m_ownNamespace)
            canonical.clear();
        m_prefixes.insert(it.key().toUtf8(), canonical);
    }
}

const ElementName& Context::elementName(XmlNode element)
{
    // A feed uses a few dozen names at most, and its items repeat them in
    // the same order: the name after the last one found is tried first,
    // then a linear search with strcmp, which beats hashing each name.
    const char* written = element.utf8Name();
    if (!m_names.empty()) {
        const size_t next = m_lastName + 1 < m_names.size() ? m_lastName + 1 : 0;
        if (std::strcmp(m_names[next].first.c_str(), written) == 0) {
            m_lastName = next;
            return m_names[next].second;
        }
    }
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (std::strcmp(m_names[i].first.c_str(), written) == 0) {
            m_lastName = i;
            return m_names[i].second;
        }
    }
    const QByteArray key(written);
    const qsizetype colon = key.indexOf(':');
    const QByteArray prefix = colon < 0 ? QByteArray() : key.left(colon);
    const QString local = QString::fromUtf8(colon < 0 ? key : key.mid(colon + 1));
    const QString canonical = m_prefixes.value(prefix, QString::fromUtf8(prefix));
    ElementName found{canonical.isEmpty() ? local : canonical + u':' + local, Tag::Other};
    found.tag = tagOf(found.name);
    // Bounded: a hostile feed with endless distinct names stays linear; the
    // names past the bound share one slot, valid until the next of them.
    if (m_names.size() < 256) {
        m_names.emplace_back(std::string(written), std::move(found));
        m_lastName = m_names.size() - 1;
        return m_names.back().second;
    }
    m_overflowName = std::move(found);
    return m_overflowName;
}

void Context::skip(const QString& name)
{
    const qsizetype colon = name.indexOf(u':');
    const QString group = colon < 0 ? name : name.left(colon) + QStringLiteral(":*");
    for (auto& entry : m_skipped) {
        if (entry.first == group) {
            ++entry.second;
            return;
        }
    }
    m_skipped.append({group, 1});
}

int Context::offsetAt(qint64 utcSeconds)
{
    if (utcSeconds >= m_offsetFrom && utcSeconds < m_offsetTo)
        return m_offset;
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc());
    m_offset = zone.offsetFromUtc(at);
    constexpr qint64 kAlways = std::numeric_limits<qint64>::max();
    if (zone.hasTransitions()) {
        // The last transition at or before the moment, the first after it.
        const QTimeZone::OffsetData before = zone.previousTransition(at.addSecs(1));
        const QTimeZone::OffsetData after = zone.nextTransition(at);
        m_offsetFrom = before.atUtc.isValid() ? before.atUtc.toSecsSinceEpoch() : -kAlways;
        m_offsetTo = after.atUtc.isValid() ? after.atUtc.toSecsSinceEpoch() : kAlways;
        if (m_offsetFrom > utcSeconds || m_offsetTo <= utcSeconds)
            m_offsetFrom = m_offsetTo = utcSeconds; // not trusted: ask again next time
    } else if (!zone.hasDaylightTime()) {
        m_offsetFrom = -kAlways;
        m_offsetTo = kAlways;
    } else {
        m_offsetFrom = m_offsetTo = utcSeconds;
    }
    return m_offset;
}

bool Context::setMoment(const QString& text, QDate& date, QTime& time)
{
    const std::optional<QDateTime> moment = FeedDates::parse(text);
    if (!moment)
        return false;
    if (!zone.isValid()) {
        const QDateTime local = moment->toTimeZone(zone);
        date = local.date();
        const QTime t = local.time();
        time = QTime(t.hour(), t.minute(), t.second());
        return true;
    }
    // The local date and time by arithmetic: one zone lookup per stretch
    // between transitions instead of one conversion per entry.
    const qint64 utc = moment->toSecsSinceEpoch();
    const auto [days, seconds] = daysAndSeconds(utc + offsetAt(utc));
    date = QDate::fromJulianDay(kUnixEpochJulianDay + days);
    time = QTime(seconds / 3600, seconds / 60 % 60, seconds % 60);
    return true;
}

void Context::setEntryMoment(TNewsEntry& entry, const QString& text, int number)
{
    if (!text.isEmpty() && setMoment(text, entry.date, entry.time))
        return;
    entry.date = m_localNow.date();
    const QTime t = m_localNow.time();
    entry.time = QTime(t.hour(), t.minute(), t.second());
    if (text.isEmpty()) {
        ++m_missingDates;
    } else {
        m_badDates << QStringLiteral("Eintrag %1 \u201E%2\u201C (\u201E%3\u201C)")
                          .arg(number)
                          .arg(entry.title.left(60), text.left(60));
    }
}

void Context::setLanguage(const QString& code)
{
    const QString wanted = code.trimmed().toLower();
    if (wanted.isEmpty())
        return;
    for (const QString& row : ChannelSettings::languages()) {
        if (Rss20::GetLanguageCode(row).toLower() == wanted) {
            document.setText(u"cboLanguage", row);
            return;
        }
    }
    document.setText(u"cboLanguage", code.trimmed());
}

void Context::setChannelGuid(const QString& text)
{
    static const QRegularExpression guidForm(
        QStringLiteral("^(?:urn:uuid:)?\\{?([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-"
                       "f]{12})\\}?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = guidForm.match(text.trimmed());
    if (m.hasMatch())
        document.setText(u"edtGUID", u'{' + m.captured(1).toUpper() + u'}');
}

QStringList Context::report() const
{
    QStringList lines;
    if (!m_skipped.isEmpty()) {
        QStringList parts;
        for (const auto& [name, count] : m_skipped)
            parts << QStringLiteral("%1 (%2)").arg(name).arg(count);
        lines << QStringLiteral("Nicht übernommen: ") + parts.join(QStringLiteral(", "));
    }
    if (extraEnclosures > 0)
        lines << QStringLiteral("Nur der erste Anhang je Eintrag übernommen; weitere Anhänge: %1")
                     .arg(extraEnclosures);
    lines << m_notes;
    if (!m_badDates.isEmpty()) {
        QStringList named = m_badDates.mid(0, kMaxNamedDates);
        if (m_badDates.size() > kMaxNamedDates)
            named << QStringLiteral("und %1 weitere").arg(m_badDates.size() - kMaxNamedDates);
        lines << QStringLiteral("Datum nicht lesbar, Zeitpunkt des Imports eingesetzt: ") +
                     named.join(QStringLiteral(", "));
    }
    if (m_missingDates > 0)
        lines << QStringLiteral("Ohne Datum, Zeitpunkt des Imports eingesetzt: %1")
                     .arg(m_missingDates == 1 ? QStringLiteral("1 Eintrag")
                                              : QStringLiteral("%1 Einträge").arg(m_missingDates));
    return lines;
}

QString plain(XmlNode element)
{
    return element.textContent().trimmed();
}

QString multiLine(const QString& text)
{
    QString t = text.trimmed();
    if (!hasLineBreak(t))
        return t;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return t;
}

void splitMailAndName(const QString& text, QString& mail, QString& name)
{
    const QString t = text.trimmed();
    // "mail (Name)", the RSS form, without a regular expression.
    const qsizetype open = t.indexOf(u" (");
    if (open > 0 && t.endsWith(u')')) {
        const QStringView before = QStringView(t).first(open);
        if (before.contains(u'@') && !before.contains(u' ')) {
            mail = before.toString();
            name = QStringView(t).sliced(open + 2, t.size() - open - 3).trimmed().toString();
            return;
        }
    }
    static const QRegularExpression mailFirst(QStringLiteral("^(\\S+@\\S+)\\s*\\((.*)\\)$"));
    static const QRegularExpression nameFirst(QStringLiteral("^(.*?)\\s*<(\\S+@[^>\\s]+)>$"));
    QRegularExpressionMatch m = mailFirst.match(t);
    if (m.hasMatch()) {
        mail = m.captured(1);
        name = m.captured(2).trimmed();
        return;
    }
    m = nameFirst.match(t);
    if (m.hasMatch()) {
        name = m.captured(1).trimmed();
        if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
            name = name.mid(1, name.size() - 2);
        mail = m.captured(2);
        return;
    }
    if (t.contains(u'@') && !t.contains(u' '))
        mail = t;
    else
        name = t;
}

} // namespace FeedImportDetail

namespace FeedImport {

using namespace FeedImportDetail;
using Kind = FeedImportError::Kind;

namespace {

QString rootLabel(XmlNode root)
{
    return QString::fromUtf8(root.utf8Name());
}

void checkScan(const FeedBytes::Scan& scan)
{
    if (scan.declaresEntities)
        throw FeedImportError(Kind::Unsafe,
                              QStringLiteral("Der Feed deklariert eigene Entitäten in einer DTD. "
                                             "Solche Feeds werden aus Sicherheitsgründen nicht "
                                             "gelesen."));
    if (scan.maxDepth > FeedBytes::kMaxDepth)
        throw FeedImportError(Kind::Unsafe,
                              QStringLiteral("Der Feed ist zu tief verschachtelt (mehr als %1 "
                                             "Ebenen) und wird nicht gelesen.")
                                  .arg(FeedBytes::kMaxDepth));
}

FeedImportResult importDecoded(const QByteArray& bytes, const FeedBytes::Decoded& decoded,
                               bool checked, const QDateTime& now, const QTimeZone& localZone);

} // namespace

FeedImportResult importFeed(const QByteArray& bytes, const QDateTime& now,
                            const QTimeZone& localZone)
{
    if (bytes.size() > FeedBytes::kMaxBytes)
        throw FeedImportError(
            Kind::TooLarge,
            QStringLiteral("Der Feed ist größer als 16 MiB und wird nicht gelesen."));
    if (QByteArrayView(bytes).trimmed().isEmpty()) // a view: no copy of a large feed
        throw FeedImportError(Kind::NotXml,
                              QStringLiteral("Die Quelle ist leer; sie enthält keinen Feed."));
    // UTF-8 as named goes to the parser unchecked: the document service's
    // own pass over the text finds bytes that are no UTF-8, and only then is
    // the feed decoded again with the fallbacks. One pass less for the
    // usual feed.
    if (std::optional<QByteArray> utf8 = FeedBytes::namedUtf8(bytes))
        return importDecoded(bytes, FeedBytes::Decoded{std::move(*utf8), {}}, false, now,
                             localZone);
    return importDecoded(bytes, FeedBytes::toUtf8(bytes), true, now, localZone);
}

namespace {

FeedImportResult importDecoded(const QByteArray& bytes, const FeedBytes::Decoded& decoded,
                               bool checked, const QDateTime& now, const QTimeZone& localZone)
{
    Context context(now, localZone);
    if (FeedBytes::looksLikeHtml(decoded.utf8))
        throw FeedImportError(Kind::WebPage,
                              QStringLiteral("Die Quelle ist eine Webseite (HTML) und kein Feed. "
                                             "Bitte die Adresse des Feeds selbst angeben."));
    checkScan(FeedBytes::scan(decoded.utf8));
    if (!decoded.fallbackNote.isEmpty())
        context.note(decoded.fallbackNote);

    XmlDocument xml;
    try {
        xml.loadFromUtf8(decoded.utf8);
    } catch (const XmlError& e) {
        if (!checked && !QByteArrayView(decoded.utf8).isValidUtf8())
            return importDecoded(bytes, FeedBytes::toUtf8(bytes), true, now, localZone);
        QString reason = e.message();
        reason.replace(u'\n', u' ');
        throw FeedImportError(Kind::NotXml,
                              QStringLiteral("Die Quelle ist kein gültiges XML und daher kein "
                                             "Feed: %1")
                                  .arg(reason));
    }
    const XmlNode root = xml.documentElement();
    context.readNamespaces(root);
    const QString name = context.nameOf(root);
    context.document.renewDatesAndGuid(now.toTimeZone(localZone));
    context.document.setFlag(u"chkPublish", false);
    context.document.setFlag(u"chkLastChange", false);

    FeedImportResult result;
    if (name == u"rss") {
        const QString version = root.attribute(QStringLiteral("version")).trimmed();
        result.format =
            QStringLiteral("RSS ") + (version.isEmpty() ? QStringLiteral("2.0") : version);
        readRss(context, root, false);
    } else if (name == u"rdf:RDF") {
        result.format = QStringLiteral("RSS 1.0");
        readRss(context, root, true);
    } else if (name == u"feed") {
        result.format = QStringLiteral("Atom 1.0");
        readAtom(context, root);
    } else if (name.compare(u"html", Qt::CaseInsensitive) == 0) {
        throw FeedImportError(Kind::WebPage,
                              QStringLiteral("Die Quelle ist eine Webseite (HTML) und kein Feed. "
                                             "Bitte die Adresse des Feeds selbst angeben."));
    } else {
        throw FeedImportError(Kind::NotAFeed,
                              QStringLiteral("Die Quelle ist XML, aber kein Feed: Das "
                                             "Wurzelelement ist \u201E%1\u201C statt rss, "
                                             "rdf:RDF oder feed.")
                                  .arg(rootLabel(root).left(80)));
    }
    if (context.enclosures > 0)
        context.document.setFlag(u"chkEnclosures", true);
    result.enclosures = context.enclosures;
    result.report = context.report();
    result.document = std::move(context.document);
    return result;
}

} // namespace

QString reportText(const FeedImportResult& result)
{
    return result.report.join(u'\n');
}

} // namespace FeedImport
