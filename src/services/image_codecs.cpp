#include "services/image_codecs.h"

#include "services/image_prep.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <gif_lib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace skysail::codecs {

namespace {

quint32 ReadU32(const QByteArray& bytes, qint64 offset)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

void WriteU16(uchar* p, quint32 value)
{
    p[0] = uchar(value);
    p[1] = uchar(value >> 8);
}

void WriteU32(uchar* p, quint32 value)
{
    WriteU16(p, value);
    WriteU16(p + 2, value >> 16);
}

bool TooManyPixels(qint64 width, qint64 height)
{
    return width <= 0 || height <= 0 || width > kMaxImagePixels / height;
}

struct TjDeleter
{
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

} // namespace

int BmpBitsPerPixel(const QByteArray& bytes)
{
    if (bytes.size() < 30)
        return 0;
    return uchar(bytes[28]) | uchar(bytes[29]) << 8;
}

std::optional<BmpLayout> ReadBmp24Layout(const QByteArray& bytes)
{
    if (bytes.size() < kBmpHeaderSize || BmpBitsPerPixel(bytes) != 24)
        return std::nullopt;
    BmpLayout layout;
    // All 32 bits of the data offset: a large colour profile can push the pixels past 64 KiB.
    layout.dataStart = ReadU32(bytes, 10);
    layout.width = qint32(ReadU32(bytes, 18));
    layout.height = qint32(ReadU32(bytes, 22));
    // Top-down (negative height) and empty pictures are refused rather than misread.
    if (layout.width <= 0 || layout.height <= 0 || layout.dataStart < kBmpHeaderSize)
        return std::nullopt;
    layout.rowSize = BmpRowSize(layout.width);
    const qint64 room = bytes.size() - layout.dataStart;
    if (room < 0 || layout.rowSize > room || layout.height > room / layout.rowSize)
        return std::nullopt;
    layout.dataEnd = layout.dataStart + layout.rowSize * layout.height;
    return layout;
}

QByteArray NewBmp24(qint64 width, qint64 height)
{
    if (TooManyPixels(width, height))
        return {};
    const qint64 imageSize = BmpRowSize(width) * height;
    QByteArray bmp(kBmpHeaderSize + imageSize, Qt::Uninitialized);
    auto* p = reinterpret_cast<uchar*>(bmp.data());
    std::memset(p, 0, kBmpHeaderSize);
    p[0] = 'B';
    p[1] = 'M';
    WriteU32(p + 2, quint32(bmp.size()));
    WriteU32(p + 10, quint32(kBmpHeaderSize));
    WriteU32(p + 14, 40);
    WriteU32(p + 18, quint32(width));
    WriteU32(p + 22, quint32(height));
    WriteU16(p + 26, 1); // planes
    WriteU16(p + 28, 24);
    WriteU32(p + 34, quint32(imageSize));
    WriteU32(p + 38, 2835); // 72 dots per inch, in dots per metre
    WriteU32(p + 42, 2835);
    return bmp;
}

bool LooksLikeJpeg(const QByteArray& bytes)
{
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 && uchar(bytes[2]) == 0xFF;
}

QByteArray DecodeJpegToBmp(const QByteArray& jpeg, bool& refused)
{
    refused = false;
    TjHandle handle(tjInitDecompress());
    if (!handle)
        return {};
    const auto* source = reinterpret_cast<const uchar*>(jpeg.constData());
    const auto sourceSize = static_cast<unsigned long>(jpeg.size());
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourSpace = 0;
    if (tjDecompressHeader3(handle.get(), source, sourceSize, &width, &height, &subsampling, &colourSpace) != 0)
        return {};
    if (TooManyPixels(width, height)) {
        refused = true;
        return {};
    }
    // TurboJPEG cannot turn CMYK into BGR; Qt's reader can.
    if (colourSpace == TJCS_CMYK || colourSpace == TJCS_YCCK)
        return {};

    QByteArray bmp = NewBmp24(width, height);
    if (bmp.isEmpty())
        return {};
    auto* pixels = reinterpret_cast<uchar*>(bmp.data()) + kBmpHeaderSize;
    const qint64 rowSize = BmpRowSize(width);
    // LIMITSCANS: a forged progressive file could otherwise keep the decoder busy for minutes.
    const int flags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;
    if (tjDecompress2(handle.get(), source, sourceSize, pixels, width, int(rowSize), height, TJPF_BGR, flags) != 0
        && tjGetErrorCode(handle.get()) != TJERR_WARNING) {
        return {};
    }
    // A warning (truncated or slightly corrupt data) still leaves a whole picture, the missing
    // part grey: keep it, as a viewer would show it.
    const qint64 padding = rowSize - 3 * qint64(width);
    if (padding > 0) {
        for (qint64 row = 0; row < height; ++row)
            std::memset(pixels + row * rowSize + 3 * qint64(width), 0, size_t(padding));
    }
    return bmp;
}

QByteArray EncodeJpegFromBgr(const uchar* bottomRow, qint64 width, qint64 height, qint64 rowSize)
{
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535)
        return {};
    TjHandle handle(tjInitCompress());
    if (!handle)
        return {};
    uchar* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int result = tjCompress2(handle.get(), bottomRow, int(width), int(rowSize), int(height), TJPF_BGR, &jpeg,
        &jpegSize, TJSAMP_420, 75, TJFLAG_BOTTOMUP);
    QByteArray bytes;
    if (result == 0 && jpeg)
        bytes = QByteArray(reinterpret_cast<const char*>(jpeg), qsizetype(jpegSize));
    tjFree(jpeg);
    return bytes;
}

namespace {

// Decides the format from the content and admits only the ones the program deals in, so that
// outside bytes never reach the readers of formats nobody asked for (TGA, ICNS, MNG, ...).
QByteArray DetectFormat(const QByteArray& bytes)
{
    if (bytes.startsWith("BM"))
        return "bmp";
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (LooksLikeJpeg(bytes))
        return "jpeg";
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return "gif";
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return "webp";
    if (bytes.startsWith(QByteArrayLiteral("II*\0")) || bytes.startsWith(QByteArrayLiteral("MM\0*")))
        return "tiff";
    return {};
}

void OpaqueToBgr(const QRgb* in, uchar* out, qint64 width)
{
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        // In memory a QRgb is already B, G, R, A: take three bytes of each. This pass is most of
        // what a PNG upload costs beyond its decode and encode, so it copies four bytes a pixel
        // (the fourth is overwritten by the next pixel) and lets the compiler unroll it.
        for (qint64 x = 0; x + 1 < width; ++x)
            std::memcpy(out + 3 * x, in + x, 4);
        if (width > 0)
            std::memcpy(out + 3 * (width - 1), in + width - 1, 3);
    } else {
        for (qint64 x = 0; x < width; ++x) {
            out[3 * x] = uchar(qBlue(in[x]));
            out[3 * x + 1] = uchar(qGreen(in[x]));
            out[3 * x + 2] = uchar(qRed(in[x]));
        }
    }
}

// Premultiplied colour over white is c + (255 - a).
void OnWhiteToBgr(const QRgb* in, uchar* out, qint64 width)
{
    for (qint64 x = 0; x < width; ++x) {
        const int lift = 255 - qAlpha(in[x]);
        out[3 * x] = uchar(std::min(255, qBlue(in[x]) + lift));
        out[3 * x + 1] = uchar(std::min(255, qGreen(in[x]) + lift));
        out[3 * x + 2] = uchar(std::min(255, qRed(in[x]) + lift));
    }
}

void RaiseQtAllocationLimit()
{
    // Qt refuses pictures above 256 MiB of pixels by default (64 megapixels at 32 bits); our
    // own cap is checked before reading, so let Qt go as far as a capped picture at 64 bits.
    static const bool raised = [] {
        const qint64 megabytes = kMaxImagePixels * 8 / (1024 * 1024) + 1;
        QImageReader::setAllocationLimit(int(std::max<qint64>(megabytes, QImageReader::allocationLimit())));
        return true;
    }();
    Q_UNUSED(raised);
}

} // namespace

QImage DecodeWithQt(const QByteArray& bytes)
{
    const QByteArray format = DetectFormat(bytes);
    if (format.isEmpty())
        return {};
    RaiseQtAllocationLimit();
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && TooManyPixels(size.width(), size.height()))
        return {};
    QImage image;
    if (!reader.read(&image) || image.isNull() || TooManyPixels(image.width(), image.height()))
        return {};
    return image;
}

QByteArray ImageToBmp24(const QImage& image)
{
    if (image.isNull())
        return {};
    const qint64 width = image.width();
    const qint64 height = image.height();
    QByteArray bmp = NewBmp24(width, height);
    if (bmp.isEmpty())
        return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage source = image.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (source.isNull())
        return {};
    const qint64 rowSize = BmpRowSize(width);
    auto* pixels = reinterpret_cast<uchar*>(bmp.data()) + kBmpHeaderSize;
    for (qint64 y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(int(y)));
        uchar* out = pixels + (height - 1 - y) * rowSize;
        if (alpha)
            OnWhiteToBgr(in, out, width);
        else
            OpaqueToBgr(in, out, width);
        std::memset(out + 3 * width, 0, size_t(rowSize - 3 * width));
    }
    return bmp;
}

QImage BmpToImage(const QByteArray& bmp, const BmpLayout& layout)
{
    QImage image(int(layout.width), int(layout.height), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    const auto* pixels = reinterpret_cast<const uchar*>(bmp.constData()) + layout.dataStart;
    for (qint64 y = 0; y < layout.height; ++y)
        std::memcpy(
            image.scanLine(int(y)), pixels + (layout.height - 1 - y) * layout.rowSize, size_t(3 * layout.width));
    return image;
}

QImage Flattened(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return {};
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(flat.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int lift = 255 - qAlpha(in[x]);
            out[x] = qRgb(std::min(255, qRed(in[x]) + lift), std::min(255, qGreen(in[x]) + lift),
                std::min(255, qBlue(in[x]) + lift));
        }
    }
    return flat;
}

QByteArray EncodeWithQt(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        return {};
    buffer.close();
    return bytes;
}

namespace {

int AppendToByteArray(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

} // namespace

QByteArray EncodeGif(const QImage& image)
{
    if (image.isNull() || image.width() > 65535 || image.height() > 65535)
        return {};
    const unsigned width = unsigned(image.width());
    const unsigned height = unsigned(image.height());
    const size_t count = size_t(width) * height;
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    std::vector<GifByteType> red(count), green(count), blue(count), indices(count);
    bool transparent = false;
    for (unsigned y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(int(y)));
        for (unsigned x = 0; x < width; ++x) {
            const size_t i = size_t(y) * width + x;
            red[i] = GifByteType(qRed(in[x]));
            green[i] = GifByteType(qGreen(in[x]));
            blue[i] = GifByteType(qBlue(in[x]));
            transparent = transparent || qAlpha(in[x]) < 128;
        }
    }
    // Index 255 is kept for transparency when the picture has any.
    GifColorType palette[256] = {};
    int colours = transparent ? 255 : 256;
    if (GifQuantizeBuffer(width, height, &colours, red.data(), green.data(), blue.data(), indices.data(), palette)
        != GIF_OK)
        return {};
    constexpr GifByteType kTransparentIndex = 255;
    if (transparent) {
        for (unsigned y = 0; y < height; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(int(y)));
            for (unsigned x = 0; x < width; ++x) {
                if (qAlpha(in[x]) < 128)
                    indices[size_t(y) * width + x] = kTransparentIndex;
            }
        }
    }

    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendToByteArray, &error);
    if (!gif)
        return {};
    ColorMapObject* map = GifMakeMapObject(256, palette);
    bool ok = map != nullptr;
    EGifSetGifVersion(gif, transparent);
    ok = ok && EGifPutScreenDesc(gif, int(width), int(height), 8, 0, map) == GIF_OK;
    if (ok && transparent) {
        GraphicsControlBlock control {};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.TransparentColor = kTransparentIndex;
        GifByteType extension[4] = {};
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, int(width), int(height), false, nullptr) == GIF_OK;
    for (unsigned y = 0; ok && y < height; ++y)
        ok = EGifPutLine(gif, indices.data() + size_t(y) * width, int(width)) == GIF_OK;
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok ? bytes : QByteArray();
}

} // namespace skysail::codecs
