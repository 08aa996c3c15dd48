#include "FeedCheck.h"

#include "FeedCheck_p.h"
#include "RssTime.h"
#include "document/ChannelSettings.h"
#include "platform/XmlDocument.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace FeedCheck {
namespace {

using detail::HtmlIssues;

// What a rule looks at in a text value.
enum Rule : unsigned {
    Required = 1u << 0,    // empty is a Fehler
    HttpAddress = 1u << 1, // an absolute http(s) address when set
    Mail = 1u << 2,        // a plausible mail address when set
    Html = 1u << 3,        // HTML that readers show
    LogoOnly = 1u << 4,    // only written with the logo
    Written = 1u << 5,     // an entry field the RSS file holds
};

struct ChannelRule
{
    const char* key;
    const char* label;
    unsigned rules;
};

// The channel texts that readers see, with what each must hold.
const ChannelRule kChannelRules[] = {
    {"edtFeedTitle", "Feed-Titel", Required},
    {"edtLink", "Link", Required | HttpAddress},
    {"memoDescription", "Beschreibung", Required | Html},
    {"edtOwnerMail", "E-Mail des Eigentümers", Mail},
    {"edtLogoUrl", "URL zum Logo", HttpAddress | LogoOnly},
    {"edtLinkLogo", "Link des Bildes", Required | HttpAddress | LogoOnly},
    {"edtFeedUrl", "Adresse des Feeds", HttpAddress},
};

struct EntryField
{
    const char* name;
    QString TNewsEntry::*field;
    const char* label;
    unsigned rules;
};

// Every text field of an entry: each is stored, and most are written.
const EntryField kEntryFields[] = {
    {"title", &TNewsEntry::title, "Titel", Written},
    {"link", &TNewsEntry::link, "Link", Written | Required | HttpAddress},
    {"content", &TNewsEntry::content, "Text", Written | Html},
    {"author", &TNewsEntry::author, "Autor", Written},
    {"email", &TNewsEntry::email, "E-Mail", Written | Mail},
    {"homepage", &TNewsEntry::homepage, "Homepage", 0},
    {"guid", &TNewsEntry::guid, "GUID", Written},
    {"fileUrl", &TNewsEntry::fileUrl, "Datei-Adresse", 0},
    {"filesize", &TNewsEntry::filesize, "Dateigröße", 0},
    {"mime", &TNewsEntry::mime, "MIME-Typ", 0},
};

// The bytes an item's or the channel's markup adds to its values, about.
constexpr qint64 kItemMarkupBytes = 190;
constexpr qint64 kChannelMarkupBytes = 600;

QString quoted(QStringView text, qsizetype max = 60)
{
    QString shown = text.size() > max ? text.left(max).toString() + u'…' : text.toString();
    return u'„' + shown + u'“';
}

QString label(const char* text)
{
    return quoted(QString::fromUtf8(text));
}

class Collector
{
public:
    explicit Collector(QList<Finding>& out) : m_out(out) {}
    void channel(Level level, const char* key, QString message)
    {
        m_out.append({level, QString::fromLatin1(key), -1, std::move(message)});
    }
    void entry(Level level, int index, const char* field, QString message)
    {
        m_out.append({level, QString::fromLatin1(field), index, std::move(message)});
    }
    // For a rule that serves channel and entries alike.
    void at(Level level, int index, const char* key, QString message)
    {
        if (index < 0)
            channel(level, key, std::move(message));
        else
            entry(level, index, key, std::move(message));
    }

private:
    QList<Finding>& m_out;
};

bool isPlausibleMail(QStringView text)
{
    const qsizetype at = text.indexOf(u'@');
    if (at <= 0 || text.indexOf(u'@', at + 1) >= 0)
        return false;
    const QStringView domain = text.mid(at + 1);
    const qsizetype dot = domain.lastIndexOf(u'.');
    if (dot <= 0 || dot == domain.size() - 1 || domain.startsWith(u'.'))
        return false;
    for (const QChar c : text)
        if (c.isSpace() || c == u'<' || c == u'>' || c == u'(' || c == u')')
            return false;
    return true;
}

// The value rules of one text, shared by the channel and the entries.
void checkText(Collector& out, int entry, const char* key, const char* name, unsigned rules,
               const QString& value)
{
    if (value.isEmpty()) {
        if (rules & Required)
            out.at(Level::Error, entry, key,
                   QStringLiteral("%1 ist leer; Leser brauchen einen Wert. Bitte ausfüllen.")
                       .arg(label(name)));
        return;
    }
    if ((rules & HttpAddress) && !isAbsoluteHttpAddress(value))
        out.at(Level::Error, entry, key,
               QStringLiteral("%1 ist keine vollständige http- oder https-Adresse: %2. Leser "
                              "können sie nicht öffnen; bitte mit http:// oder https:// und "
                              "dem Servernamen angeben.")
                   .arg(label(name), quoted(value)));
    if ((rules & Mail) && !isPlausibleMail(value))
        out.at(Level::Error, entry, key,
               QStringLiteral("%1 ist keine gültige E-Mail-Adresse: %2. Bitte in der Form "
                              "name@example.org angeben oder leer lassen.")
                   .arg(label(name), quoted(value)));
    if (rules & Html) {
        const HtmlIssues html = detail::scanHtml(value);
        if (!html.relativeAddress.isEmpty())
            out.at(Level::Warning, entry, key,
                   QStringLiteral("%1 enthält die relative Adresse %2. Leser können sie nicht "
                                  "auflösen; bitte eine vollständige Adresse mit http:// oder "
                                  "https:// angeben.")
                       .arg(label(name), quoted(html.relativeAddress)));
        if (!html.activeContent.isEmpty())
            out.at(Level::Warning, entry, key,
                   QStringLiteral("%1 enthält %2. Leser entfernen Skripte, eingebettete Seiten "
                                  "und on...-Attribute; der Inhalt fehlt dort.")
                       .arg(label(name), quoted(html.activeContent)));
        if (!html.unclosedTag.isEmpty())
            out.at(Level::Warning, entry, key,
                   QStringLiteral("%1 enthält das nicht geschlossene Element %2. Leser zeigen "
                                  "den Rest des Textes dann womöglich anders an; bitte %3 "
                                  "ergänzen.")
                       .arg(label(name), quoted(u'<' + html.unclosedTag + u'>'),
                            quoted(QStringLiteral("</") + html.unclosedTag + u'>')));
    }
}

void reportXmlChar(Collector& out, int entry, const char* key, const QString& value, qsizetype bad)
{
    out.at(Level::Error, entry, key,
           QStringLiteral("Das Feld enthält das Steuerzeichen U+%1 (an Stelle %2), das XML nicht "
                          "erlaubt. Es wird beim Schreiben weggelassen; bitte das Feld prüfen.")
               .arg(uint(value.at(bad).unicode()), 4, 16, QLatin1Char('0'))
               .arg(bad + 1));
}

// One pass over a value: adds the RSS file's bytes it gives (UTF-8 with the
// writer's escapes) and returns the first character XML forbids, or -1.
qsizetype scanXmlText(QStringView text, qint64& bytes)
{
    // Bytes per ASCII character as written; 0 marks one XML forbids.
    static constexpr auto kAsciiBytes = [] {
        std::array<std::uint8_t, 128> t{};
        for (int c = 0x20; c < 0x80; ++c)
            t[size_t(c)] = 1;
        t['&'] = 5;
        t['<'] = t['>'] = 4;
        t['\t'] = t['\n'] = 1;
        t['\r'] = 5;
        return t;
    }();
    qsizetype bad = -1;
    const char16_t* data = text.utf16();
    const qsizetype n = text.size();
    qsizetype pairEnd = 0; // past the low half of the last surrogate pair
    // The bytes of the character at i beyond plain ASCII; notes the first
    // forbidden one.
    const auto other = [&](qsizetype i) -> qint64 {
        const char16_t c = data[i];
        if (c < 0x80) {
            const std::uint8_t b = kAsciiBytes[c];
            if (b == 0 && bad < 0)
                bad = i;
            return b;
        }
        if (c < 0xD800 || (c >= 0xE000 && c < 0xFFFE))
            return c < 0x800 ? 2 : 3;
        if (c < 0xDC00 && i + 1 < n && data[i + 1] >= 0xDC00 && data[i + 1] < 0xE000) {
            pairEnd = i + 2;
            return 4;
        }
        if (bad < 0) // a lone surrogate, U+FFFE or U+FFFF
            bad = i;
        return 0;
    };
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight characters at a time, each counted as one byte, "&", "<" and
    // ">" as their escapes by mask; the few others (line breaks, umlauts)
    // then corrected one by one without loading the block again.
    for (; i + 8 <= n; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        // One mask bit per character.
        unsigned outside =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi16(c, _mm_set1_epi16(0x20)),
                                                    _mm_cmpgt_epi16(c, _mm_set1_epi16(0x7F))))) &
            0x5555u;
        bytes += 8;
        const __m128i amp = _mm_cmpeq_epi16(c, _mm_set1_epi16('&'));
        const __m128i angle = _mm_or_si128(_mm_cmpeq_epi16(c, _mm_set1_epi16('<')),
                                           _mm_cmpeq_epi16(c, _mm_set1_epi16('>')));
        if (_mm_movemask_epi8(_mm_or_si128(amp, angle)) != 0) {
            // "&amp;" adds four bytes, "&lt;" and "&gt;" three.
            const __m128i extra = _mm_or_si128(_mm_and_si128(amp, _mm_set1_epi16(4)),
                                               _mm_and_si128(angle, _mm_set1_epi16(3)));
            const __m128i sums = _mm_sad_epu8(extra, _mm_setzero_si128());
            bytes += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
        }
        while (outside != 0) {
            const qsizetype at = i + std::countr_zero(outside) / 2;
            outside &= outside - 1;
            // The low half of a pair counted with its high half.
            bytes += (at < pairEnd ? 0 : other(at)) - 1;
        }
    }
#endif
    for (; i < n; ++i)
        if (i >= pairEnd)
            bytes += other(i);
    return bad;
}

// "Now" for the future-date rule, worked out once per run.
struct Clock
{
    QDateTime limit;      // a day after now, UTC
    QDate earliestAtRisk; // local dates before it are never past the limit
    QTimeZone zone;
};

Clock makeClock(const Options& options)
{
    const QDateTime limit = options.now.toUTC().addDays(1);
    return {limit, limit.toTimeZone(options.localZone).date().addDays(-1), options.localZone};
}

void checkFuture(Collector& out, int entry, const char* key, QDate date, QTime time,
                 const Clock& clock)
{
    // Most dates are well in the past: skip the zone conversion for them.
    if (date < clock.earliestAtRisk)
        return;
    if (LocalMomentToUtc(date, time, clock.zone) <= clock.limit)
        return;
    out.at(Level::Warning, entry, key,
           QStringLiteral("Der Erscheinungszeitpunkt %1 liegt mehr als einen Tag in der "
                          "Zukunft. Leser sortieren den Eintrag dann falsch oder zeigen ihn "
                          "nicht an; bitte Datum und Uhrzeit prüfen.")
               .arg(QDateTime(date, time).toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
}

std::optional<int> wholeNumber(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

void checkLogoSize(Collector& out, const FeedDocument& d)
{
    struct Side
    {
        const char* key;
        const char* name;
        int max;
    };
    static const Side kSides[] = {{"edtLogoWidth", "Breite", 144}, {"edtLogoHeight", "Höhe", 400}};
    bool unknown = false;
    for (const Side& side : kSides) {
        const QString text = d.text(QString::fromLatin1(side.key));
        const std::optional<int> value = wholeNumber(text);
        if (!value)
            out.channel(Level::Error, side.key,
                        QStringLiteral("Die %1 des Logos ist keine ganze Zahl: %2.")
                            .arg(QString::fromUtf8(side.name), quoted(text)));
        else if (*value > side.max)
            out.channel(Level::Error, side.key,
                        QStringLiteral("Die %1 des Logos ist %2 Pixel; RSS erlaubt höchstens "
                                       "%3. Bitte ein kleineres Bild verwenden.")
                            .arg(QString::fromUtf8(side.name))
                            .arg(*value)
                            .arg(side.max));
        else if (*value == 0 && !unknown) {
            unknown = true;
            out.channel(Level::Warning, side.key,
                        QStringLiteral("Breite oder Höhe des Logos ist 0. Bitte mit „Einlesen“ "
                                       "die Größe des Bildes ermitteln."));
        }
    }
}

void checkChannel(Collector& out, const FeedDocument& d, const Clock& clock)
{
    const bool logo = !d.text(u"edtLogoUrl").isEmpty();
    for (const ChannelRule& rule : kChannelRules) {
        if ((rule.rules & LogoOnly) && !logo)
            continue;
        checkText(out, -1, rule.key, rule.label, rule.rules, d.text(QString::fromLatin1(rule.key)));
    }
    if (logo)
        checkLogoSize(out, d);
    const QString ttl = d.text(u"edtTTL");
    if (!wholeNumber(ttl))
        out.channel(Level::Error, "edtTTL",
                    QStringLiteral("TTL muss eine ganze Zahl von Minuten ab 0 sein, nicht %1.")
                        .arg(quoted(ttl)));
    if (d.flag(u"chkPublish"))
        checkFuture(out, -1, "datePublish", d.date(u"datePublish"), d.time(u"publishTime"), clock);
}

// Every stored text of the channel; returns the RSS bytes they give, about.
qint64 checkChannelChars(Collector& out, const FeedDocument& d)
{
    qint64 bytes = kChannelMarkupBytes;
    const auto settings = ChannelSettings::all();
    for (int i = 0; i < int(settings.size()); ++i) {
        const QString* text = std::get_if<QString>(&d.value(i));
        if (!text)
            continue;
        if (const qsizetype bad = scanXmlText(*text, bytes); bad >= 0)
            reportXmlChar(out, -1, settings[size_t(i)].key, *text, bad);
    }
    return bytes;
}

// Returns the RSS bytes the entry adds.
qint64 checkEntry(Collector& out, int index, const TNewsEntry& e, const Clock& clock)
{
    if (e.title.isEmpty() && e.content.isEmpty())
        out.entry(Level::Error, index, "title",
                  QStringLiteral("Der Eintrag hat weder Titel noch Text; RSS verlangt eines "
                                 "von beiden."));
    qint64 bytes = kItemMarkupBytes;
    for (const EntryField& f : kEntryFields) {
        const QString& value = e.*f.field;
        if (f.rules & ~Written)
            checkText(out, index, f.name, f.label, f.rules, value);
        // Stored fields count towards nothing: the RSS file lacks them.
        qint64 fieldBytes = 0;
        if (const qsizetype bad = scanXmlText(value, fieldBytes); bad >= 0)
            reportXmlChar(out, index, f.name, value, bad);
        if (f.rules & Written)
            bytes += fieldBytes;
    }
    if (e.chkPublish)
        checkFuture(out, index, "date", e.date, e.time, clock);
    return bytes;
}

} // namespace

QString Finding::place() const
{
    return isEntry() ? QStringLiteral("Eintrag %1/%2").arg(entry + 1).arg(key) : key;
}

QString Finding::levelText() const
{
    return level == Level::Error ? QStringLiteral("Fehler") : QStringLiteral("Warnung");
}

QString Finding::line() const
{
    return levelText() + QStringLiteral(": ") + place() + QStringLiteral(": ") + message;
}

struct Checker::State
{
    QList<Finding> findings;
    Collector out{findings};
    Clock clock;
    qint64 bytes = 0;
    int entries = 0;
    QHash<QString, int> firstWithGuid;
};

Checker::Checker(const FeedDocument& channel, const Options& options)
    : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    // Growing step by step rehashes every GUID again and again.
    s.firstWithGuid.reserve(16384);
    s.clock = makeClock(options);
    checkChannel(s.out, channel, s.clock);
    s.bytes = checkChannelChars(s.out, channel);
}

Checker::~Checker() = default;

void Checker::addEntry(const TNewsEntry& e)
{
    State& s = *m_state;
    const int i = s.entries++;
    s.bytes += checkEntry(s.out, i, e, s.clock);
    const auto it = s.firstWithGuid.constFind(e.guid);
    // A copy of our own: sharing the entry's text would make a reader that
    // reuses its entries allocate it anew for every entry.
    if (it == s.firstWithGuid.cend())
        s.firstWithGuid.insert(QString(e.guid.constData(), e.guid.size()), i);
    else
        s.out.entry(Level::Error, i, "guid",
                    QStringLiteral("Die GUID %1 hat auch Eintrag %2. Leser halten die Einträge "
                                   "%2 und %3 für einen; bitte eine neue GUID erzeugen.")
                        .arg(quoted(e.guid))
                        .arg(it.value() + 1)
                        .arg(i + 1));
}

QList<Finding> Checker::finish()
{
    State& s = *m_state;
    if (s.entries == 0)
        s.out.channel(Level::Warning, "lstNews",
                      QStringLiteral("Der Feed hat keine Einträge; Leser zeigen ihn leer an."));
    if (s.bytes > kLargeFeedBytes)
        s.out.channel(Level::Warning, "edtFileNameRSS",
                      QStringLiteral("Die RSS-Datei wird etwa %1 KB groß. Viele Leser und "
                                     "Dienste lesen nur die ersten 512 KB; bitte ältere "
                                     "Einträge entfernen.")
                          .arg((s.bytes + 1023) / 1024));
    return std::move(s.findings);
}

QList<Finding> run(const FeedDocument& document, const Options& options)
{
    Checker checker(document, options);
    for (int i = 0; i < document.entries.size(); ++i)
        checker.addEntry(document.entries.at(i));
    return checker.finish();
}

int errorCount(const QList<Finding>& findings)
{
    return int(std::count_if(findings.begin(), findings.end(),
                             [](const Finding& f) { return f.level == Level::Error; }));
}

QString summary(const QList<Finding>& findings)
{
    const int errors = errorCount(findings);
    const int warnings = int(findings.size()) - errors;
    return QStringLiteral("%1 Fehler, %2 %3")
        .arg(errors)
        .arg(warnings)
        .arg(warnings == 1 ? QStringLiteral("Warnung") : QStringLiteral("Warnungen"));
}

bool isAbsoluteHttpAddress(QStringView text)
{
    // ASCII case folding by hand: Qt's case-insensitive compare folds all of
    // Unicode and cost more than the rest of an entry's check.
    const auto startsWithScheme = [&text](std::string_view scheme) {
        if (text.size() < qsizetype(scheme.size()))
            return false;
        for (size_t k = 0; k < scheme.size(); ++k) {
            char16_t c = text[qsizetype(k)].unicode();
            if (c >= u'A' && c <= u'Z')
                c += 32;
            if (c != char16_t(scheme[k]))
                return false;
        }
        return true;
    };
    qsizetype rest = 0;
    if (startsWithScheme("http://"))
        rest = 7;
    else if (startsWithScheme("https://"))
        rest = 8;
    else
        return false;
    if (rest >= text.size())
        return false;
    const QChar first = text.at(rest);
    if (first == u'/' || first == u'?' || first == u'#' || first == u':' || first == u'@')
        return false;
    for (const QChar c : text)
        if (c.isSpace() || c.unicode() < 0x20)
            return false;
    return true;
}

} // namespace FeedCheck
