// JPEG decoding of the background artwork, the icons, and the plain-colour fallback.

#include "Artwork.h"
#include "TBackgroundImage.h"

#include <QApplication>
#include <QFile>
#include <QtTest>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

// Encodes a synthetic picture so the decoder can be fed colour spaces our artwork lacks.
QByteArray EncodeJpeg(int width, int height, J_COLOR_SPACE space, int components, int value)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(size_t(width * components), static_cast<unsigned char>(value));
    while (info.next_scanline < info.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray data(reinterpret_cast<const char*>(buffer), int(size));
    std::free(buffer);
    return data;
}

QByteArray BackgroundBytes()
{
    QFile file(QStringLiteral(":/artwork/background.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void decodesTheBackground();
    void decodesGrayscaleIntoRgb();
    void refusesBrokenData_data();
    void refusesBrokenData();
    void refusesCmyk();
    void iconsAreTransparentAroundTheirPicture_data();
    void iconsAreTransparentAroundTheirPicture();
    void appIconHasBothSizes();
    void backgroundFallsBackToFaceColour();
};

void TestArtwork::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestArtwork::decodesTheBackground()
{
    const QByteArray bytes = BackgroundBytes();
    QVERIFY(!bytes.isEmpty());
    const QImage image = DecodeJpeg(bytes);
    QCOMPARE(image.size(), QSize(127, 96));
    QCOMPARE(image.format(), QImage::Format_RGB888);

    // Pale blue-green everywhere: light, with green and blue above red.
    qint64 red = 0, green = 0, blue = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            QVERIFY2(c.red() > 140 && c.green() > 180 && c.blue() > 170,
                     qPrintable(QStringLiteral("pixel %1,%2 too dark").arg(x).arg(y)));
            red += c.red();
            green += c.green();
            blue += c.blue();
        }
    }
    QVERIFY(green > red && blue > red);

    QCOMPARE(BackgroundTexture(), image);
}

void TestArtwork::decodesGrayscaleIntoRgb()
{
    const QImage image = DecodeJpeg(EncodeJpeg(9, 5, JCS_GRAYSCALE, 1, 200));
    QCOMPARE(image.size(), QSize(9, 5));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    const QColor c = image.pixelColor(8, 4);
    QVERIFY(qAbs(c.red() - 200) <= 2);
    QCOMPARE(c.green(), c.red());
    QCOMPARE(c.blue(), c.red());
}

void TestArtwork::refusesBrokenData_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray good = BackgroundBytes();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("this is not a picture");
    QTest::newRow("marker only") << QByteArray("\xFF\xD8", 2);
    QTest::newRow("marker and noise") << QByteArray("\xFF\xD8\x13\x37\x00\xFF\xFF\x01garbage", 16);
    QTest::newRow("first 100 bytes") << good.left(100);
    QTest::newRow("first half") << good.left(good.size() / 2);
    QTest::newRow("no end marker") << good.left(good.size() - 2);
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) & 0xFF);
    QTest::newRow("noise") << noise;
    QByteArray zeroWidth = EncodeJpeg(4, 4, JCS_RGB, 3, 128);
    const int sof = zeroWidth.indexOf(QByteArray("\xFF\xC0", 2));
    QVERIFY(sof > 0);
    zeroWidth[sof + 7] = 0;  // width, big-endian, after marker, length and precision
    zeroWidth[sof + 8] = 0;
    QTest::newRow("zero width") << zeroWidth;
}

void TestArtwork::refusesBrokenData()
{
    QFETCH(QByteArray, data);
    QVERIFY(DecodeJpeg(data).isNull());
}

void TestArtwork::refusesCmyk()
{
    const QByteArray cmyk = EncodeJpeg(6, 6, JCS_CMYK, 4, 90);
    QVERIFY(!cmyk.isEmpty());
    QVERIFY(DecodeJpeg(cmyk).isNull());
}

void TestArtwork::iconsAreTransparentAroundTheirPicture_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("side");
    QTest::newRow("bolt32") << int(IconId::Bolt32) << 32;
    QTest::newRow("bolt16") << int(IconId::Bolt16) << 16;
    QTest::newRow("arrow right") << int(IconId::ArrowRight) << 32;
    QTest::newRow("arrow left") << int(IconId::ArrowLeft) << 32;
    QTest::newRow("mascot") << int(IconId::Mascot) << 32;
    QTest::newRow("question") << int(IconId::Question) << 32;
    QTest::newRow("exclamation") << int(IconId::Exclamation) << 32;
}

void TestArtwork::iconsAreTransparentAroundTheirPicture()
{
    QFETCH(int, id);
    QFETCH(int, side);
    const QImage icon = IconPixmap(IconId(id)).toImage();
    QCOMPARE(icon.size(), QSize(side, side));
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);
    int opaque = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            opaque += icon.pixelColor(x, y).alpha() == 255;
    QVERIFY2(opaque > side * side / 8, "the picture itself is missing");
}

void TestArtwork::appIconHasBothSizes()
{
    const QList<QSize> sizes = AppIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(16, 16)));
}

void TestArtwork::backgroundFallsBackToFaceColour()
{
    QWidget window;
    window.resize(60, 40);
    auto* image = new TBackgroundImage(&window);
    image->setGeometry(0, 0, 60, 40);
    QVERIFY(!image->texture().isNull());

    const QColor face = image->palette().color(QPalette::Button);
    QImage shot = image->grab().toImage();
    QVERIFY(shot.pixelColor(30, 20) != face);

    image->setTexture(DecodeJpeg(BackgroundBytes().left(300)));
    QVERIFY(image->texture().isNull());
    shot = image->grab().toImage();
    QCOMPARE(shot.pixelColor(0, 0), face);
    QCOMPARE(shot.pixelColor(59, 39), face);
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
