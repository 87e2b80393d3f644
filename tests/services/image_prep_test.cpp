#include "services/image_prep.h"

#include "settings/watermark_state.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>

namespace skysail {
namespace {

// --- Fixtures, written here byte by byte so that they do not depend on the code under test.

using PixelFn = std::function<QRgb(int x, int y)>;

int RowSize(int width)
{
    return (3 * width + 3) / 4 * 4;
}

void PutU16(QByteArray& bytes, int offset, quint16 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void PutU32(QByteArray& bytes, int offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

// A 24-bit bottom-up BMP; pixel (x, y) counts from the top-left corner.
QByteArray MakeBmp(int width, int height, const PixelFn& pixel, int bitsPerPixel = 24)
{
    const int bytesPerPixel = bitsPerPixel / 8;
    const int rowSize = (bytesPerPixel * width + 3) / 4 * 4;
    QByteArray bmp(54 + rowSize * height, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutU32(bmp, 2, quint32(bmp.size()));
    PutU32(bmp, 10, 54);
    PutU32(bmp, 14, 40);
    PutU32(bmp, 18, quint32(width));
    PutU32(bmp, 22, quint32(height));
    PutU16(bmp, 26, 1);
    PutU16(bmp, 28, quint16(bitsPerPixel));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb colour = pixel(x, y);
            char* p = bmp.data() + 54 + (height - 1 - y) * rowSize + bytesPerPixel * x;
            p[0] = char(qBlue(colour));
            p[1] = char(qGreen(colour));
            p[2] = char(qRed(colour));
            if (bytesPerPixel == 4)
                p[3] = char(0xFF);
        }
    }
    return bmp;
}

QByteArray SolidBmp(int width, int height, QRgb colour)
{
    return MakeBmp(width, height, [colour](int, int) { return colour; });
}

// Pixel (x, y) from the top of a 24-bit bottom-up BMP with its pixels at offset 54.
QRgb BmpPixel(const QByteArray& bmp, int x, int y)
{
    const int width = qFromLittleEndian<qint32>(bmp.constData() + 18);
    const int height = qFromLittleEndian<qint32>(bmp.constData() + 22);
    const auto* p = reinterpret_cast<const uchar*>(bmp.constData()) + 54 + (height - 1 - y) * RowSize(width) + 3 * x;
    return qRgb(p[2], p[1], p[0]);
}

int BitsPerPixel(const QByteArray& bmp)
{
    return bmp.size() >= 30 ? qFromLittleEndian<quint16>(bmp.constData() + 28) : 0;
}

QSize BmpSize(const QByteArray& bmp)
{
    return { qFromLittleEndian<qint32>(bmp.constData() + 18), qFromLittleEndian<qint32>(bmp.constData() + 22) };
}

QByteArray Encode(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    return bytes;
}

// The independent decoder: Qt's own readers (libjpeg for JPEG, not TurboJPEG's encode path).
QImage Decode(const QByteArray& bytes)
{
    return QImage::fromData(bytes);
}

// A picture with some structure: gradients, so that JPEG keeps it recognisable.
QImage Gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
    return image;
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// The first chunk of a PNG (IHDR) or the first SOF0 of a JPEG rewritten to claim a huge size.
quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

QByteArray ClaimSize(QByteArray picture, int width, int height)
{
    if (picture.startsWith("\x89PNG")) {
        qToBigEndian(quint32(width), picture.data() + 16);
        qToBigEndian(quint32(height), picture.data() + 20);
        qToBigEndian(Crc32(picture.mid(12, 17)), picture.data() + 29);
    } else {
        const int sof = int(picture.indexOf("\xFF\xC0"));
        EXPECT_GT(sof, 0);
        qToBigEndian(quint16(height), picture.data() + sof + 5);
        qToBigEndian(quint16(width), picture.data() + sof + 7);
    }
    return picture;
}

constexpr QRgb kGrey = 0xFF808080;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kMarkInk = 0xFF203040;

// --- OverlayWatermark

// A 100 × 50 mark: its left half ink, its right half white (the key colour), with distinct
// corner pixels so that placement and orientation show.
QRgb MarkPixel(int x, int y)
{
    if (x == 0 && y == 0)
        return qRgb(255, 0, 0);
    if (x == 99 && y == 49)
        return qRgb(0, 0, 255);
    return x < 50 || x == 99 ? kMarkInk : kWhite;
}

TEST(OverlayWatermark, PlacesTheMarkTwentyPixelsFromTheBottomRightAndSkipsWhite)
{
    const QByteArray image = SolidBmp(400, 300, kGrey);
    const QByteArray mark = MakeBmp(100, 50, MarkPixel);
    const QByteArray out = OverlayWatermark(image, mark);

    ASSERT_EQ(out.size(), image.size());
    EXPECT_EQ(out.left(54), image.left(54));
    EXPECT_EQ(BmpPixel(out, 280, 230), qRgb(255, 0, 0));
    EXPECT_EQ(BmpPixel(out, 379, 279), qRgb(0, 0, 255));
    EXPECT_EQ(BmpPixel(out, 300, 250), kMarkInk);
    EXPECT_EQ(BmpPixel(out, 350, 250), kGrey) << "white mark pixels leave the image as it was";
    for (const QPoint outside : { QPoint(279, 230), QPoint(280, 229), QPoint(380, 279), QPoint(379, 280) })
        EXPECT_EQ(BmpPixel(out, outside.x(), outside.y()), kGrey) << outside.x() << "," << outside.y();
    EXPECT_EQ(BmpPixel(image, 280, 230), kGrey) << "the input is not touched";
}

TEST(OverlayWatermark, ClipsAndPlacesAsAsked)
{
    const PixelFn ink = [](int x, int) { return qRgb(x, 10, 20); }; // column number in red
    struct Case
    {
        const char* name;
        QSize image;
        QSize mark;
        std::optional<int> left;
        std::optional<int> top;
        QRect covered; // where the mark lands, in image pixels
        QPoint markOrigin; // which mark pixel lands at covered.topLeft()
    };
    const Case cases[] = {
        { "mark larger than the image", { 40, 30 }, { 100, 50 }, {}, {}, { 0, 0, 40, 30 }, { 0, 0 } },
        { "only the first 10 of 30 columns fit", { 400, 300 }, { 30, 20 }, 390, 5, { 390, 5, 10, 20 }, { 0, 0 } },
        { "negative left and top become 0", { 50, 40 }, { 10, 10 }, -7, -3, { 0, 0, 10, 10 }, { 0, 0 } },
        { "bottom rows clipped", { 50, 40 }, { 10, 10 }, 3, 35, { 3, 35, 10, 5 }, { 0, 0 } },
        { "left past the right edge stamps nothing", { 50, 40 }, { 10, 10 }, 60, 0, {}, { 0, 0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray image = SolidBmp(c.image.width(), c.image.height(), kGrey);
        const QByteArray out = OverlayWatermark(image, MakeBmp(c.mark.width(), c.mark.height(), ink), c.left, c.top);
        ASSERT_EQ(out.size(), image.size());
        for (int y = 0; y < c.image.height(); ++y) {
            for (int x = 0; x < c.image.width(); ++x) {
                const QRgb expected = c.covered.contains(x, y)
                    ? ink(x - c.covered.left() + c.markOrigin.x(), y - c.covered.top() + c.markOrigin.y())
                    : kGrey;
                ASSERT_EQ(BmpPixel(out, x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(OverlayWatermark, KeyColourIsLeftOutAndWhiteIsStampedWhenAnotherKeyIsGiven)
{
    const QByteArray image = SolidBmp(8, 8, kGrey);
    const QByteArray mark = MakeBmp(2, 1, [](int x, int) { return x == 0 ? kMarkInk : kWhite; });
    const int inkKey = qRed(kMarkInk) + 256 * qGreen(kMarkInk) + 65536 * qBlue(kMarkInk);
    const QByteArray out = OverlayWatermark(image, mark, 0, 0, inkKey);
    EXPECT_EQ(BmpPixel(out, 0, 0), kGrey);
    EXPECT_EQ(BmpPixel(out, 1, 0), kWhite);
}

TEST(OverlayWatermark, RefusesBitmapsItCannotTrust)
{
    const QByteArray good = SolidBmp(10, 6, kGrey);
    auto patched = [&](int offset, quint32 value) {
        QByteArray bmp = good;
        PutU32(bmp, offset, value);
        return bmp;
    };
    struct Case
    {
        const char* name;
        QByteArray bmp;
    };
    const Case cases[] = {
        { "32 bits per pixel",
            MakeBmp(
                10, 6, [](int, int) { return kGrey; }, 32) },
        { "empty", QByteArray() },
        { "header only", good.left(54) },
        { "truncated pixels", good.left(good.size() - 1) },
        { "top-down (negative height)", patched(22, quint32(-6)) },
        { "zero height", patched(22, 0) },
        { "zero width", patched(18, 0) },
        { "width larger than the data", patched(18, 11) },
        { "height larger than the data", patched(22, 7) },
        { "huge width", patched(18, 0x7FFFFFFF) },
        { "data offset past the end", patched(10, quint32(good.size())) },
        { "data offset inside the headers", patched(10, 20) },
        { "data offset above 64 KiB (would wrap in 16 bits)", patched(10, 0x10036) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(OverlayWatermark(c.bmp, good).isEmpty()) << "as image";
        EXPECT_TRUE(OverlayWatermark(good, c.bmp).isEmpty()) << "as mark";
    }
    EXPECT_FALSE(OverlayWatermark(good, good).isEmpty()) << "the good one passes";
}

// --- CheckImage

TEST(CheckImage, LeavesA24BitBmpByteForByte)
{
    const QByteArray odd = MakeBmp(7, 3, [](int x, int y) { return qRgb(x * 30, y * 80, 5); });
    // Also a bare header that only just holds the depth field: the check reads no further.
    for (const QByteArray& bmp : { odd, odd.left(30) }) {
        QByteArray bytes = bmp;
        CheckImage(bytes);
        EXPECT_EQ(bytes, bmp);
    }
}

TEST(CheckImage, TurnsEveryAcceptedFormatIntoA24BitBottomUpBmp)
{
    QImage withHole = Gradient(9, 5).convertToFormat(QImage::Format_ARGB32);
    withHole.setPixel(4, 2, qRgba(0, 0, 0, 0));
    QImage indexed = Gradient(9, 5).convertToFormat(QImage::Format_Indexed8);
    QFile animated(QStringLiteral(SKYSAIL_FIXTURES_DIR "/animated.gif"));
    ASSERT_TRUE(animated.open(QIODevice::ReadOnly));
    struct Case
    {
        const char* name;
        QByteArray bytes;
        int tolerance; // per channel, against the source picture
        QImage expected;
    };
    const Case cases[] = {
        { "JPEG", Encode(Gradient(66, 48), "jpeg", 100), 12, Gradient(66, 48) },
        { "PNG with transparency (laid on white)", Encode(withHole, "png"), 0, QImage() },
        { "8-bit BMP", Encode(indexed, "bmp"), 0, indexed },
        { "32-bit BMP",
            MakeBmp(
                9, 5, [](int x, int y) { return qRgb(x, y, 7); }, 32),
            0, QImage() },
        { "WebP (lossless)", Encode(Gradient(9, 5), "webp", 100), 0, Gradient(9, 5) },
        { "TIFF", Encode(Gradient(9, 5), "tiff"), 0, Gradient(9, 5) },
        { "animated GIF (first frame)", animated.readAll(), 0, QImage() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = c.bytes;
        CheckImage(bytes);
        ASSERT_TRUE(bytes.startsWith("BM"));
        EXPECT_EQ(BitsPerPixel(bytes), 24);
        const QSize size = BmpSize(bytes);
        ASSERT_GT(size.height(), 0) << "bottom-up";
        EXPECT_EQ(qsizetype(54 + RowSize(size.width()) * size.height()), bytes.size());
        if (!c.expected.isNull()) {
            ASSERT_EQ(size, c.expected.size());
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    ASSERT_TRUE(Near(BmpPixel(bytes, x, y), c.expected.pixel(x, y), c.tolerance)) << x << "," << y;
        }
    }

    QByteArray png = Encode(withHole, "png");
    CheckImage(png);
    EXPECT_EQ(BmpPixel(png, 4, 2), kWhite);
    EXPECT_EQ(BmpPixel(png, 3, 2), Gradient(9, 5).pixel(3, 2));

    QByteArray bmp32 = MakeBmp(
        9, 5, [](int x, int y) { return qRgb(x, y, 7); }, 32);
    CheckImage(bmp32);
    EXPECT_EQ(BmpPixel(bmp32, 8, 4), qRgb(8, 4, 7));

    animated.seek(0);
    QByteArray gif = animated.readAll();
    CheckImage(gif);
    EXPECT_EQ(BmpSize(gif), QSize(6, 4));
    EXPECT_EQ(BmpPixel(gif, 5, 3), qRgb(255, 0, 0)) << "the first frame is red, the second blue";
}

TEST(CheckImage, EmptiesWhatIsNoPictureOrClaimsAHugeOne)
{
    const QByteArray png = Encode(Gradient(16, 16), "png");
    const QByteArray jpeg = Encode(Gradient(16, 16), "jpeg");
    struct Case
    {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        { "empty", QByteArray() },
        { "text", QByteArray("hello, this is not a picture") },
        { "\"BM\" alone", QByteArray("BM") },
        { "60000 x 60000 PNG header", ClaimSize(png, 60000, 60000) },
        { "60000 x 60000 JPEG header", ClaimSize(jpeg, 60000, 60000) },
        { "PNG signature only", png.left(8) },
        { "JPEG start only", jpeg.left(3) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = c.bytes;
        CheckImage(bytes);
        EXPECT_TRUE(bytes.isEmpty());
    }
}

TEST(CheckImage, DamagedDataGivesNothingOrAWholePicture)
{
    QFile animated(QStringLiteral(SKYSAIL_FIXTURES_DIR "/animated.gif"));
    ASSERT_TRUE(animated.open(QIODevice::ReadOnly));
    const QByteArray pictures[] = {
        Encode(Gradient(64, 48), "jpeg"),
        Encode(Gradient(64, 48), "png"),
        Encode(Gradient(64, 48), "webp"),
        animated.readAll(),
    };
    for (const QByteArray& picture : pictures) {
        for (const double keep : { 0.3, 0.6, 0.9 }) {
            for (const bool scramble : { false, true }) {
                QByteArray bytes = picture.left(qsizetype(picture.size() * keep));
                if (scramble) {
                    bytes = picture;
                    for (qsizetype i = bytes.size() / 3; i < bytes.size(); i += 7)
                        bytes[i] = char(bytes[i] ^ 0x5A);
                }
                SCOPED_TRACE(picture.left(4).toHex().toStdString() + " keep " + std::to_string(keep));
                CheckImage(bytes);
                if (!bytes.isEmpty()) {
                    ASSERT_TRUE(bytes.startsWith("BM"));
                    const QSize size = BmpSize(bytes);
                    EXPECT_EQ(qsizetype(54 + RowSize(size.width()) * size.height()), bytes.size());
                }
            }
        }
    }
}

// --- ConvertImage

TEST(ConvertImage, EncodesEveryModeIntoItsFormat)
{
    const QByteArray bmp = MakeBmp(20, 10, [](int x, int y) { return qRgb(x * 12, y * 25, 90); });
    struct Case
    {
        int mode;
        QByteArray magic;
        int tolerance;
    };
    const Case cases[] = {
        { kModeBmp, "BM", 0 },
        { kModeJpeg, "\xFF\xD8", 24 },
        { kModeGif, "GIF8", 16 },
        { kModeTiff, "", 0 }, // II* or MM*
        { kModePng, "\x89PNG", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        QByteArray output = "before";
        ASSERT_TRUE(ConvertImage(bmp, c.mode, output));
        EXPECT_TRUE(output.startsWith(c.magic));
        const QImage decoded = Decode(output);
        ASSERT_EQ(decoded.size(), QSize(20, 10));
        for (const QPoint at : { QPoint(0, 0), QPoint(19, 0), QPoint(10, 5), QPoint(19, 9) })
            EXPECT_TRUE(Near(decoded.pixel(at), BmpPixel(bmp, at.x(), at.y()), c.tolerance)) << at.x() << "," << at.y();
    }
    QByteArray jpeg;
    ASSERT_TRUE(ConvertImage(Encode(Gradient(20, 10), "png"), kModeJpeg, jpeg));
    EXPECT_TRUE(jpeg.startsWith("\xFF\xD8"));
}

TEST(ConvertImage, FailsWithoutTouchingTheOutput)
{
    const QByteArray bmp = SolidBmp(4, 4, kGrey);
    struct Case
    {
        const char* name;
        QByteArray source;
        int mode;
    };
    const Case cases[] = {
        { "2-byte source", QByteArray("BM"), kModeJpeg },
        { "empty source", QByteArray(), kModePng },
        { "undecodable source", QByteArray("definitely not an image, just text"), kModeJpeg },
        { "truncated JPEG header", Encode(Gradient(8, 8), "jpeg").left(20), kModePng },
        { "mode 0", bmp, 0 },
        { "mode 6", bmp, 6 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray output = "unchanged";
        EXPECT_FALSE(ConvertImage(c.source, c.mode, output));
        EXPECT_EQ(output, "unchanged");
    }
}

TEST(ConvertImage, FlattenLaysTransparencyOnWhite)
{
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(qRgba(0, 0, 0, 0));
    picture.setPixel(1, 1, qRgba(200, 10, 10, 255));
    const QByteArray png = Encode(picture, "png");
    for (const int mode : { kModePng, kModeGif, kModeTiff }) {
        SCOPED_TRACE(mode);
        QByteArray kept;
        QByteArray flat;
        ASSERT_TRUE(ConvertImage(png, mode, kept));
        ASSERT_TRUE(ConvertImage(png, mode, flat, { .fileName = {}, .flatten = true }));
        EXPECT_EQ(qAlpha(Decode(kept).pixel(0, 0)), 0);
        EXPECT_TRUE(Near(Decode(flat).pixel(0, 0), kWhite, 8)); // GIF's quantiser keeps 5 bits
        EXPECT_TRUE(Near(Decode(flat).pixel(1, 1), qRgb(200, 10, 10), 16));
    }
    QByteArray jpeg;
    ASSERT_TRUE(ConvertImage(png, kModeJpeg, jpeg));
    EXPECT_TRUE(Near(Decode(jpeg).pixel(12, 12), kWhite, 8)) << "JPEG is always laid on white";
}

TEST(ConvertImage, WritesTheFileUnderTheModesExtension)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray bmp = SolidBmp(4, 4, kGrey);
    struct Case
    {
        int mode;
        QString name;
        QString written;
    };
    const Case cases[] = {
        { kModePng, QStringLiteral("out"), QStringLiteral("out.png") },
        { kModePng, QStringLiteral("pic.PNG"), QStringLiteral("pic.PNG") },
        { kModeJpeg, QStringLiteral("photo.jpeg"), QStringLiteral("photo.jpeg.jpg") },
        { kModeTiff, QStringLiteral("scan.TIFF"), QStringLiteral("scan.TIFF") },
        { kModeBmp, QStringLiteral("plain"), QStringLiteral("plain.bmp") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        QByteArray output;
        ASSERT_TRUE(ConvertImage(bmp, c.mode, output, { .fileName = dir.filePath(c.name) }));
        QFile written(dir.filePath(c.written));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), output);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), qsizetype(std::size(cases)));

    QByteArray output;
    EXPECT_TRUE(ConvertImage(bmp, kModePng, output, { .fileName = QStringLiteral("  ") }));
    EXPECT_TRUE(output.startsWith("\x89PNG")) << "a blank name writes no file";

    output = "unchanged";
    EXPECT_FALSE(ConvertImage(bmp, kModePng, output, { .fileName = dir.filePath(QStringLiteral("missing/dir/out")) }));
    EXPECT_EQ(output, "unchanged") << "a file that cannot be written is reported";
}

TEST(EncoderClsid, ParsesTheIdentifierText)
{
    const QUuid jpeg = EncoderClsid(QStringLiteral("{557CF401-1A04-11D3-9A73-0000F81EF32E}"));
    EXPECT_EQ(jpeg, QUuid(0x557CF401, 0x1A04, 0x11D3, 0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E));
    EXPECT_TRUE(EncoderClsid(QStringLiteral("not an id")).isNull());
}

// --- PrepareForUpload

TEST(PrepareForUpload, StampsTheMarkAndGivesAJpeg)
{
    const QByteArray mark = MakeBmp(100, 50, MarkPixel);
    const QImage photo = Gradient(400, 300);
    for (const char* format : { "jpeg", "png" }) {
        SCOPED_TRACE(format);
        QByteArray image = Encode(photo, format, 95);
        EXPECT_EQ(PrepareForUpload(image, mark), QString());
        ASSERT_TRUE(image.startsWith("\xFF\xD8"));
        const QImage result = Decode(image);
        ASSERT_EQ(result.size(), photo.size());
        // Inside the mark's solid parts (away from its edges, where JPEG blurs colours).
        EXPECT_TRUE(Near(result.pixel(300, 255), kMarkInk, 16));
        EXPECT_TRUE(Near(result.pixel(360, 255), photo.pixel(360, 255), 16)) << "white left out";
        EXPECT_TRUE(Near(result.pixel(100, 100), photo.pixel(100, 100), 16));
    }
}

TEST(PrepareForUpload, ReportsNoPictureAndNeverSendsAnEmptyImage)
{
    QByteArray nothing = "not a picture";
    EXPECT_EQ(PrepareForUpload(nothing, SolidBmp(4, 4, kGrey)), kEmptyImageError);
    EXPECT_TRUE(nothing.isEmpty());

    // A 24-bit BMP whose rows are cut off passes the check unread, yet cannot be stamped.
    QByteArray truncated = SolidBmp(40, 30, kGrey).left(200);
    EXPECT_EQ(PrepareForUpload(truncated, SolidBmp(4, 4, kGrey)), kEmptyImageError);
    EXPECT_TRUE(truncated.isEmpty());

    // A watermark that is no picture stamps nothing, but the image still goes out as a JPEG.
    for (const QByteArray& badMark : { QByteArray(), QByteArray("garbage") }) {
        QByteArray image = SolidBmp(40, 30, kGrey);
        EXPECT_EQ(PrepareForUpload(image, badMark), QString());
        ASSERT_TRUE(image.startsWith("\xFF\xD8"));
        EXPECT_TRUE(Near(Decode(image).pixel(20, 15), kGrey, 8));
    }
}

TEST(PrepareForUpload, StampsAWatermarkFileOfAnotherFormat)
{
    const QImage photo = Gradient(400, 300);
    const QByteArray bmpMark = MakeBmp(100, 50, MarkPixel);
    QImage markImage = Decode(bmpMark);
    for (const char* format : { "png", "bmp32" }) {
        SCOPED_TRACE(format);
        const QByteArray mark = QByteArrayView(format) == "png"
            ? Encode(markImage, "png", 100)
            : Encode(markImage.convertToFormat(QImage::Format_ARGB32), "bmp", 100);
        QByteArray image = Encode(photo, "png", 100);
        EXPECT_EQ(PrepareForUpload(image, mark), QString());
        EXPECT_TRUE(Near(Decode(image).pixel(300, 255), kMarkInk, 16));
    }
}

// --- Default watermark

TEST(DefaultWatermark, IsAPalettePngThatBecomesTheWatermarkFile)
{
    const QByteArray builtIn = BuiltInWatermark();
    const QImage png = QImage::fromData(builtIn, "PNG");
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), QSize(273, 80));
    EXPECT_EQ(png.format(), QImage::Format_Indexed8);
    EXPECT_TRUE(png.hasAlphaChannel());
    // White is the key colour: an opaque white pixel would silently never be stamped.
    int opaqueWhite = 0;
    int opaque = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            const QRgb pixel = png.pixel(x, y);
            opaque += qAlpha(pixel) == 255;
            opaqueWhite += qAlpha(pixel) == 255 && (pixel & 0xFFFFFF) == 0xFFFFFF;
            EXPECT_TRUE(qAlpha(pixel) == 0 || qAlpha(pixel) == 255) << "hard edges only: the stamp cannot blend";
        }
    }
    EXPECT_EQ(opaqueWhite, 0);
    EXPECT_GT(opaque, 273 * 80 / 10);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const SettingsFolder folder(dir.path());
    SetWatermarkPicture({});
    const QByteArray picture = EnsureDefaultWatermark(folder);

    EXPECT_TRUE(picture.startsWith("BM"));
    EXPECT_EQ(BitsPerPixel(picture), 24);
    EXPECT_EQ(BmpSize(picture), QSize(273, 80));
    EXPECT_EQ(WatermarkPicture(), picture);
    QFile file(folder.WatermarkPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), picture);
    // Transparent corners are white, so the stamp leaves them out; the letters are not.
    EXPECT_EQ(BmpPixel(picture, 0, 0), kWhite);
    EXPECT_NE(OverlayWatermark(SolidBmp(300, 100, kGrey), picture), SolidBmp(300, 100, kGrey));
    EXPECT_EQ(BmpPixel(OverlayWatermark(SolidBmp(300, 100, kGrey), picture), 7, 0), kGrey);
}

} // namespace
} // namespace skysail
