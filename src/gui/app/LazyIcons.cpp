#include "LazyIcons.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

namespace LazyIcons {
namespace {

// The engine calls of an icon that exists, reached through QIcon's public
// functions: at a ratio of 1 those are the engine's own calls; above 1 the
// request is given in device pixels and QIcon multiplies it back.
QPixmap scaledPixmapOf(const QIcon& icon, const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale)
{
    QPixmap pixmap = scale > 1.0 ? icon.pixmap(size / scale, scale, mode, state)
                                 : icon.pixmap(size, 1.0, mode, state);
    // Qt's own engines hand out pixmaps of ratio 1; QIcon sets the ratio itself.
    pixmap.setDevicePixelRatio(1.0);
    return pixmap;
}

QSize actualSizeOf(const QIcon& icon, const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    if (!(qApp->devicePixelRatio() > 1.0))
        return icon.actualSize(size, mode, state);
    // QIcon would multiply by the screen's ratio; the engine's answer is the
    // size of the pixmap it gives.
    return icon.pixmap(size, 1.0, mode, state).size();
}

int area(const QSize& size)
{
    return size.width() * size.height();
}

// The pictures and, once decoded, one icon per picture; shared by the copies
// Qt makes of the engine.
struct FileSet
{
    QList<File> files;
    QHash<int, QIcon> decoded;

    // Qt's rule: the smallest picture at least as large as the request,
    // else the largest; among equals the later one.
    int pick(const QSize& size) const
    {
        const int wanted = area(size);
        int best = 0;
        for (int i = 1; i < files.size(); ++i) {
            const int a = area(files[i].size);
            const int b = area(files[best].size);
            const int chosen = std::min(a, b) >= wanted ? std::min(a, b) : std::max(a, b);
            if (chosen == a)
                best = i;
        }
        return best;
    }

    const QIcon& icon(int index)
    {
        auto it = decoded.find(index);
        if (it == decoded.end()) {
            QIcon single;
            single.addFile(files[index].name, files[index].size);
            it = decoded.insert(index, single);
        }
        return *it;
    }
};

// Paints as Qt's own engines do: the pixmap for the rectangle's device
// pixels, stretched over the rectangle that QIcon::paint has placed.
class ForwardingEngine : public QIconEngine
{
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPaintDevice* device = painter->device();
        const qreal ratio = device ? device->devicePixelRatio() : qApp->devicePixelRatio();
        painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return scaledPixmapOf(iconFor(size), size, mode, state, scale);
    }

protected:
    // The icon that answers a request for this many device pixels.
    virtual const QIcon& iconFor(const QSize& size) = 0;
};

class FileIconEngine : public ForwardingEngine
{
public:
    explicit FileIconEngine(std::shared_ptr<FileSet> set) : m_set(std::move(set)) {}

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        QSize actual = m_set->files[m_set->pick(size)].size;
        if (actual.width() > size.width() || actual.height() > size.height())
            actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        QList<QSize> sizes;
        if (mode == QIcon::Normal && state == QIcon::Off)
            for (const File& file : m_set->files)
                sizes.append(file.size);
        return sizes;
    }

    bool isNull() override { return m_set->files.isEmpty(); }
    QString key() const override { return QStringLiteral("LazyFileIconEngine"); }
    QIconEngine* clone() const override { return new FileIconEngine(m_set); }

protected:
    const QIcon& iconFor(const QSize& size) override { return m_set->icon(m_set->pick(size)); }

private:
    std::shared_ptr<FileSet> m_set;
};

// The pictures of the Fusion style that the window needs before its first
// paint (tool bar, page buttons, headings). Asked for one, the style decodes
// every file of the picture at once, up to 128 pixels. These are its own files
// and theme names; the tests compare each with what the style itself gives.
// Pictures whose files are not square, and those only shown in menus, are
// left to the style.
struct KnownPicture
{
    QStyle::StandardPixmap which;
    const char* themeName; // nullptr: the style never asks the icon theme
    const char* file;
    std::initializer_list<int> sizes;
};

const KnownPicture kKnownPictures[] = {
    {QStyle::SP_FileIcon, "text-x-generic", "file", {16, 32, 128}},
    {QStyle::SP_DialogOpenButton, "folder-open", "standardbutton-open", {16, 32, 128}},
    {QStyle::SP_DialogSaveButton, "document-save", "standardbutton-save", {16, 32, 128}},
    {QStyle::SP_DialogCloseButton, "window-close", "standardbutton-close", {16, 32, 128}},
    {QStyle::SP_ArrowUp, "go-up", "up", {16, 32, 128}},
    {QStyle::SP_ArrowDown, "go-down", "down", {16, 32, 128}},
    {QStyle::SP_FileDialogDetailedView, "view-list-details", "viewdetailed", {16, 32, 128}},
    {QStyle::SP_FileDialogInfoView, nullptr, "fileinfo", {16, 32, 128}},
    {QStyle::SP_BrowserReload, "view-refresh", "refresh", {24, 32}},
};

const KnownPicture* knownPicture(QStyle::StandardPixmap which)
{
    for (const KnownPicture& known : kKnownPictures)
        if (known.which == which)
            return &known;
    return nullptr;
}

// Only Fusion itself: a proxy or another style may answer differently.
bool isPlainFusion(const QStyle* style)
{
    return qstrcmp(style->metaObject()->className(), "QFusionStyle") == 0;
}

// The style's answer without decoding: the theme's icon where the style would
// take it (the theme loads its files on demand), else its files, read when
// drawn. Empty if a file is missing, so the style answers after all.
std::optional<QIcon> knownIcon(const KnownPicture& known)
{
    if (known.themeName && QGuiApplication::desktopSettingsAware() &&
        !QIcon::themeName().isEmpty()) {
        QIcon themed = QIcon::fromTheme(QString::fromLatin1(known.themeName));
        if (!themed.isNull())
            return themed;
    }
    QList<File> files;
    for (int size : known.sizes) {
        const QString name = QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
                                 .arg(QLatin1String(known.file))
                                 .arg(size);
        if (!QFile::exists(name))
            return std::nullopt;
        files.append({name, QSize(size, size)});
    }
    return fromFiles(files);
}

// A style's icon, asked for once.
struct StandardSource
{
    QPointer<QStyle> style;
    QStyle::StandardPixmap which;
    std::optional<QIcon> icon;

    const QIcon& get()
    {
        if (!icon) {
            QStyle* from = style ? style.data() : QApplication::style();
            const KnownPicture* known = isPlainFusion(from) ? knownPicture(which) : nullptr;
            if (known)
                icon = knownIcon(*known);
            if (!icon)
                icon = from->standardIcon(which);
        }
        return *icon;
    }
};

class StandardIconEngine : public ForwardingEngine
{
public:
    explicit StandardIconEngine(std::shared_ptr<StandardSource> source)
        : m_source(std::move(source))
    {
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return actualSizeOf(m_source->get(), size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_source->get().availableSizes(mode, state);
    }

    QString iconName() override { return m_source->get().name(); }
    bool isNull() override { return m_source->get().isNull(); }
    QString key() const override { return QStringLiteral("LazyStandardIconEngine"); }
    QIconEngine* clone() const override { return new StandardIconEngine(m_source); }

protected:
    const QIcon& iconFor(const QSize&) override { return m_source->get(); }

private:
    std::shared_ptr<StandardSource> m_source;
};

} // namespace

QIcon fromFiles(const QList<File>& files)
{
    auto set = std::make_shared<FileSet>();
    set->files = files;
    return QIcon(new FileIconEngine(std::move(set)));
}

QIcon standard(const QWidget* widget, QStyle::StandardPixmap which)
{
    // One source per style and picture: the window asks for some pictures
    // several times (arrows, refresh). A style that is gone leaves its
    // entries behind with a null pointer; they are replaced.
    static QHash<std::pair<const QStyle*, int>, std::weak_ptr<StandardSource>> sources;
    QStyle* style = widget->style();
    const auto key = std::make_pair(static_cast<const QStyle*>(style), int(which));
    std::shared_ptr<StandardSource> source = sources.value(key).lock();
    if (!source || source->style != style) {
        source = std::make_shared<StandardSource>(StandardSource{style, which, std::nullopt});
        sources.insert(key, source);
    }
    return QIcon(new StandardIconEngine(std::move(source)));
}

} // namespace LazyIcons
