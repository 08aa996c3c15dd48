#include "app/LogoCheck.h"

#include "support/FakeInteraction.h"
#include "support/QtPrinters.h"
#include "support/TestHttpServer.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QString kNotFound =
    QStringLiteral("Das Logo wurde nicht gefunden. Bitte prüfen Sie die URL.");
const QString kTooWide = QStringLiteral("Hinweis: Bild ist breiter als 144 Pixel.");
const QString kTooHigh = QStringLiteral("Hinweis: Bild ist höher als 400 Pixel.");

QByteArray picture(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Qt reads GIF but does not write it: a 1 by 1 GIF89a.
const QByteArray kGif =
    QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");

class LogoCheckTest : public ::testing::Test
{
protected:
    QWidget window;
    QLineEdit* edtLogoUrl = new QLineEdit(&window);
    QSpinBox* edtLogoWidth = new QSpinBox(&window);
    QSpinBox* edtLogoHeight = new QSpinBox(&window);
    QLabel* logoPicture = new QLabel(&window);
    FakeInteraction ui;
    TestHttpServer server;
    LogoCheck check{&window, ui, edtLogoUrl, edtLogoWidth, edtLogoHeight, logoPicture};

    LogoCheckTest()
    {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w :
             std::initializer_list<QWidget*>{edtLogoUrl, edtLogoWidth, edtLogoHeight, logoPicture})
            layout->addWidget(w);
        logoPicture->setFixedSize(183, 95);
    }

    void readFrom(const QByteArray& path)
    {
        edtLogoUrl->setText(QString::fromLatin1(server.baseUrl() + path));
        check.btReadPictureClick();
    }
    QSize previewSize() const { return logoPicture->pixmap().size(); }
};

TEST_F(LogoCheckTest, WritesTheSizeShowsThePictureAndHintsAtTheLimits)
{
    const struct
    {
        const char* path;
        QByteArray body;
        int width, height;
        QSize preview;
        QStringList messages;
    } cases[] = {
        {"/limit.png", picture(144, 400, "PNG"), 144, 400, {34, 95}, {}},
        {"/over.png", picture(145, 401, "PNG"), 145, 401, {34, 95}, {kTooWide, kTooHigh}},
        {"/button.jpg", picture(88, 31, "JPEG"), 88, 31, {88, 31}, {}},
        {"/wide.png", picture(600, 300, "PNG"), 600, 300, {183, 91}, {kTooWide}},
        {"/exact.bmp", picture(183, 95, "BMP"), 183, 95, {183, 95}, {kTooWide}},
        // The name says nothing or the wrong thing: the content decides.
        {"/logo", picture(120, 60, "PNG"), 120, 60, {120, 60}, {}},
        {"/logo.png", kGif, 1, 1, {1, 1}, {}},
        {"/dir.with.dots/", picture(20, 10, "JPEG"), 20, 10, {20, 10}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        server.route(c.path, {200, "image/whatever", c.body, {}});
        ui.messages.clear();
        readFrom(c.path);
        EXPECT_EQ(ui.messages, c.messages);
        EXPECT_EQ(edtLogoWidth->value(), c.width);
        EXPECT_EQ(edtLogoHeight->value(), c.height);
        EXPECT_EQ(edtLogoWidth->text(), QString::number(c.width));
        EXPECT_EQ(edtLogoHeight->text(), QString::number(c.height));
        EXPECT_EQ(previewSize(), c.preview);
    }
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(LogoCheckTest, FollowsARedirect)
{
    server.route("/old", {301, "text/html", {}, {{"Location", "/new/logo.png"}}});
    server.route("/new/logo.png", {200, "image/png", picture(50, 40, "PNG"), {}});
    readFrom("/old");
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(edtLogoWidth->value(), 50);
    EXPECT_EQ(edtLogoHeight->value(), 40);
}

TEST_F(LogoCheckTest, EveryFailureGivesTheNotFoundMessageAndChangesNothing)
{
    server.route("/logo.png", {200, "image/png", picture(30, 20, "PNG"), {}});
    server.route("/page.png", {200, "text/html", "<html><body>Kein Bild</body></html>", {}});
    server.route("/cut.png", {200, "image/png", picture(30, 20, "PNG").left(40), {}});
    server.route("/empty.png", {200, "image/png", {}, {}});
    readFrom("/logo.png"); // an earlier picture that must stay
    ASSERT_EQ(previewSize(), QSize(30, 20));
    const qint64 shownKey = logoPicture->pixmap().cacheKey();

    for (const char* path : {"/page.png", "/cut.png", "/empty.png", "/missing.png"}) {
        SCOPED_TRACE(path);
        ui.messages.clear();
        readFrom(path);
        EXPECT_EQ(ui.messages, QStringList{kNotFound});
        EXPECT_EQ(edtLogoWidth->value(), 30);
        EXPECT_EQ(edtLogoHeight->value(), 20);
        EXPECT_EQ(logoPicture->pixmap().cacheKey(), shownKey);
    }
    for (const char* address : {"no address at all", "ftp://127.0.0.1/logo.png", " "}) {
        SCOPED_TRACE(address);
        ui.messages.clear();
        edtLogoUrl->setText(QString::fromLatin1(address));
        check.btReadPictureClick();
        EXPECT_EQ(ui.messages, QStringList{kNotFound});
        EXPECT_EQ(edtLogoWidth->value(), 30);
    }
    EXPECT_TRUE(ui.errors.isEmpty());
    // The address itself is never changed.
    EXPECT_EQ(edtLogoUrl->text(), QStringLiteral(" "));
}

TEST_F(LogoCheckTest, AnEmptyAddressAsksForOneAndMovesTheFocusThere)
{
    edtLogoWidth->setValue(5);
    edtLogoHeight->setFocus();
    check.btReadPictureClick();
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Bitte geben Sie eine Logo-URL ein.")});
    EXPECT_EQ(window.focusWidget(), edtLogoUrl);
    EXPECT_EQ(edtLogoWidth->value(), 5);
    EXPECT_TRUE(server.requests().isEmpty());
}

} // namespace
