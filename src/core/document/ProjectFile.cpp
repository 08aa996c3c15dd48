#include "ProjectFile.h"

#include "ftp/RemoteSession.h"
#include "platform/BooleanText.h"
#include "platform/RegionalSettings.h"
#include "platform/XmlStream.h"

#include <QFile>
#include <QFileInfo>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
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

// The entries are parsed on two more threads while the caller's thread
// handles the ones before: parsing costs a little more than handling
// (checking, writing), and a single parsing thread kept the caller waiting.
// Each parsing thread takes the text of the next batch of entries from the
// reader in turn and parses it on its own; the caller gets the batches in
// file order. At most a few batches are ahead of the caller, so memory stays
// small. Handled batches go back to the parsing threads, which load the next
// entries into the same objects: entries are not allocated on one thread and
// freed on another, where the allocator's lock made the threads wait for
// each other.
class EntryPipe
{
public:
    using Batch = std::vector<TNewsEntry>;
    static constexpr size_t kBatchSize = 128;
    static constexpr size_t kParsers = 2;
    static constexpr size_t kMaxAhead = 4;

    // The text of one batch's entries as one document.
    struct Texts
    {
        QByteArray bytes;
        size_t count = 0;
    };

    explicit EntryPipe(XmlChunkReader& reader) : m_reader(reader) {}

    // Parsing side: the next batch's texts and its number; false when there
    // is nothing more to take (the list ended, a failure, or cancelled).
    bool take(Texts& texts, size_t& number)
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopped || m_taken - m_next < kMaxAhead; });
            if (m_stopped)
                return false;
        }
        const std::lock_guard reading(m_readMutex);
        if (m_readerDone)
            return false;
        // One document per batch: the entries side by side under a root of
        // their own, as they stand under the entry list in the whole file.
        texts.bytes.resize(0); // keeps its storage
        texts.bytes.append("<batch>");
        texts.count = 0;
        try {
            QByteArrayView child;
            while (texts.count < kBatchSize && m_reader.nextChild(child)) {
                texts.bytes.append(child);
                ++texts.count;
            }
            if (texts.count < kBatchSize)
                m_reader.finish();
        } catch (...) {
            m_readerDone = true; // nobody reads on after a failure
            throw;
        }
        texts.bytes.append("</batch>");
        m_readerDone = texts.count < kBatchSize;
        const std::lock_guard lock(m_mutex);
        number = m_taken++;
        if (m_readerDone)
            m_total = m_taken;
        return true;
    }
    // Parsing side: a parsed batch.
    void put(size_t number, Batch&& batch)
    {
        std::unique_lock lock(m_mutex);
        m_ready.emplace(number, std::move(batch));
        // Woken after the unlock, the other side does not block on the lock.
        lock.unlock();
        m_changed.notify_all();
    }
    // Parsing side: the file needs the whole read.
    void fail()
    {
        const std::lock_guard lock(m_mutex);
        m_failed = m_stopped = true;
        m_changed.notify_all();
    }
    // Caller side: the next batch in file order; false after the last one
    // or on a failure.
    bool next(Batch& batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(
            lock, [this] { return m_failed || m_next == m_total || m_ready.count(m_next) > 0; });
        if (m_failed || m_next == m_total)
            return false;
        const auto it = m_ready.find(m_next);
        batch = std::move(it->second);
        m_ready.erase(it);
        ++m_next;
        lock.unlock();
        m_changed.notify_all();
        return true;
    }
    // Caller side: a handled batch, to be filled again.
    void giveBack(Batch&& batch)
    {
        const std::lock_guard lock(m_mutex);
        m_spare.push_back(std::move(batch));
    }
    // Parsing side: a handled batch when there is one, else an empty one.
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
        m_stopped = true;
        m_changed.notify_all();
    }
    // Every entry was read and handed over.
    bool complete()
    {
        const std::lock_guard lock(m_mutex);
        return !m_failed && m_next == m_total;
    }

private:
    XmlChunkReader& m_reader;
    std::mutex m_readMutex; // the reader, m_readerDone
    bool m_readerDone = false;
    std::mutex m_mutex; // everything below
    std::condition_variable m_changed;
    std::map<size_t, Batch> m_ready;
    std::vector<Batch> m_spare;
    size_t m_taken = 0;        // batches taken from the reader
    size_t m_next = 0;         // the batch the caller handles next
    size_t m_total = SIZE_MAX; // known once the reader is done
    bool m_failed = false;
    bool m_stopped = false;
};

// One parsing thread: batch after batch, until the pipe has no more.
void parseBatches(EntryPipe& pipe)
{
    try {
        XmlDocument xml;
        EntryPipe::Texts texts;
        size_t number = 0;
        while (pipe.take(texts, number)) {
            EntryPipe::Batch batch = pipe.takeSpare();
            batch.resize(texts.count);
            xml.loadFromUtf8(texts.bytes);
            // One element per entry text; anything else would be a fault of
            // the reader, and the whole read then decides.
            size_t k = 0;
            for (XmlNode child = xml.documentElement().firstChild(); child;
                 child = child.nextSibling()) {
                if (k == texts.count)
                    throw XmlError(QStringLiteral("more elements than entries"));
                batch[k++].LoadFromXmlNode(child);
            }
            if (k != texts.count)
                throw XmlError(QStringLiteral("fewer elements than entries"));
            pipe.put(number, std::move(batch));
        }
    } catch (...) {
        // Any failure leaves the decision to the whole read.
        pipe.fail();
    }
}

// Every entry to onEntry in list order; false when the file turned out to
// need the whole read. What onEntry throws passes through.
bool readEntriesAhead(XmlChunkReader& reader, const std::function<void(const TNewsEntry&)>& onEntry)
{
    EntryPipe pipe(reader);
    std::vector<std::thread> parsers;
    for (size_t k = 0; k < EntryPipe::kParsers; ++k)
        parsers.emplace_back(parseBatches, std::ref(pipe));
    const auto joinAll = [&parsers] {
        for (std::thread& parser : parsers)
            parser.join();
    };
    try {
        EntryPipe::Batch batch;
        while (pipe.next(batch)) {
            for (const TNewsEntry& entry : batch)
                onEntry(entry);
            pipe.giveBack(std::move(batch));
        }
    } catch (...) {
        pipe.cancel();
        joinAll();
        throw;
    }
    pipe.cancel(); // a failure may leave a parser waiting
    joinAll();
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
        const int mask =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(here, lf), _mm_cmpeq_epi16(next, lf)));
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
