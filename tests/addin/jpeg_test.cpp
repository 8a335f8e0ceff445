// The image buffer and the JPEG writer: the bitmap layout the encoder is handed, the
// quality rule, and what a failure leaves on disk.
#include <QFile>
#include <QImage>

#include <map>
#include <vector>

#include "addin_fixture.h"
#include "dib_section.h"
#include "jpeg_library.h"
#include "jpeg_writer.h"

namespace exportal::testing {
namespace {

using JpegTest = AddInTest;

TEST(DibSection, RowsArePaddedToFourBytes) {
    struct Row {
        std::int32_t width, channels, bytes, padding;
    };
    for (const Row r : {Row{1001, 3, 3004, 1}, Row{1, 3, 4, 1}, Row{2, 3, 8, 2}, Row{4, 3, 12, 0},
                        Row{3, 4, 12, 0}}) {
        cDIBSection dib;
        ASSERT_TRUE(dib.Create(r.width, 7, r.channels));
        EXPECT_EQ(dib.BytesPerScanLine(), r.bytes) << r.width;
        EXPECT_EQ(dib.BytesPerScanLine() - r.width * dib.dib_channels(), r.padding) << r.width;
        EXPECT_EQ(dib.imageSize(), std::uint64_t(r.bytes) * 7);
    }
}

TEST(DibSection, RefusesSizesBelowOnePixelOrTooLargeToHold) {
    cDIBSection dib;
    for (const auto& [w, h] : {std::pair{0, 5}, {5, 0}, {-3, 5}, {65536, 65536}}) {
        EXPECT_FALSE(dib.Create(w, h, 3)) << w << "x" << h;
        EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    }
}

// The host's bitmaps come at several depths; every one is held bottom-up as BGR.
TEST_F(JpegTest, LoadKeepsAnyBitmapAsBottomUpBlueGreenRed) {
    for (const QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Indexed8}) {
        QImage picture(5, 3, QImage::Format_RGB32);
        picture.fill(qRgb(10, 20, 30));
        picture.setPixel(0, 0, qRgb(200, 100, 50));  // top left
        const QString path = folder.filePath("view.bmp");
        ASSERT_TRUE(picture.convertToFormat(format).save(path, "BMP"));
        cDIBSection dib;
        ASSERT_TRUE(dib.Load(path.toStdString()));
        ASSERT_EQ(dib.dib_width(), 5);
        ASSERT_EQ(dib.dib_height(), 3);
        EXPECT_EQ(dib.dib_channels(), 3);
        const std::uint8_t* topRow = dib.DIBSectionBitsPtr() + 2 * dib.BytesPerScanLine();
        EXPECT_EQ(topRow[0], 50);
        EXPECT_EQ(topRow[1], 100);
        EXPECT_EQ(topRow[2], 200);
        EXPECT_EQ(dib.DIBSectionBitsPtr()[0], 30) << "bottom row, blue first";
    }
    cDIBSection dib;
    EXPECT_FALSE(dib.Load(folder.filePath("missing.bmp").toStdString()));
}

void fillGradient(cDIBSection& dib, std::int32_t width, std::int32_t height) {
    ASSERT_TRUE(dib.Create(width, height, 3));
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = dib.DIBSectionBitsPtr() + y * dib.BytesPerScanLine();
        for (std::int32_t x = 0; x < width; ++x) {
            row[3 * x] = std::uint8_t(x * 7);
            row[3 * x + 1] = std::uint8_t(y * 13);
            row[3 * x + 2] = std::uint8_t((x ^ y) * 3);
        }
    }
}

TEST_F(JpegTest, QualityOutsideTenToHundredEncodesAtHundred) {
    cDIBSection dib;
    fillGradient(dib, 101, 67);
    struct Row {
        std::int32_t quality, used;
    };
    std::map<std::int32_t, qint64> sizes;
    for (const Row r : {Row{0, 100}, Row{5, 100}, Row{10, 10}, Row{101, 100}, Row{100, 100}}) {
        imageSettings().CurrentQuality = r.quality;
        const QString path = folder.filePath(QString("q%1.jpg").arg(r.quality));
        ASSERT_TRUE(WriteJpegFile(dib, path.toStdString()));
        EXPECT_EQ(imageSettings().CurrentQuality, r.used);
        sizes[r.quality] = QFile(path).size();
        const QImage decoded(path, "JPG");
        ASSERT_EQ(decoded.size(), QSize(101, 67));
        // Bottom-up rows: the buffer's first row is the picture's last.
        const QRgb bottomLeft = decoded.pixel(0, 66);
        EXPECT_NEAR(qBlue(bottomLeft), 0, 24);
        EXPECT_NEAR(qGreen(bottomLeft), 0, 24);
    }
    EXPECT_EQ(sizes[0], sizes[100]);
    EXPECT_EQ(sizes[5], sizes[100]);
    EXPECT_LT(sizes[10], sizes[100] / 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(JpegTest, AJpegWrittenOverALongerFileLeavesNoStaleTail) {
    const QString path = folder.filePath("view.jpg");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1 << 20, 'x'));
    old.close();
    imageSettings().CurrentQuality = 75;
    cDIBSection dib;
    fillGradient(dib, 40, 30);
    ASSERT_TRUE(WriteJpegFile(dib, path.toStdString()));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_LT(bytes.size(), 1 << 20);
    EXPECT_TRUE(bytes.endsWith("\xFF\xD9")) << "ends with the JPEG end marker";
}

TEST_F(JpegTest, ALibraryFailureShowsItsBoxAndWritesNoFile) {
    const cDIBSection empty;
    const QString path = folder.filePath("none.jpg");
    EXPECT_FALSE(WriteJpegFile(empty, path.toStdString()));
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0],
              "IJL ERROR: [-2] - Invalid pointer in the image record - "
              "Failed to save to JPG");
}

TEST(JpegLibrary, ReportsAnAreaTooSmallAndWritesBackTheEncodedSize) {
    cDIBSection dib;
    fillGradient(dib, 64, 64);
    JpegCoreProperties p;
    ASSERT_EQ(ijlInit(&p), kJpegOk);
    p.DIBWidth = p.JPGWidth = 64;
    p.DIBHeight = -64;
    p.JPGHeight = 64;
    p.DIBBytes = dib.DIBSectionBitsPtr();
    std::vector<std::uint8_t> area(64);
    p.JPGBytes = area.data();
    p.JPGSizeBytes = 64;
    EXPECT_EQ(ijlWrite(&p, kWriteWholeImageToBuffer), kJpegBufferTooSmall);
    area.resize(64 * 64 * 4);
    p.JPGBytes = area.data();
    p.JPGSizeBytes = static_cast<std::int32_t>(area.size());
    ASSERT_EQ(ijlWrite(&p, kWriteWholeImageToBuffer), kJpegOk);
    EXPECT_GT(p.JPGSizeBytes, 100);
    EXPECT_LT(p.JPGSizeBytes, 64 * 64 * 4);
    EXPECT_EQ(area[0], 0xFF);
    EXPECT_EQ(area[1], 0xD8);
    EXPECT_EQ(ijlWrite(&p, 1), kJpegUnsupportedMode);
    EXPECT_EQ(ijlFree(&p), kJpegOk);
    EXPECT_EQ(ijlWrite(&p, kWriteWholeImageToBuffer), kJpegNotInitialised);
}

}  // namespace
}  // namespace exportal::testing
