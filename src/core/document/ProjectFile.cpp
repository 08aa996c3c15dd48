#include "ProjectFile.h"

#include "ftp/RemoteSession.h"
#include "platform/BooleanText.h"
#include "platform/RegionalSettings.h"
#include "platform/XmlStream.h"

#include <QFile>
#include <QFileInfo>
#include <bit>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ProjectFile {
namespace {

QDate decodeDate(const QString& text)
{
    const auto date = RegionalSettings::current().parseDate(text);
    if (!date)
        throw ProjectFileError(QStringLiteral("Ungültiges Datum \"%1\"").arg(text));
    return *date;
}

QTime decodeTime(const QString& text)
{
    const auto time = RegionalSettings::current().parseTime(text);
    if (!time)
        throw ProjectFileError(QStringLiteral("Ungültige Uhrzeit \"%1\"").arg(text));
    return *time;
}

QString encodeValue(const ChannelValue& value)
{
    const RegionalSettings& regional = RegionalSettings::current();
    if (const bool* b = std::get_if<bool>(&value))
        return encodeBoolean(*b);
    if (const QDate* d = std::get_if<QDate>(&value))
        return regional.formatDate(*d);
    if (const QTime* t = std::get_if<QTime>(&value))
        return regional.formatTime(*t);
    return std::get<QString>(value);
}

ChannelValue decodeValue(SettingKind kind, const QString& text)
{
    switch (kind) {
    case SettingKind::Boolean:
        return decodeBoolean(text);
    case SettingKind::Date:
        return decodeDate(text);
    case SettingKind::Time:
        return decodeTime(text);
    case SettingKind::Protocol:
        // Missing (older files) or unknown: plain FTP, as before.
        return protocolCode(protocolFromCode(text));
    default:
        return text;
    }
}

// Reads the settings; returns the entry list's element (null when missing).
XmlNode readSettings(const XmlDocument& xml, FeedDocument& document)
{
    const XmlNode root = xml.documentElement();
    const XmlNode fileInfo = root.findChild("FileInfo");
    const XmlNode content = root.findChild("FileContent");
    if (!content)
        throw ProjectFileError(QStringLiteral("FileContent fehlt"));
    const XmlNode itemList = content.findChild("ItemList");
    if (!fileInfo || ReadChildText("Prog", fileInfo) != u"Tavistrel")
        throw ProjectFileError(QStringLiteral("Die Programmkennung \"Tavistrel\" fehlt"));

    const auto settings = ChannelSettings::all();
    for (int i = 0; i < int(settings.size()); ++i) {
        const ChannelSetting& s = settings[size_t(i)];
        const XmlNode element = content.findChild(s.key);
        const bool absentLater = !element && i >= ChannelSettings::kFirstLaterSetting;
        const QString text =
            absentLater ? QString::fromLatin1(s.defaultText) : ReadElementText(element);
        document.setValue(i, decodeValue(s.kind, text));
    }
    return itemList;
}

void readDocument(XmlDocument& xml, FeedDocument& document)
{
    const XmlNode itemList = readSettings(xml, document);
    if (!itemList)
        throw ProjectFileError(QStringLiteral("ItemList fehlt"));
    for (XmlNode child = itemList.firstChild(); child; child = child.nextSibling()) {
        auto entry = std::make_unique<TNewsEntry>();
        entry->LoadFromXmlNode(child);
        document.entries.append(std::move(entry));
    }
}

// Parses with `parse` and reads the whole project into a fresh document;
// every failure becomes a ProjectFileError.
FeedDocument readProject(const std::function<void(XmlDocument&)>& parse)
{
    XmlDocument xml;
    FeedDocument document;
    try {
        parse(xml);
        readDocument(xml, document);
    } catch (const ProjectFileError&) {
        throw;
    } catch (const FileAccessError& e) {
        throw ProjectFileUnreadable(e.message());
    } catch (const Error& e) {
        throw ProjectFileError(e.message());
    }
    return document;
}

// The entries are parsed on a second thread while the caller's thread
// handles the ones before: parsing and handling (checking, writing) cost
// about the same. Batches keep the hand-over cheap, and at most a few of
// them wait, so memory stays small. Handled batches go back to the parsing
// thread, which loads the next entries into the same objects: no entry is
// allocated on one thread and freed on the other, where the allocator's
// lock made the two threads wait for each other.
class EntryPipe
{
public:
    using Batch = std::vector<TNewsEntry>;
    static constexpr size_t kBatchSize = 128;
    static constexpr size_t kMaxWaiting = 3;

    // Producer side; false when the consumer gave up.
    bool push(Batch&& batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_cancelled || m_waiting.size() < kMaxWaiting; });
        if (m_cancelled)
            return false;
        m_waiting.push_back(std::move(batch));
        // Woken after the unlock, the other side does not block on the lock.
        lock.unlock();
        m_changed.notify_all();
        return true;
    }
    void close(bool complete)
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        m_complete = complete;
        m_changed.notify_all();
    }
    // Consumer side; false once the producer closed and nothing waits.
    bool pop(Batch& batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || !m_waiting.empty(); });
        if (m_waiting.empty())
            return false;
        batch = std::move(m_waiting.front());
        m_waiting.pop_front();
        lock.unlock();
        m_changed.notify_all();
        return true;
    }
    // Consumer side: a handled batch, for the producer to fill again.
    void giveBack(Batch&& batch)
    {
        const std::lock_guard lock(m_mutex);
        m_spare.push_back(std::move(batch));
    }
    // Producer side: a handled batch when there is one, else an empty one.
    Batch takeSpare()
    {
        {
            const std::lock_guard lock(m_mutex);
            if (!m_spare.empty()) {
                Batch batch = std::move(m_spare.back());
                m_spare.pop_back();
                return batch;
            }
        }
        Batch batch;
        batch.reserve(kBatchSize);
        return batch;
    }
    void cancel()
    {
        const std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_changed.notify_all();
    }
    bool complete()
    {
        const std::lock_guard lock(m_mutex);
        return m_complete;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_waiting;
    std::vector<Batch> m_spare;
    bool m_closed = false;
    bool m_complete = false;
    bool m_cancelled = false;
};

// Every entry to onEntry in list order; false when the file turned out to
// need the whole read. What onEntry throws passes through.
bool readEntriesAhead(XmlChunkReader& reader, const std::function<void(const TNewsEntry&)>& onEntry)
{
    EntryPipe pipe;
    std::thread producer([&reader, &pipe] {
        bool complete = false;
        try {
            XmlDocument child;
            EntryPipe::Batch batch = pipe.takeSpare();
            size_t filled = 0; // entries of batch loaded from this file
            bool going = true;
            while (going && reader.readChild(child)) {
                if (filled == batch.size())
                    batch.emplace_back();
                batch[filled++].LoadFromXmlNode(child.documentElement());
                if (filled == EntryPipe::kBatchSize) {
                    going = pipe.push(std::move(batch));
                    batch = pipe.takeSpare();
                    filled = 0;
                }
            }
            if (going) {
                reader.finish();
                batch.resize(filled);
                complete = pipe.push(std::move(batch));
            }
        } catch (...) {
            // Any failure leaves the decision to the whole read.
        }
        pipe.close(complete);
    });
    try {
        EntryPipe::Batch batch;
        while (pipe.pop(batch)) {
            for (const TNewsEntry& entry : batch)
                onEntry(entry);
            pipe.giveBack(std::move(batch));
        }
    } catch (...) {
        pipe.cancel();
        producer.join();
        throw;
    }
    producer.join();
    return pipe.complete();
}

// The streamed read: the head holds every setting (nothing but end tags
// follows the entry list), and its entry list must be the one the whole
// read takes, the first under the first FileContent.
bool streamProject(XmlChunkReader& reader,
                   const std::function<void(const FeedDocument&)>& onChannel,
                   const std::function<void(const TNewsEntry&)>& onEntry)
{
    FeedDocument channel;
    {
        XmlDocument head;
        try {
            reader.readHead(head);
            const XmlNode itemList = readSettings(head, channel);
            const XmlNode content = head.documentElement().findChild("FileContent");
            if (!itemList || itemList.firstChild() || itemList.nextSibling() ||
                content.nextSibling())
                return false;
        } catch (const Error&) {
            return false;
        }
    }
    onChannel(channel);
    return readEntriesAhead(reader, onEntry);
}

const QList<QByteArray> kEntryListPath = {"FileContent", "ItemList"};

} // namespace

bool StreamProjectFile(const QString& path,
                       const std::function<void(const FeedDocument&)>& onChannel,
                       const std::function<void(const TNewsEntry&)>& onEntry)
{
    try {
        XmlChunkReader reader(path, kEntryListPath);
        return streamProject(reader, onChannel, onEntry);
    } catch (const XmlError&) {
        return false;
    }
}

bool StreamProjectData(const QByteArray& data,
                       const std::function<void(const FeedDocument&)>& onChannel,
                       const std::function<void(const TNewsEntry&)>& onEntry)
{
    XmlChunkReader reader(data, kEntryListPath);
    return streamProject(reader, onChannel, onEntry);
}

QString applyLineBreakRule(QString text)
{
    applyLineBreakRuleInPlace(text);
    return text;
}

namespace {

// Index of the first LF followed by another, or -1.
qsizetype findLfPair(const char16_t* data, qsizetype n)
{
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight places at a time: a LF there and a LF one further on.
    const __m128i lf = _mm_set1_epi16('\n');
    for (; i + 9 <= n; i += 8) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
        const int mask = _mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(here, lf), _mm_cmpeq_epi16(next, lf)));
        if (mask != 0)
            return i + std::countr_zero(unsigned(mask)) / 2;
    }
#endif
    for (; i + 1 < n; ++i)
        if (data[i] == u'\n' && data[i + 1] == u'\n')
            return i;
    return -1;
}

} // namespace

void applyLineBreakRuleInPlace(QString& text)
{
    // Most texts hold no pair at all: search without touching the storage.
    const qsizetype n = text.size();
    qsizetype i = findLfPair(reinterpret_cast<const char16_t*>(text.constData()), n);
    if (i < 0)
        return;
    char16_t* data = reinterpret_cast<char16_t*>(text.data());
    while (i + 1 < n) {
        if (data[i] == u'\n' && data[i + 1] == u'\n') {
            data[i] = u'\r';
            i += 2;
        } else {
            ++i;
        }
    }
}

QString ReadChildText(const char* name, XmlNode node)
{
    return ReadElementText(node.findChild(name));
}

QString ReadElementText(XmlNode element)
{
    return applyLineBreakRule(element.plainText());
}

void ReadElementText(XmlNode element, QString& text)
{
    element.plainTextInto(text);
    applyLineBreakRuleInPlace(text);
}

QString encodeBoolean(bool value)
{
    return BooleanText::write(value);
}

bool decodeBoolean(const QString& text)
{
    if (const auto value = BooleanText::read(text))
        return *value;
    throw ProjectFileError(QStringLiteral("\"%1\" ist kein Wahrheitswert").arg(text));
}

namespace {

XmlDocument projectXml(const FeedDocument& document)
{
    XmlDocument xml;
    XmlNode root = xml.createRoot(QStringLiteral("xml"));
    XmlNode fileInfo = root.appendChild("FileInfo");
    fileInfo.appendChild("Prog").setText(QStringLiteral("Tavistrel"));
    fileInfo.appendChild("Version").setText(QStringLiteral("1"));

    XmlNode content = root.appendChild("FileContent");
    const auto settings = ChannelSettings::all();
    for (int i = 0; i < int(settings.size()); ++i)
        content.appendChild(settings[size_t(i)].key).setText(encodeValue(document.value(i)));

    XmlNode itemList = content.appendChild("ItemList");
    for (int i = 0; i < document.entries.size(); ++i)
        document.entries.at(i).SaveToXmlNode(itemList.appendChild("entries"));
    return xml;
}

} // namespace

void SaveProjectFile(const FeedDocument& document, const QString& path)
{
    // The file holds the FTP password: a new one is for its owner only,
    // while QSaveFile keeps the mode of a file it replaces.
    projectXml(document).save(path, !QFileInfo::exists(path));
}

QByteArray ProjectData(const FeedDocument& document)
{
    return projectXml(document).toUtf8();
}

FeedDocument LoadProjectFile(const QString& path)
{
    return readProject([&path](XmlDocument& xml) { xml.load(path); });
}

bool looksLikeProjectFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    // The program's name comes within the first lines of every project.
    const QByteArray head = file.read(4096);
    return head.contains("<FileInfo>") && head.contains("<Prog>Tavistrel</Prog>");
}

FeedDocument LoadProjectData(const QByteArray& data)
{
    return readProject([&data](XmlDocument& xml) { xml.loadFromData(data); });
}

} // namespace ProjectFile
