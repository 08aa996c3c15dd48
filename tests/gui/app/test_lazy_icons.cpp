#include "app/LazyIcons.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const int kProgramIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QList<LazyIcons::File> programIconFiles(const QString& folder = QStringLiteral(":/icons"))
{
    QList<LazyIcons::File> files;
    for (int size : kProgramIconSizes)
        files.append(
            {QStringLiteral("%1/tavistrel-%2.png").arg(folder).arg(size), QSize(size, size)});
    return files;
}

QIcon eagerIcon(const QList<LazyIcons::File>& files)
{
    QIcon icon;
    for (const LazyIcons::File& file : files)
        icon.addFile(file.name, file.size);
    return icon;
}

QImage pixels(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage painted(const QIcon& icon, const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    QImage image(size + QSize(6, 6), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, QRect(QPoint(3, 3), size), Qt::AlignCenter, mode, state);
    return image;
}

// Requests below, at, between and above the pictures' sizes, and not square.
const QSize kRequests[] = {{1, 1},     {8, 8},     {15, 15},   {16, 16},   {17, 17}, {23, 23},
                           {24, 24},   {31, 31},   {32, 32},   {40, 40},   {64, 64}, {100, 100},
                           {128, 128}, {200, 200}, {256, 256}, {300, 300}, {16, 32}, {48, 20}};
const QIcon::Mode kModes[] = {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected};
const QIcon::State kStates[] = {QIcon::Off, QIcon::On};

// Every answer QIcon gives about the lazy icon is the one it gives about the
// eager icon: sizes, pixmaps at ratio 1 and 2, painting.
void expectSameIcon(const QIcon& lazy, const QIcon& eager)
{
    EXPECT_EQ(lazy.isNull(), eager.isNull());
    for (QIcon::Mode mode : kModes) {
        for (QIcon::State state : kStates) {
            EXPECT_EQ(lazy.availableSizes(mode, state), eager.availableSizes(mode, state));
            for (const QSize& size : kRequests) {
                SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " mode "
                                                << mode << " state " << state);
                EXPECT_EQ(lazy.actualSize(size, mode, state), eager.actualSize(size, mode, state));
                for (qreal ratio : {1.0, 2.0}) {
                    const QPixmap a = lazy.pixmap(size, ratio, mode, state);
                    const QPixmap b = eager.pixmap(size, ratio, mode, state);
                    EXPECT_EQ(a.devicePixelRatio(), b.devicePixelRatio()) << ratio;
                    EXPECT_TRUE(pixels(a) == pixels(b)) << ratio;
                }
                EXPECT_TRUE(painted(lazy, size, mode, state) == painted(eager, size, mode, state));
            }
        }
    }
}

// Counts the pictures the window asks of the style.
class CountingStyle : public QProxyStyle
{
public:
    CountingStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override
    {
        ++asked;
        return QProxyStyle::standardIcon(which, option, widget);
    }

    mutable int asked = 0;
};

} // namespace

TEST(LazyIcons, ProgramIconAnswersLikeTheEagerIcon)
{
    expectSameIcon(LazyIcons::fromFiles(programIconFiles()), eagerIcon(programIconFiles()));
}

// The sizes come from the list, and a request reads only the file it needs:
// files that do not exist yet cannot have been read.
TEST(LazyIcons, ProgramIconReadsOnlyTheFileARequestNeeds)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QList<LazyIcons::File> files = programIconFiles(dir.path());
    const QIcon lazy = LazyIcons::fromFiles(files);
    EXPECT_FALSE(lazy.isNull());
    QList<QSize> sizes;
    for (int size : kProgramIconSizes)
        sizes.append(QSize(size, size));
    EXPECT_EQ(lazy.availableSizes(), sizes);
    EXPECT_EQ(lazy.actualSize(QSize(20, 20)), QSize(20, 20));

    ASSERT_TRUE(QFile::copy(QStringLiteral(":/icons/tavistrel-16.png"), files[0].name));
    const QIcon eager = eagerIcon(programIconFiles());
    EXPECT_TRUE(pixels(lazy.pixmap(16)) == pixels(eager.pixmap(16)));
    EXPECT_TRUE(pixels(lazy.pixmap(12)) == pixels(eager.pixmap(12)));
    // The 22-pixel file is still missing: a request for it gives nothing.
    EXPECT_TRUE(lazy.pixmap(22).isNull());
}

// Every picture the windows use; most are read from the style's own files
// without asking the style, the others are asked of it.
const QStyle::StandardPixmap kUsedPictures[] = {
    QStyle::SP_FileIcon,           QStyle::SP_DialogOpenButton,
    QStyle::SP_DialogSaveButton,   QStyle::SP_DialogCloseButton,
    QStyle::SP_DialogApplyButton,  QStyle::SP_ArrowUp,
    QStyle::SP_ArrowDown,          QStyle::SP_FileDialogDetailedView,
    QStyle::SP_FileDialogInfoView, QStyle::SP_BrowserReload,
    QStyle::SP_DriveFDIcon,        QStyle::SP_DriveNetIcon,
    QStyle::SP_MessageBoxQuestion, QStyle::SP_MessageBoxInformation};

void expectStandardIconsAnswerLikeTheStyles()
{
    QWidget widget;
    for (QStyle::StandardPixmap which : kUsedPictures) {
        SCOPED_TRACE(int(which));
        expectSameIcon(LazyIcons::standard(&widget, which), widget.style()->standardIcon(which));
        EXPECT_EQ(LazyIcons::standard(&widget, which).name(),
                  widget.style()->standardIcon(which).name());
    }
}

TEST(LazyIcons, StandardIconsAnswerLikeTheStyles)
{
    expectStandardIconsAnswerLikeTheStyles();
}

// With an icon theme the style takes the theme's pictures where it has them
// and its own files where not.
TEST(LazyIcons, StandardIconsAnswerLikeTheStylesUnderAnIconTheme)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("probe/16x16/actions"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile index(dir.filePath(QStringLiteral("probe/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=probe\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nType=Fixed\n");
    index.close();
    // Some of the names the style asks for, and none for the rest.
    const char* names[] = {"go-up",          "document-save", "view-refresh",
                           "text-x-generic", "media-floppy",  "dialog-information"};
    for (const char* name : names) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(QStringLiteral("%1/%2.png").arg(folder, QLatin1String(name))));
    }
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({dir.path()});
    QIcon::setThemeName(QStringLiteral("probe"));
    expectStandardIconsAnswerLikeTheStyles();
    QIcon::setThemeName(themeName);
    QIcon::setThemeSearchPaths(searchPaths);
}

// The style is asked on the first use, once for all icons of one picture.
TEST(LazyIcons, StandardIconAsksTheStyleOnFirstUse)
{
    CountingStyle style;
    QWidget widget;
    widget.setStyle(&style);
    const QIcon first = LazyIcons::standard(&widget, QStyle::SP_ArrowDown);
    const QIcon second = LazyIcons::standard(&widget, QStyle::SP_ArrowDown);
    EXPECT_EQ(style.asked, 0);
    EXPECT_FALSE(first.isNull());
    EXPECT_FALSE(first.pixmap(16).isNull());
    EXPECT_FALSE(second.pixmap(32).isNull());
    EXPECT_EQ(style.asked, 1);
    EXPECT_FALSE(LazyIcons::standard(&widget, QStyle::SP_ArrowUp).pixmap(16).isNull());
    EXPECT_EQ(style.asked, 2);
}
