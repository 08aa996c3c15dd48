#include "RecentFiles.h"

#include "Error.h"
#include "XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <sys/stat.h>

namespace {

QString absolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString isoTime(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime parseTime(const QString& text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text, Qt::ISODate);
    return time.toUTC();
}

} // namespace

RecentFiles::RecentFiles(QString storePath) : m_storePath(std::move(storePath)) {}

void RecentFiles::load()
{
    m_items.clear();
    m_mergedUntil = {};
    if (!QFileInfo::exists(m_storePath))
        return;
    XmlDocument xml;
    try {
        xml.load(m_storePath);
    } catch (const Error&) {
        return; // a broken list only costs the list
    }
    const XmlNode root = xml.documentElement();
    m_mergedUntil = parseTime(root.findChild("mergedUntil").plainText());
    for (XmlNode node = root.firstChild(); node; node = node.nextSibling()) {
        if (!node.hasName("file"))
            continue;
        const QString path = node.findChild("path").plainText();
        if (!path.isEmpty() && m_items.size() < kLimit)
            m_items.append({path, parseTime(node.findChild("used").plainText())});
    }
}

void RecentFiles::save() const
{
    XmlDocument xml;
    XmlNode root = xml.createRoot(QStringLiteral("recent"));
    if (m_mergedUntil.isValid())
        root.appendChild("mergedUntil").setText(isoTime(m_mergedUntil));
    for (const RecentFile& item : m_items) {
        XmlNode node = root.appendChild("file");
        node.appendChild("path").setText(item.path);
        node.appendChild("used").setText(isoTime(item.used));
    }
    QDir().mkpath(QFileInfo(m_storePath).absolutePath());
    xml.save(m_storePath, true);
}

void RecentFiles::add(const QString& path, const QDateTime& used)
{
    const QString file = absolute(path);
    remove(file);
    m_items.prepend({file, used.toUTC()});
    while (m_items.size() > kLimit)
        m_items.removeLast();
}

bool RecentFiles::remove(const QString& path)
{
    const QString file = absolute(path);
    return m_items.removeIf([&](const RecentFile& item) { return item.path == file; }) > 0;
}

int RecentFiles::removeMissing()
{
    return int(
        m_items.removeIf([](const RecentFile& item) { return !QFileInfo(item.path).isFile(); }));
}

void RecentFiles::clear()
{
    m_items.clear();
}

void RecentFiles::mergeDesktopEntries(const QList<RecentFile>& entries)
{
    QDateTime newest = m_mergedUntil;
    for (const RecentFile& entry : entries) {
        if (!entry.used.isValid() || (m_mergedUntil.isValid() && entry.used <= m_mergedUntil))
            continue;
        // Another program's history may name files long gone: only ours are
        // kept greyed out.
        if (!QFileInfo(entry.path).isFile())
            continue;
        if (!newest.isValid() || entry.used > newest)
            newest = entry.used;
        const QString file = absolute(entry.path);
        auto same = std::find_if(m_items.begin(), m_items.end(),
                                 [&](const RecentFile& item) { return item.path == file; });
        if (same != m_items.end()) {
            if (same->used.isValid() && same->used >= entry.used)
                continue;
            m_items.erase(same);
        }
        // Before the first entry used earlier: the list stays newest first.
        auto at = std::find_if(m_items.begin(), m_items.end(), [&](const RecentFile& item) {
            return !item.used.isValid() || item.used < entry.used;
        });
        m_items.insert(at, {file, entry.used.toUTC()});
    }
    while (m_items.size() > kLimit)
        m_items.removeLast();
    m_mergedUntil = newest;
}

namespace DesktopRecentFiles {
namespace {

const QString kBookmarkNs =
    QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString kMimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");

// The time XBEL writers use: UTC with microseconds and a "Z".
QString xbelTime(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz000Z"));
}

QByteArray readFile(const QString& path, bool* exists)
{
    QFile file(path);
    *exists = file.exists();
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeOurBookmark(QXmlStreamWriter& out, const QString& url, const QString& added,
                      const QString& now, int count)
{
    out.writeStartElement(QStringLiteral("bookmark"));
    out.writeAttribute(QStringLiteral("href"), url);
    out.writeAttribute(QStringLiteral("added"), added);
    out.writeAttribute(QStringLiteral("modified"), now);
    out.writeAttribute(QStringLiteral("visited"), now);
    out.writeStartElement(QStringLiteral("info"));
    out.writeStartElement(QStringLiteral("metadata"));
    out.writeAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    out.writeEmptyElement(kMimeNs, QStringLiteral("mime-type"));
    out.writeAttribute(QStringLiteral("type"), kMimeType);
    out.writeStartElement(kBookmarkNs, QStringLiteral("applications"));
    out.writeEmptyElement(kBookmarkNs, QStringLiteral("application"));
    out.writeAttribute(QStringLiteral("name"), QStringLiteral("Tavistrel"));
    out.writeAttribute(QStringLiteral("exec"), QStringLiteral("'tavistrel %f'"));
    out.writeAttribute(QStringLiteral("modified"), now);
    out.writeAttribute(QStringLiteral("count"), QString::number(count));
    out.writeEndElement(); // applications
    out.writeEndElement(); // metadata
    out.writeEndElement(); // info
    out.writeEndElement(); // bookmark
}

// Skips the current bookmark element, noting its "added" time and our count.
void skipBookmark(QXmlStreamReader& in, QString* added, int* count)
{
    *added = in.attributes().value(QStringLiteral("added")).toString();
    int depth = 1;
    while (depth > 0 && !in.atEnd()) {
        in.readNext();
        if (in.isStartElement()) {
            ++depth;
            if (in.name() == u"application" &&
                in.attributes().value(QStringLiteral("name")) == u"Tavistrel")
                *count = in.attributes().value(QStringLiteral("count")).toInt();
        } else if (in.isEndElement()) {
            --depth;
        }
    }
}

} // namespace

QString defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/recently-used.xbel");
}

QList<RecentFile> read(const QString& xbelPath)
{
    bool exists = false;
    QXmlStreamReader in(readFile(xbelPath, &exists));
    QList<RecentFile> found;
    QString href;
    QDateTime used;
    bool ours = false;
    while (!in.atEnd()) {
        in.readNext();
        if (in.isStartElement() && in.name() == u"bookmark") {
            const QXmlStreamAttributes a = in.attributes();
            href = a.value(QStringLiteral("href")).toString();
            used = parseTime(a.value(QStringLiteral("visited")).toString());
            const QDateTime modified = parseTime(a.value(QStringLiteral("modified")).toString());
            if (!used.isValid() || (modified.isValid() && modified > used))
                used = modified;
            ours = href.endsWith(QStringLiteral(".tvst"), Qt::CaseInsensitive);
        } else if (in.isStartElement() && in.name() == u"mime-type") {
            ours = ours || in.attributes().value(QStringLiteral("type")) == kMimeType;
        } else if (in.isEndElement() && in.name() == u"bookmark") {
            const QUrl url(href);
            if (ours && url.isLocalFile())
                found.append({url.toLocalFile(), used});
        }
    }
    if (in.hasError())
        return {};
    return found;
}

void add(const QString& xbelPath, const QString& filePath, const QDateTime& used)
{
    const QString url = QUrl::fromLocalFile(absolute(filePath)).toString(QUrl::FullyEncoded);
    const QString now = xbelTime(used);
    bool exists = false;
    const QByteArray old = readFile(xbelPath, &exists);

    QByteArray result;
    QXmlStreamWriter out(&result);
    out.setAutoFormatting(true);
    out.setAutoFormattingIndent(2);
    QString added = now;
    int count = 0;
    if (exists && !old.trimmed().isEmpty()) {
        // Copies every other token as it is; our old entry is dropped and
        // written anew at the end.
        QXmlStreamReader in(old);
        while (!in.atEnd()) {
            in.readNext();
            if (in.isStartElement() && in.name() == u"bookmark" &&
                in.attributes().value(QStringLiteral("href")) == url) {
                skipBookmark(in, &added, &count);
                continue;
            }
            if (in.isEndElement() && in.name() == u"xbel")
                writeOurBookmark(out, url, added, now, count + 1);
            if (in.isWhitespace())
                continue;
            out.writeCurrentToken(in);
        }
        if (in.hasError())
            throw Error(QStringLiteral("Die Liste zuletzt verwendeter Dateien \"%1\" ist kein "
                                       "gültiges XBEL: %2")
                            .arg(xbelPath, in.errorString()));
    } else {
        out.writeStartDocument();
        out.writeNamespace(kBookmarkNs, QStringLiteral("bookmark"));
        out.writeNamespace(kMimeNs, QStringLiteral("mime"));
        out.writeStartElement(QStringLiteral("xbel"));
        out.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        writeOurBookmark(out, url, added, now, 1);
        out.writeEndElement();
        out.writeEndDocument();
    }

    QDir().mkpath(QFileInfo(xbelPath).absolutePath());
    // A new list names the user's files: for their eyes only.
    QSaveFile file(xbelPath);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok && !exists)
        ok = ::fchmod(file.handle(), S_IRUSR | S_IWUSR) == 0;
    if (!ok || file.write(result) != result.size() || !file.commit())
        throw Error(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2")
                        .arg(xbelPath, file.errorString()));
}

} // namespace DesktopRecentFiles
